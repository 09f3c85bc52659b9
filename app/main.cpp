#include "app/CommandLine.h"
#include "app/WindowStart.h"
#include "common/ProgramInfo.h"
#include "common/SettingsStore.h"
#include "preview/SystemBeeper.h"
#include "system/LargeBuffers.h"
#include "system/NativeName.h"
#include "system/StopSignals.h"
#include "window/Form1.h"
#include "window/MessageBoxes.h"
#include "window/ProgramIcon.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>

namespace {

void nameProgram()
{
    QCoreApplication::setOrganizationName(ProgramInfo::title());
    QCoreApplication::setApplicationName(ProgramInfo::title());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
}

// Polled rather than signalled: the watcher's thread never touches the window.
constexpr int signalPollMs = 100;

int runWindow(int argc, char **argv, const QString &folder, const StopSignals &stopSignals)
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
    // A stop signal closes the window as its close button does: a run in
    // progress stops between two pictures or two pages.
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &window, [&window, &stopSignals] {
        if (stopSignals.received() != 0)
            window.close();
    });
    stopWatch.start(signalPollMs);
    const int status = app.exec();
    return stopSignals.received() != 0 ? StopSignals::exitStatus(stopSignals.received()) : status;
}

} // namespace

int main(int argc, char **argv)
{
    keepLargeBuffers();
    // Before any thread starts, so that every thread holds the stopSignals back.
    const StopSignals stopSignals;
    const QStringList arguments = CommandLine::arguments(argc, argv);
    if (CommandLine::wanted(arguments)) {
        // No QApplication: the command line must run where no display exists.
        QCoreApplication app(argc, argv);
        nameProgram();
        return CommandLine::run(arguments, &stopSignals);
    }
    // Decided before QApplication exists: without a display it aborts the process.
    const WindowStart start = windowStart(arguments, DisplayEnvironment::current());
    if (!start.message.isEmpty())
        std::fprintf(stderr, "%s\n", NativeName::printable(start.message).toUtf8().constData());
    if (start.exitCode != 0)
        return start.exitCode;
    return runWindow(argc, argv, start.folder, stopSignals);
}
