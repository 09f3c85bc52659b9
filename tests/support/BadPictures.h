#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/**
 * Hostile picture files made from one good GIF and one good JPEG: every
 * truncation, seeded byte flips, empty and mislabelled files, and headers
 * that claim huge sizes. The set is the same on every run.
 */
namespace BadPictures {

struct BadFile {
    QString name;
    QByteArray bytes;
};

/** Returns the good 40 x 30 GIF the sweep starts from. */
QByteArray goodGif();

/** Returns the good 40 x 30 JPEG, with an EXIF block, the sweep starts from. */
QByteArray goodJpeg();

/** Returns a GIF whose screen and image both claim 65535 x 65535 pixels. */
QByteArray hugeGif();

/** Returns the named cases: empty, mislabelled, damaged signatures, huge headers. */
QList<BadFile> mislabelled();

/** Returns the whole sweep: truncations, 400 flips and the named cases. */
QList<BadFile> everyBadFile();

} // namespace BadPictures
