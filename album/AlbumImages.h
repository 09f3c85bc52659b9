#pragma once

#include "common/FileStamp.h"
#include "formats/PictureFacts.h"
#include "system/FolderHandle.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>

class DecodeBudget;
class PictureFolder;

/** The sizes the album makes: thumbnails fitting box (and 2 box for HiDPI screens), copies fitting webSize. */
struct AlbumSizes {
    int box = 256;
    int webSize = 2048; // 0: no copies but of HEIC and AVIF photos (whole); the picture pages show the originals
};

/** The album's image folders, each opened once. */
struct AlbumFolders {
    FolderHandle small; // thumbnails
    FolderHandle large; // thumbnails twice the side, for HiDPI screens
    FolderHandle web;   // the copies picture pages show
};

/** A picture's album images written, or why they were not. */
struct ImagesMade {
    QSize small, large; // the thumbnails' pixels
    QSize web;          // the copy's pixels; invalid when the picture page shows the original
    PictureFacts facts;
    FileStamp stamp;      // the picture read, as it was when it was opened
    QString error;        // names the file and the reason
    bool fatal = false;   // a file could not be written, or the system failed: the run stops
    bool stopped = false; // stop was set: nothing more was written
};

/** Returns size shrunk to fit in a square of side box, keeping its shape; never enlarged. */
QSize fittedSize(QSize size, int box);

/**
 * Returns the file name of the images of the picture named pictureName: the
 * name with ".jpg" added, or a digest of it when that would be longer than a
 * file system allows.
 */
QString thumbnailName(const QString &pictureName);

/** Returns what the names of pictureName's files start with: the name, or a digest of a long one. */
QString fileStem(const QString &pictureName);

/** Returns the file name of the picture page of pictureName: the name with ".htm" added, or a digest. */
QString pageName(const QString &pictureName);

/**
 * Returns true when name could be a picture's file name in its folder: not
 * empty, no folder part, not "." or "..". Only for such a name are the
 * album's files named after it, so no name read back can reach another folder.
 */
bool isPlainName(const QString &name);

/**
 * Makes the album's images of the picture name in pictures from one decode:
 * its thumbnail fitting in box x box, one fitting twice that for HiDPI
 * screens, and, for a JPEG when sizes.webSize is set, a copy fitting in
 * webSize x webSize; for a HEIC or AVIF photo, which no browser but Safari
 * shows, always a copy, of the whole picture when webSize is 0. JPEGs are
 * upright as the EXIF orientation says, HEIF photos as their own rotation,
 * mirror and crop say; all in sRGB,
 * never enlarged, carrying no metadata, each written whole as thumbnailName()
 * in its folder, never through a link. Other formats (an animated GIF among
 * them) get thumbnails of their first frame and are shown as themselves.
 * JPEGs are decoded at a reduced scale by the decoder itself, and what a
 * JPEG says of itself comes back in facts. Each decode first takes what it
 * will need from budget, so the decodes running at once stay within it; a
 * picture that alone needs more is refused with a reason. The files are not
 * flushed: the caller flushes the file system before it records them. Gives
 * up early once stop becomes true. Safe to call from several threads at once.
 */
ImagesMade makeAlbumImages(const PictureFolder &pictures, const QString &name, const AlbumFolders &folders,
                           const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop = nullptr,
                           const std::function<void(qint64 done, qint64 length)> &clipProgress = {});
