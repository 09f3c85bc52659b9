#include "app/CommandLine.h"
#include "app/Form1.h"
#include "platform/ProgramInfo.h"

#include <QApplication>

namespace {

void nameProgram()
{
    QCoreApplication::setOrganizationName(ProgramInfo::title());
    QCoreApplication::setApplicationName(ProgramInfo::title());
    QCoreApplication::setApplicationVersion(ProgramInfo::version());
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
    Form1 window;
    window.show();
    return app.exec();
}
