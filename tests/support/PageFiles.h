#pragma once

#include "common/RunNotices.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

/** Helpers for tests that look at the page files a run leaves behind. */
namespace PageFiles {

/** One picture as a page shows it: its image source and the size the page gives. */
struct PageImage {
    QByteArray source;
    qint64 width = 0;
    qint64 height = 0;
};

/** Returns the bytes of every index*.htm file in folder, keyed by file name. */
QMap<QString, QByteArray> pages(const QString &folder);

/** Returns the pictures of page in order, read from its <img> tags. */
QList<PageImage> images(const QByteArray &page);

/** Returns true when page is a whole page: it ends with the closing html line. */
bool isComplete(const QByteArray &page);

/**
 * Returns the names in folder that are neither pictures nor pages: the
 * leftovers a run must not leave, such as a save file's temporary.
 */
QStringList strayFiles(const QString &folder);

/**
 * Writes count small GIFs p0000.gif, p0001.gif, ... into folder, no two
 * neighbours of one size; returns false when one cannot be written.
 */
bool writePictures(const QString &folder, int count);

/** Writes old, distinctive bytes to index1.htm ... index<count>.htm; returns them. */
QMap<QString, QByteArray> writeOldPages(const QString &folder, int count);

/** Returns every .htm file under folder, at any depth, by its path from folder, sorted. */
QStringList pagesUnder(const QString &folder);

/** Returns the links of page (href, src, srcset) that lead to no file, or out of the folder top: "page -> target". */
QStringList brokenLinks(const QString &top, const QString &page);

/**
 * Returns the files of the album folders small/, large/, web/ and pages/
 * under album that no page under top links to, by their paths.
 */
QStringList unshownAlbumFiles(const QString &top, const QString &album);

/** A RunNotices that records everything a run says. */
class Recorder : public RunNotices
{
public:
    void read(qint64 count, const QString &path) override;
    void completed(const QList<SkippedFile> &skipped) override;
    void failed(const QString &message) override;
    void albumsUnfinished(const QString &line) override { unfinished.append(line); }
    void thumbnailed(qint64 count) override { thumbnails.append(count); }

    qint64 readCount = 0;
    QList<qint64> thumbnails; // each count of pictures with their images told, in turn
    QStringList unfinished;
    QStringList readPaths;
    QList<SkippedFile> skipped;
    QStringList failures;
    int completions = 0;
};

} // namespace PageFiles
