#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/ProgramIcon.h"
#include "app/WindowStart.h"
#include "preview/SystemBeeper.h"
#include "platform/NativeName.h"
#include "platform/ProgramInfo.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

namespace {

void nameProgram()
{
    QCoreApplication::setOrganizationName(ProgramInfo::title());
    QCoreApplication::setApplicationName(ProgramInfo::title());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
}

int runWindow(int argc, char **argv, const QString &folder)
{
    // Takes Qt's own options (-platform, -style, -reverse...) out of argv.
    QApplication app(argc, argv);
    nameProgram();
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(programIconName());

    QSettingsStore settings;
    QtMessageBoxes boxes;
    SystemBeeper beeper;
    Form1 window({settings, boxes, beeper, {}});
    window.Form_Load(folder);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList arguments = CommandLine::arguments(argc, argv);
    if (CommandLine::wanted(arguments)) {
        // No QApplication: the command line must run where no display exists.
        QCoreApplication app(argc, argv);
        nameProgram();
        return CommandLine::run(arguments);
    }
    // Decided before QApplication exists: without a display it aborts the process.
    const WindowStart start = windowStart(arguments, DisplayEnvironment::current());
    if (!start.message.isEmpty())
        std::fprintf(stderr, "%s\n", NativeName::printable(start.message).toUtf8().constData());
    if (start.exitCode != 0)
        return start.exitCode;
    return runWindow(argc, argv, start.folder);
}
