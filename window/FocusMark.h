#pragma once

#include <QPointer>
#include <QWidget>

/**
 * A ring around whichever control inside an area has the keyboard focus.
 * The styles draw their own focus marks only once the focus has moved by
 * keyboard, so the control a window starts on showed none: Enter pressed
 * a button that nothing set apart. The ring lies over the neighbours, takes
 * no clicks, and hides while the focus is outside the area (in another
 * window, or with the window inactive). UI thread only.
 */
class FocusMark : public QWidget
{
    Q_OBJECT

public:
    /** Marks the focused control among area's descendants; area owns the mark. */
    explicit FocusMark(QWidget *area);

    /** Returns the control marked, or null when none is. */
    QWidget *target() const { return m_target; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow(QWidget *focused);
    void place();

    QPointer<QWidget> m_target;
};
