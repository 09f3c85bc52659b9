#pragma once

#include <QString>
#include <QStringList>

/** The environment variables that tell whether a window can be shown, read once. */
struct DisplayEnvironment {
    QString platform;       // QT_QPA_PLATFORM
    QString x11Display;     // DISPLAY
    QString waylandDisplay; // WAYLAND_DISPLAY

    /** Returns the values of this process. */
    static DisplayEnvironment current();
};

/**
 * Returns true when a window can be shown: a platform asked for by -platform
 * or QT_QPA_PLATFORM (X11 only with a display to connect to), or else an X11
 * or Wayland display. Asked before QApplication exists, because QApplication
 * with no display aborts the process.
 */
bool canShowWindow(const QStringList &arguments, const DisplayEnvironment &environment);

/** How the window is to start, or why it cannot. */
struct WindowStart {
    QString folder;   // absolute, whether it can be opened or not; empty for the folder the window remembers
    QString message;  // one line for stderr, prefix included: why the window cannot start or the folder cannot open
    int exitCode = 0; // 2 for a usage error or no display; a folder that cannot be opened is only said
};

/**
 * Returns the start asked for by arguments, the system's arguments with
 * neither the program's options nor Qt's.
 */
WindowStart windowStart(const QStringList &arguments, const DisplayEnvironment &environment);
