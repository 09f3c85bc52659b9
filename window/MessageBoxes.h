#pragma once

#include <QString>

class QMessageBox;
class QWidget;

/**
 * The message boxes the window shows, behind an interface so that tests can
 * record them instead of blocking on a modal box.
 */
class MessageBoxes
{
public:
    enum class Icon { Information, Warning, Critical };

    virtual ~MessageBoxes() = default;

    /** Shows a modal box with one OK button; returns once the user dismisses it. */
    virtual void show(QWidget *parent, Icon icon, const QString &title, const QString &text) = 0;
};

/** The boxes a person sees: QMessageBox. */
class QtMessageBoxes : public MessageBoxes
{
public:
    void show(QWidget *parent, Icon icon, const QString &title, const QString &text) override;

    /**
     * Makes box at least wide enough for a window manager's title bar to
     * show its title beside the bar's icon and buttons.
     */
    static void makeRoomForTitle(QMessageBox &box);
};
