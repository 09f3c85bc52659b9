#pragma once

#include "platform/RunNotices.h"

#include <QString>

/**
 * Presents a command-line run: "Read: " and the count on stderr, then
 * "Thumbnails: " and theirs for gallery pages (one redrawn
 * line on a terminal, plain lines otherwise), "Completed" on stdout, then the
 * skipped files with their reasons, and a failure as one line on stderr.
 */
class ConsoleNotices : public RunNotices
{
public:
    explicit ConsoleNotices(const QString &folder);

    void read(qint64 count, const QString &path) override;
    void thumbnailed(qint64 count) override;
    void completed(const QList<SkippedFile> &skipped) override;
    void failed(const QString &message) override;

private:
    void endProgressLine();

    QString m_folder;
    bool m_terminal = false;
    bool m_lineOpen = false; // a redrawn progress line waits for its line end
    bool m_thumbnailLine = false; // the redrawn line is the thumbnail count's
};
