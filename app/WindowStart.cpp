#include "WindowStart.h"

#include "app/ToolkitOptions.h"
#include "system/FolderEnumeration.h"

#include <QDir>

namespace {

// Qt tries the platforms of a list such as "wayland;xcb" in turn.
bool platformListCanStart(const QString &platforms, bool x11Display)
{
    for (const QString &entry : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        // "xcb" needs an X server; any other platform asked for by name
        // (offscreen, wayland, vnc, eglfs...) is left to Qt to try.
        if (entry.section(QLatin1Char(':'), 0, 0) != QLatin1String("xcb") || x11Display)
            return true;
    }
    return false;
}

// The folders named, "--" taken out.
QStringList folderArguments(const QStringList &arguments)
{
    QStringList folders = ToolkitOptions::removed(arguments).mid(1);
    folders.removeOne(QStringLiteral("--"));
    return folders;
}

} // namespace

DisplayEnvironment DisplayEnvironment::current()
{
    return {qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("DISPLAY"),
            qEnvironmentVariable("WAYLAND_DISPLAY")};
}

bool canShowWindow(const QStringList &arguments, const DisplayEnvironment &environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && !defined(Q_OS_ANDROID)
    QString platform = ToolkitOptions::value(arguments, QStringLiteral("platform"));
    if (platform.isEmpty())
        platform = environment.platform;
    const bool x11Display = !environment.x11Display.isEmpty()
        || !ToolkitOptions::value(arguments, QStringLiteral("display")).isEmpty();
    if (!platform.isEmpty())
        return platformListCanStart(platform, x11Display);
    return x11Display || !environment.waylandDisplay.isEmpty();
#else
    // Windows and macOS always have a desktop to show a window on.
    Q_UNUSED(arguments);
    Q_UNUSED(environment);
    return true;
#endif
}

WindowStart windowStart(const QStringList &arguments, const DisplayEnvironment &environment)
{
    const QStringList folders = folderArguments(arguments);
    if (folders.size() > 1) {
        return {{}, QStringLiteral("vimbrel: the window opens one folder; use --generate to write the pages of several."),
                2};
    }
    if (!canShowWindow(arguments, environment)) {
        return {{}, QStringLiteral("vimbrel: no display found; vimbrel --generate FOLDER writes the pages without one."),
                2};
    }
    if (folders.isEmpty())
        return {};
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(folders.first()));
    if (const QString problem = folderProblem(folder); !problem.isEmpty())
        // Said here for the terminal; the window says it again, where it is
        // seen, and opens on the folder it would have shown anyway.
        return {folder, QStringLiteral("vimbrel: Cannot open %1: %2").arg(QDir::toNativeSeparators(folder), problem), 0};
    return {folder, {}, 0};
}
