#include "ConsoleNotices.h"

#include "common/RunNotices.h"
#include "system/NativeName.h"
#include "system/Terminal.h"

#include <QDir>

#include <cstdio>

namespace {

// A name may hold line breaks or bytes that are not text; printed as escapes,
// no name can forge a line of the report.
void printLine(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = (NativeName::printable(text) + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

void printTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

ConsoleNotices::ConsoleNotices(const QString &folder)
    : m_folder(folder)
    , m_terminal(isTerminal(stderr))
{
}

void ConsoleNotices::read(qint64 count, const QString &)
{
    m_count = count;
    // A line a picture would cost a large run more than its measuring does.
    if (m_sinceShown.isValid() && m_sinceShown.elapsed() < progressInterval)
        return;
    showCount();
}

void ConsoleNotices::showCount()
{
    m_sinceShown.start();
    if (m_count == m_shownCount)
        return;
    m_shownCount = m_count;
    if (m_terminal) {
        printTo(stderr, QStringLiteral("\rRead: %1").arg(m_count));
        m_lineOpen = true;
    } else {
        printTo(stderr, QStringLiteral("Read: %1\n").arg(m_count));
    }
}

void ConsoleNotices::writingPages()
{
    showCount(); // the count where measuring ended, always
}

void ConsoleNotices::olderPagesLeft(const QString &pages)
{
    m_afterCompleted.append(QStringLiteral("Older pages left as they were: %1").arg(pages));
}

void ConsoleNotices::noPictures()
{
    m_afterCompleted.append(QStringLiteral("No picture in this folder: no page was written."));
}

void ConsoleNotices::albumsWritten(qint64 albums, qint64 pictures)
{
    m_afterCompleted.append(albumsLine(albums, pictures));
}

void ConsoleNotices::albumsUnfinished(const QString &line)
{
    endProgressLine();
    printLine(stderr, line);
}

void ConsoleNotices::thumbnailed(qint64 count)
{
    m_thumbnails = count;
    if (m_sinceThumbnailShown.isValid() && m_sinceThumbnailShown.elapsed() < progressInterval)
        return;
    showThumbnails();
}

void ConsoleNotices::clipProgress(const QString &text)
{
    if (text == m_clip)
        return;
    m_clip = text;
    m_shownThumbnails = -2; // shown again, with the clip
    showThumbnails();
}

void ConsoleNotices::showThumbnails()
{
    m_sinceThumbnailShown.start();
    if (m_thumbnails == m_shownThumbnails)
        return; // also a run that made no thumbnails: both are -1
    m_shownThumbnails = m_thumbnails;
    const QString line = QStringLiteral("Thumbnails: %1").arg(m_thumbnails)
        + (m_clip.isEmpty() ? QString() : QStringLiteral(" (making the copy of %1)").arg(m_clip));
    if (m_terminal) {
        // The thumbnail count takes a line of its own below the count read.
        if (m_lineOpen && !m_thumbnailLine)
            printTo(stderr, QStringLiteral("\n"));
        m_thumbnailLine = true;
        printTo(stderr, QStringLiteral("\r\033[K") + line); // cleared first: a clip's words may be longer than what follows
        m_lineOpen = true;
    } else {
        printTo(stderr, line + QLatin1Char('\n'));
    }
}

void ConsoleNotices::completed(const QList<SkippedFile> &skipped)
{
    showCount();
    showThumbnails();
    endProgressLine();
    printTo(stdout, QStringLiteral("Completed\n"));
    for (const QString &line : std::as_const(m_afterCompleted))
        printLine(stdout, line);
    for (const SkippedFile &file : skipped) {
        const QString path = QDir::toNativeSeparators(QDir(m_folder).filePath(file.name));
        printLine(stderr, QStringLiteral("Skipped %1: %2").arg(path, file.reason));
    }
}

void ConsoleNotices::failed(const QString &message)
{
    showCount();
    showThumbnails();
    endProgressLine();
    printLine(stderr, QStringLiteral("vimbrel: %1").arg(message));
}

void ConsoleNotices::stopped(const QString &message)
{
    endProgressLine();
    printLine(stderr, QStringLiteral("vimbrel: %1").arg(message));
}

void ConsoleNotices::endProgressLine()
{
    if (m_lineOpen)
        printTo(stderr, QStringLiteral("\n"));
    m_lineOpen = false;
}
