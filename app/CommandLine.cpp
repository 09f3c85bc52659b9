#include "CommandLine.h"

#include "app/ConsoleNotices.h"
#include "pages/GenerationRun.h"
#include "pages/PageOptions.h"
#include "platform/NativeName.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace CommandLine {

namespace {
constexpr int maxPageSize = 10000; // more thumbnails than that make a page no browser scrolls well
}

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
    const QCommandLineOption gallery(QStringLiteral("gallery"),
                                     QStringLiteral("Write gallery pages with thumbnails instead of the classic pages."));
    parser.addOption(gallery);
    const QCommandLineOption pageSize(QStringLiteral("page-size"),
                                      QStringLiteral("Thumbnails on each gallery page (default %1).")
                                          .arg(PageOptions::defaultGalleryPageSize),
                                      QStringLiteral("count"));
    parser.addOption(pageSize);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The folder the window opens in."),
                                 QStringLiteral("[folder]"));
    parser.addHelpOption();
    parser.addVersionOption();
    // process() would exit with 1 on a bad option; a usage error is 2 here.
    if (!parser.parse(arguments(argc, argv))) {
        const QString line = QStringLiteral("vimbrel: %1").arg(parser.errorText());
        std::fprintf(stderr, "%s\n", NativeName::printable(line).toUtf8().constData());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    if (!parser.isSet(generate)) {
        std::fputs("vimbrel: nothing to do; use --generate FOLDER, or no option to open the window.\n", stderr);
        return 2;
    }
    PageOptions options;
    if (parser.isSet(gallery))
        options.style = PageStyle::Gallery;
    if (parser.isSet(pageSize)) {
        bool ok = false;
        options.galleryPageSize = parser.value(pageSize).toInt(&ok);
        if (!ok || options.galleryPageSize < 1 || options.galleryPageSize > maxPageSize) {
            std::fprintf(stderr, "vimbrel: --page-size takes a whole number from 1 to %d.\n", maxPageSize);
            return 2;
        }
    }
    const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(parser.value(generate)));
    ConsoleNotices notices(folder);
    return runGeneration(folder, notices, nullptr, nullptr, options) == RunOutcome::Completed ? 0 : 1;
}

} // namespace CommandLine
