#include "CommandLine.h"

#include "app/ConsoleNotices.h"
#include "app/QtWarningsDropped.h"
#include "app/ToolkitOptions.h"
#include "common/PageOptions.h"
#include "generation/GenerationRun.h"
#include "system/NativeName.h"
#include "system/StopSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <optional>

namespace CommandLine {

namespace {

constexpr int maxPageSize = 10000; // more thumbnails than that make a page no browser scrolls well
constexpr int runFailed = 1;
constexpr int usageError = 2;

void printError(const QString &message)
{
    const QString line = QStringLiteral("vimbrel: %1\n").arg(NativeName::printable(message));
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

struct Options {
    QCommandLineOption generate{QStringList{QStringLiteral("g"), QStringLiteral("generate")},
                                QStringLiteral("Write the pages of <folder> without opening a window; with more "
                                               "folders, each in turn, stopping at the first that fails."),
                                QStringLiteral("folder")};
    QCommandLineOption gallery{QStringLiteral("gallery"),
                               QStringLiteral("Write gallery pages with thumbnails instead of the classic pages.")};
    QCommandLineOption pageSize{QStringLiteral("page-size"),
                                QStringLiteral("Thumbnails on each gallery page (default %1); needs --gallery.")
                                    .arg(PageOptions::defaultGalleryPageSize),
                                QStringLiteral("count")};
    QCommandLineOption webSize{QStringLiteral("web-size"),
                               QStringLiteral("The longest side of the copies picture pages show (default %1; 0 shows "
                                              "the originals); needs --gallery.")
                                   .arg(PageOptions::defaultWebSize),
                               QStringLiteral("pixels")};
    QCommandLineOption recursive{QStringLiteral("recursive"),
                                 QStringLiteral("Give every folder under <folder> that holds pictures an album of "
                                                "its own, linked from its parent's; needs --gallery.")};
    QCommandLineOption order{QStringLiteral("order"),
                             QStringLiteral("The gallery's order: name (natural: IMG_2 before IMG_10, the default) or "
                                            "date (taken, else modified; oldest first); needs --gallery."),
                             QStringLiteral("name|date")};
};

void describe(QCommandLineParser &parser, const Options &options)
{
    parser.setApplicationDescription(QStringLiteral(
        "Writes index1.htm, index2.htm, ... into a folder: its GIF and JPEG pictures, ten to a page.\n"
        "Without options, opens the window (in FOLDER when one is given); Qt's own options,\n"
        "such as -platform, -style and -reverse, reach the window. After --, a name that\n"
        "starts with a dash is a folder.\n"
        "Errors start with \"vimbrel: \"; the report of a run (Read:, Completed, Skipped...)\n"
        "does not. Exit status: 0 done, 1 a run failed,\n"
        "2 a usage error or no display for the window."));
    parser.addOption(options.generate);
    parser.addOption(options.gallery);
    parser.addOption(options.pageSize);
    parser.addOption(options.webSize);
    parser.addOption(options.order);
    parser.addOption(options.recursive);
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("The folder the window opens in; with --generate, more folders to write."),
                                 QStringLiteral("[folder...]"));
    parser.addHelpOption();
    parser.addVersionOption();
}

// A whole number from lowest to highest given for option, or nothing after saying why not.
std::optional<int> numberOf(const QCommandLineParser &parser, const QCommandLineOption &option, int lowest, int highest)
{
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (ok && value >= lowest && value <= highest)
        return value;
    printError(QStringLiteral("--%1 takes a whole number from %2 to %3.").arg(option.names().constLast()).arg(lowest).arg(highest));
    return std::nullopt;
}

// The page options asked for, or nothing after a usage error has been said.
std::optional<PageOptions> pageOptions(const QCommandLineParser &parser, const Options &options)
{
    PageOptions pages;
    if (parser.isSet(options.gallery))
        pages.style = PageStyle::Gallery;
    pages.recursive = parser.isSet(options.recursive);
    // Classic pages hold ten pictures a page in folder order, always: an
    // option for the gallery given for them would be dropped without a word.
    for (const QCommandLineOption *option : {&options.pageSize, &options.webSize, &options.order, &options.recursive}) {
        if (parser.isSet(*option) && !parser.isSet(options.gallery)) {
            printError(QStringLiteral("--%1 applies to gallery pages only: add --gallery.").arg(option->names().constLast()));
            return std::nullopt;
        }
    }
    if (parser.isSet(options.pageSize)) {
        const std::optional<int> size = numberOf(parser, options.pageSize, 1, maxPageSize);
        if (!size)
            return std::nullopt;
        pages.galleryPageSize = *size;
    }
    if (parser.isSet(options.webSize)) {
        const std::optional<int> size = numberOf(parser, options.webSize, 0, PageOptions::largestWebSize);
        if (!size)
            return std::nullopt;
        pages.webSize = *size;
    }
    if (parser.isSet(options.order)) {
        const QString order = parser.value(options.order);
        if (order != QLatin1String("name") && order != QLatin1String("date")) {
            printError(QStringLiteral("--order takes name or date."));
            return std::nullopt;
        }
        pages.order = order == QLatin1String("date") ? PictureOrder::Date : PictureOrder::Name;
    }
    return pages;
}

// The folders of the --generate options come first, then the other folders.
QStringList foldersToGenerate(const QCommandLineParser &parser, const Options &options)
{
    QStringList folders;
    for (const QString &folder : parser.values(options.generate) + parser.positionalArguments())
        folders.append(QDir::cleanPath(QDir::fromNativeSeparators(folder)));
    return folders;
}

// What a stop signal left, in one line: a cancelled run touched no page; a
// run past its last page had put them all in place.
QString stoppedBy(int signal, RunOutcome outcome)
{
    const QString name = StopSignals::name(signal);
    switch (outcome) {
    case RunOutcome::Cancelled:
        return QStringLiteral("stopped by %1; the pages of this folder are as they were.").arg(name);
    case RunOutcome::Completed:
        return QStringLiteral("stopped by %1 once the pages of this folder were written.").arg(name);
    case RunOutcome::Failed:
        break;
    }
    return QStringLiteral("stopped by %1.").arg(name);
}

int generateAll(const QStringList &folders, const PageOptions &pages, const StopSignals *stopSignals)
{
    // Thumbnail decoding makes Qt warn on damaged pictures, from pool threads.
    const QtWarningsDropped quiet;
    const std::atomic<bool> *cancel = stopSignals ? &stopSignals->stopRequested() : nullptr;
    qsizetype done = 0;
    for (const QString &folder : folders) {
        ConsoleNotices notices(folder);
        const RunOutcome outcome = runGeneration(folder, notices, nullptr, cancel, pages);
        if (stopSignals && stopSignals->received() != 0) {
            notices.stopped(stoppedBy(stopSignals->received(), outcome));
            return StopSignals::exitStatus(stopSignals->received());
        }
        if (outcome != RunOutcome::Completed)
            break;
        ++done;
    }
    if (folders.size() > 1) {
        QString summary = QStringLiteral("%1 of %2 folders done").arg(done).arg(folders.size());
        if (done < folders.size())
            summary += QStringLiteral("; stopped at %1").arg(QDir::toNativeSeparators(folders.at(done)));
        printError(summary);
    }
    return done == folders.size() ? 0 : runFailed;
}

// "--generate --gallery FOLDER" names the style first: a style option right
// after --generate is moved before it, so that FOLDER, not the option, is its value.
QStringList styleBeforeFolder(QStringList arguments)
{
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        const QString &at = arguments.at(i);
        if (at == QLatin1String("--"))
            break;
        if (at != QLatin1String("--generate") && at != QLatin1String("-g"))
            continue;
        const QString next = arguments.at(i + 1);
        static const QStringList valued{QStringLiteral("--page-size"), QStringLiteral("--web-size"), QStringLiteral("--order")};
        const qsizetype taken = next == QLatin1String("--gallery") || next == QLatin1String("--recursive") ? 1
                                : valued.contains(next)                                                  ? 2
                                                                                                         : 0;
        if (taken == 0 || i + taken >= arguments.size())
            continue;
        const QStringList moved = arguments.mid(i + 1, taken);
        arguments.remove(i + 1, taken);
        for (qsizetype k = 0; k < taken; ++k)
            arguments.insert(i + k, moved.at(k));
        --i; // look again: another style option may follow
        i += taken;
    }
    return arguments;
}

} // namespace

bool wanted(const QStringList &arguments)
{
    const QStringList ours = ToolkitOptions::removed(arguments);
    for (qsizetype i = 1; i < ours.size(); ++i) {
        if (ours.at(i) == QLatin1String("--"))
            return false;
        if (ours.at(i).startsWith(QLatin1Char('-')))
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

int run(const QStringList &arguments, const StopSignals *stopSignals)
{
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    // process() would exit with 1 on a bad option; a usage error is 2 here.
    // Qt's own options mean nothing without a window, and are let pass.
    if (!parser.parse(styleBeforeFolder(ToolkitOptions::removed(arguments)))) {
        printError(parser.errorText());
        return usageError;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    if (!parser.isSet(options.generate)) {
        printError(QStringLiteral("nothing to do; use --generate FOLDER, or no option to open the window."));
        return usageError;
    }
    const std::optional<PageOptions> pages = pageOptions(parser, options);
    if (!pages)
        return usageError;
    return generateAll(foldersToGenerate(parser, options), *pages, stopSignals);
}

} // namespace CommandLine
