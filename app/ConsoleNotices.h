#pragma once

#include "common/RunNotices.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

/**
 * Presents a command-line run: "Read: " and the count on stderr, then
 * "Thumbnails: " and theirs for gallery pages, with a long clip's copy
 * and how far it has come (one redrawn
 * line on a terminal, plain lines otherwise), "Completed" on stdout, then the
 * skipped files with their reasons, and a failure as one line on stderr.
 */
class ConsoleNotices : public RunNotices
{
public:
    explicit ConsoleNotices(const QString &folder);

    void read(qint64 count, const QString &path) override;
    void writingPages() override;
    void olderPagesLeft(const QString &pages) override;
    void noPictures() override;
    void albumsWritten(qint64 albums, qint64 pictures) override;
    void albumsUnfinished(const QString &line) override;
    void thumbnailed(qint64 count) override;
    void clipProgress(const QString &text) override;
    void completed(const QList<SkippedFile> &skipped) override;
    void failed(const QString &message) override;

    /** The run was stopped from outside: message says by what and what is left, on one line. */
    void stopped(const QString &message);

private:
    static constexpr qint64 progressInterval = 20; // ms between two counts shown

    void showCount();
    void showThumbnails();
    void endProgressLine();

    QString m_folder;
    bool m_terminal = false;
    bool m_lineOpen = false; // a redrawn progress line waits for its line end
    qint64 m_count = 0;      // pictures measured so far
    qint64 m_shownCount = 0;
    QElapsedTimer m_sinceShown;
    QStringList m_afterCompleted; // said after "Completed": older pages, no picture
    bool m_thumbnailLine = false; // the redrawn line is the thumbnail count's
    qint64 m_thumbnails = -1;      // thumbnails ready so far; -1 before the first count
    qint64 m_shownThumbnails = -1;
    QElapsedTimer m_sinceThumbnailShown;
    QString m_clip; // the clip whose copy is being made, and how far: shown after the count
};
