#pragma once

#include <QSize>
#include <QString>

/** A thumbnail written, or why it was not. */
struct ThumbnailMade {
    QSize size;           // the thumbnail's pixels; valid when error is empty
    QString error;        // names the file and the reason
    bool fatal = false;  // the thumbnail could not be written, or the system failed: the run stops
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
 * Makes the JPEG thumbnail of the GIF or JPEG picture at picturePath, fitting
 * in box x box, upright as its EXIF orientation says, in sRGB, and writes it
 * whole or not at all to thumbnailPath, never through a link. An animated GIF
 * gives its first frame. JPEGs are decoded at a reduced scale by the decoder
 * itself. Safe to call from several threads at once.
 */
ThumbnailMade makeThumbnail(const QString &picturePath, const QString &thumbnailPath, int box);
