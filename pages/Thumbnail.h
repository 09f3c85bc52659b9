#pragma once

#include "platform/FileStamp.h"

#include <QSize>
#include <QString>

#include <atomic>

class DecodeBudget;
class FolderHandle;
class PictureFolder;

/** A thumbnail written, or why it was not. */
struct ThumbnailMade {
    QSize size;           // the thumbnail's pixels; valid when error is empty
    QString error;        // names the file and the reason
    bool fatal = false;   // the thumbnail could not be written, or the system failed: the run stops
    bool stopped = false; // stop was set: nothing was written
    FileStamp stamp;      // the picture read, as it was when it was opened
};

/** Returns size shrunk to fit in a square of side box, keeping its shape; never enlarged. */
QSize fittedSize(QSize size, int box);

/**
 * Returns the thumbnail file name of the picture named pictureName: the name
 * with ".jpg" added, or a digest of it when that would be longer than a
 * file system allows.
 */
QString thumbnailName(const QString &pictureName);

/**
 * Makes the JPEG thumbnail of the picture name in pictures, fitting in
 * box x box, upright as its EXIF orientation says, in sRGB, and writes it
 * whole or not at all as thumbnailName() in thumbnails, never through a
 * link. An animated GIF gives its first frame. JPEGs are decoded at a
 * reduced scale by the decoder itself. Each decode first takes what it will
 * need from budget, so the decodes running at once stay within it; a
 * picture that alone needs more is refused with a reason. Gives up early,
 * writing nothing, once stop becomes true. Safe to call from several
 * threads at once.
 */
ThumbnailMade makeThumbnail(const PictureFolder &pictures, const QString &name, const FolderHandle &thumbnails, int box,
                            DecodeBudget &budget, const std::atomic<bool> *stop = nullptr);
