#pragma once

#include <QByteArray>
#include <QString>

/** Pictures made in code, so the suite needs no fixture files. */
namespace TestPictures {

/** Returns a valid single-frame GIF of width x height pixels (two colours). */
QByteArray gif(int width, int height);

/** Returns a JPEG of width x height pixels. */
QByteArray jpeg(int width, int height, int quality = 75);

/** Returns jpeg with an EXIF APP1 segment giving orientation (1 to 8). */
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

/** Writes bytes to path; returns false when it cannot. */
bool writeFile(const QString &path, const QByteArray &bytes);

/** Returns the bytes of the file at path, or nothing when it cannot be read. */
QByteArray readFile(const QString &path);

} // namespace TestPictures
