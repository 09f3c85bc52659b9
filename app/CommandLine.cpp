#include "CommandLine.h"

#include "app/ConsoleNotices.h"
#include "pages/GenerationRun.h"
#include "platform/NativeName.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace CommandLine {

bool wanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            return true;
    }
    return false;
}

QStringList arguments(int argc, char **argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(NativeName::decode(argv[i]));
    return list;
}

int run(int argc, char **argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes index1.htm, index2.htm, ... into a folder: its GIF and JPEG pictures, ten to a page.\n"
        "Without options, opens the window (in FOLDER when one is given)."));
    const QCommandLineOption generate(QStringList{QStringLiteral("g"), QStringLiteral("generate")},
                                      QStringLiteral("Write the pages of <folder> without opening a window."),
                                      QStringLiteral("folder"));
    parser.addOption(generate);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder the window opens in."),
                                 QStringLiteral("[folder]"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(arguments(argc, argv)); // exits on --help, --version and bad options

    if (!parser.isSet(generate)) {
        std::fputs("vimbrel: nothing to do; use --generate FOLDER, or no option to open the window.\n", stderr);
        return 2;
    }
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(parser.value(generate)));
    ConsoleNotices notices(folder);
    return runGeneration(folder, notices) == RunOutcome::Completed ? 0 : 1;
}

} // namespace CommandLine
