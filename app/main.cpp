#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "preview/SystemBeeper.h"
#include "platform/FolderEnumeration.h"
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
QString requestedFolder()
{
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return {};
    const QString folder = QDir::current().absoluteFilePath(arguments.at(1));
    if (const QString problem = folderProblem(folder); !problem.isEmpty()) {
        std::fprintf(stderr, "vimbrel: Cannot open %s: %s\n", qPrintable(QDir::toNativeSeparators(folder)),
                     qPrintable(problem));
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
        return CommandLine::run();
    }
    QApplication app(argc, argv);
    nameProgram();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vimbrel/vimbrel.ico")));

    QSettingsStore settings;
    QtMessageBoxes boxes;
    SystemBeeper beeper;
    Form1 window({settings, boxes, beeper, {}});
    window.Form_Load(requestedFolder());
    window.show();
    return app.exec();
}
