#pragma once

#include <QPushButton>

/**
 * A push button that Enter (Return or the keypad's Enter) presses while it
 * has the focus, as Space does. A plain QPushButton leaves Enter to the
 * default button, or takes it only when auto-default, which in a dialog would
 * also make the focused button the default one; the window wants neither.
 */
class CommandButton : public QPushButton
{
    Q_OBJECT

public:
    explicit CommandButton(const QString &text, QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
