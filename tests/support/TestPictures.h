#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

/** Pictures made in code, so the suite needs no fixture files. */
namespace TestPictures {

/** Returns a valid single-frame GIF of width x height pixels (two colours). */
QByteArray gif(int width, int height);

/** Returns a GIF of frames frames of width x height pixels each, an animation when frames > 1. */
QByteArray animatedGif(int width, int height, int frames);

/** Returns a JPEG of width x height pixels. */
QByteArray jpeg(int width, int height, int quality = 75);

/**
 * Returns a JPEG of a few hundred bytes whose header claims width x height
 * pixels; the missing data decodes as grey, so it takes as long to decode as
 * a real picture of that size.
 */
QByteArray jpegClaiming(int width, int height);

/**
 * Returns a progressive JPEG of a few hundred bytes (more with many scans)
 * whose frame claims width x height pixels in three colour components, with
 * scans empty scans: a decoder keeps the whole picture's coefficients for it.
 */
QByteArray progressiveClaiming(int width, int height, int scans);

/**
 * Returns a picture in format ("gif", "png", "bmp" or "webp") of a few dozen
 * bytes (a BMP has one row of pixels) whose header claims width x height
 * pixels; a PNG's header carries its checksum, so a reader takes the claim
 * at its word.
 */
QByteArray claiming(const QByteArray &format, int width, int height);

/** Returns jpeg with an EXIF APP1 segment giving orientation (1 to 8). */
QByteArray withExifOrientation(const QByteArray &jpeg, int orientation);

/** Writes bytes to path; returns false when it cannot. */
bool writeFile(const QString &path, const QByteArray &bytes);

/** Returns the bytes of the file at path, or nothing when it cannot be read. */
QByteArray readFile(const QString &path);

/** Four colours, one a quadrant, so that every turn and mirror looks different. */
QImage quadrants(QSize size);

/**
 * How far apart two images are at the points of a 16 x 16 lattice that lie
 * in a flat part of expected (an edge blurs in any encoding), the worst channel.
 */
int difference(const QImage &a, const QImage &expected);

} // namespace TestPictures
