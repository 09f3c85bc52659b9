#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/ProgramIcon.h"
#include "preview/SystemBeeper.h"
#include "platform/FolderEnumeration.h"
#include "platform/NativeName.h"
#include "platform/ProgramInfo.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>

namespace {

void nameProgram()
{
    QCoreApplication::setOrganizationName(ProgramInfo::title());
    QCoreApplication::setApplicationName(ProgramInfo::title());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
}

// The folder named on the command line, if any, made absolute.
QString requestedFolder(int argc, char **argv)
{
    const QStringList arguments = CommandLine::arguments(argc, argv);
    if (arguments.size() < 2)
        return {};
    const QString folder = QDir::current().absoluteFilePath(arguments.at(1));
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        const QString line = QStringLiteral("vimbrel: Cannot open %1: %2")
                                 .arg(QDir::toNativeSeparators(folder), problem);
        std::fprintf(stderr, "%s\n", NativeName::printable(line).toUtf8().constData());
        return {};
    }
    return folder;
}

} // namespace

int main(int argc, char **argv)
{
    if (CommandLine::wanted(argc, argv)) {
        // No QApplication: the command line must run where no display exists.
        QCoreApplication app(argc, argv);
        nameProgram();
        return CommandLine::run(argc, argv);
    }
    QApplication app(argc, argv);
    nameProgram();
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(programIconName());

    QSettingsStore settings;
    QtMessageBoxes boxes;
    SystemBeeper beeper;
    Form1 window({settings, boxes, beeper, {}});
    window.Form_Load(requestedFolder(argc, argv));
    window.show();
    return app.exec();
}
