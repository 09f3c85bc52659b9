#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

/** How a run ended. */
enum class RunOutcome { Completed, Failed, Cancelled };

struct SkippedFile {
    QString name;   // bare file name
    QString reason; // why it is not on the pages, in a user's words
};

/**
 * What a generation run tells the person who started it. The run calls these
 * from the thread it runs on, which need not be the window's thread.
 */
class RunNotices
{
public:
    virtual ~RunNotices() = default;

    /** A picture was measured: count pictures read so far, path the last one. */
    virtual void read(qint64 count, const QString &path) = 0;

    /** Measuring is over; the pages are being written. */
    virtual void writingPages() {}

    /**
     * Index pages of an earlier, longer run that this run left as they were
     * (they may be the user's own), as one line: "index4.htm, index5.htm", or
     * for many "index626.htm … index3000.htm, 2,375 pages"; told just before
     * completed().
     */
    virtual void olderPagesLeft(const QString &pages) { Q_UNUSED(pages); }

    /** The folder holds no picture, so no page was written; told just before completed(). */
    virtual void noPictures() {}

    /** A tree of albums: albums written, and the pictures on them; told just before completed(). */
    virtual void albumsWritten(qint64 albums, qint64 pictures) { (void)albums; (void)pictures; }

    /**
     * A tree of albums stopped or failed after some of its albums were
     * written: line names them, and says the pages of the others are as they
     * were. Told before the run ends.
     */
    virtual void albumsUnfinished(const QString &line) { (void)line; }

    /** Gallery pages: count pictures have a thumbnail ready so far. */
    virtual void thumbnailed(qint64 count) { (void)count; }

    /** Gallery pages: how far the copy of the clip name has come, "0:12 of 1:30"; empty when none is being made. */
    virtual void clipProgress(const QString &text) { (void)text; }

    /** The pages are written; skipped lists what is not on them. */
    virtual void completed(const QList<SkippedFile> &skipped) = 0;

    /** The run stopped: message names the file and the reason. */
    virtual void failed(const QString &message) = 0;
};

/** Returns the line a report gives for a tree of albums: "Albums written: 12, with 1,234 pictures." */
inline QString albumsLine(qint64 albums, qint64 pictures)
{
    const QLocale english(QLocale::English);
    return QStringLiteral("Albums written: %1, with %2 %3.")
        .arg(english.toString(albums), english.toString(pictures), pictures == 1 ? QStringLiteral("picture") : QStringLiteral("pictures"));
}
