#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>

/** A picture decoded for the preview: the image, or why there is none. */
struct DecodedPicture {
    QImage image;         // the first frame as a browser shows it; null on failure
    QByteArray animation; // the whole file, when it is an animation small enough to play
    QString problem;      // why there is no image, in a user's words; empty on success
    bool incomplete = false; // the file ends before its picture data does: what is there is shown
};

/**
 * Sets the process-wide limit on the memory one decoded picture may take.
 * Call once on the UI thread before any picture is decoded.
 */
void limitPictureDecoding();

/**
 * Returns the picture at path decoded at full size with its EXIF orientation
 * applied, in a format a pixmap takes without converting. Only a regular
 * file is opened, without blocking. Once stop becomes true the decode gives
 * up within a fraction of a second and its result means nothing. Runs on any
 * thread; touches nothing but its own file and reader.
 */
DecodedPicture decodePicture(const QString &path, const std::atomic<bool> *stop = nullptr);
