#pragma once

#include <QImage>
#include <QString>

/** A picture decoded for the preview: the image, or why there is none. */
struct DecodedPicture {
    QImage image;          // the first frame as a browser shows it; null on failure
    bool animated = false; // more than one frame: worth playing
    QString error;         // names the file and the reason; empty on success
};

/**
 * Sets the process-wide limit on the memory one decoded picture may take.
 * Call once on the UI thread before any picture is decoded.
 */
void limitPictureDecoding();

/**
 * Returns the picture at path decoded at full size with its EXIF orientation
 * applied. Safe to call from any thread; touches nothing but its own reader.
 */
DecodedPicture decodePicture(const QString &path);
