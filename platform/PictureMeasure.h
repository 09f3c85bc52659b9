#pragma once

#include <QSize>
#include <QString>

class QIODevice;

struct Measurement {
    QSize size;    // pixels as a browser displays them
    QString error; // empty when size is valid
};

/**
 * Returns the displayed pixel size of the GIF or JPEG picture at path, read
 * from the file's header without decoding its pixels. A JPEG whose EXIF
 * orientation turns it a quarter turn has its width and height swapped, as
 * browsers show it. Safe to call from any thread.
 */
Measurement measurePicture(const QString &path);

/**
 * Returns the displayed pixel size of the GIF or JPEG picture that device,
 * open for reading, holds; as the path version, which reads through it.
 */
Measurement measurePicture(QIODevice &device);
