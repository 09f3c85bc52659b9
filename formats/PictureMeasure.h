#pragma once

#include "common/FileStamp.h"
#include "formats/PictureHeader.h"

#include <QSize>
#include <QString>

#include <atomic>

class QIODevice;

struct Measurement {
    QSize size;    // pixels as a browser displays them
    qint64 length = 0; // the file's length in bytes, from the same open file
    FileStamp stamp;   // the same open file's identity and times
    QString error; // empty when size is valid
    bool systemFailure = false; // the system ran out of something: a run cannot go on
    bool cancelled = false;
    bool converted = false;     // a photo no browser but Safari shows (HEIC, AVIF): the album shows a copy
};

/**
 * Returns the displayed pixel size of the GIF or JPEG picture that device,
 * open for reading, holds, read from its header without decoding its
 * pixels. Reads a bounded number of bytes, whatever the file holds. A JPEG
 * whose EXIF orientation turns it a quarter turn has its width and height
 * swapped, as browsers show it. Stops early when cancel becomes true. Safe
 * to call from any thread.
 */
Measurement measurePicture(QIODevice &device, const std::atomic<bool> *cancel = nullptr);

struct HeaderReading;

/** The bytes of an open device, read at any offset. */
class DeviceBytes : public ByteSource
{
public:
    explicit DeviceBytes(QIODevice &device) : m_device(device) {}

    qint64 readAt(qint64 offset, char *into, qint64 count) override;
    QString errorString() const override;
    qint64 size() const override;

private:
    QIODevice &m_device;
};

/** Returns what reading, a header read from a file of length bytes, measured. */
Measurement measurementOf(const HeaderReading &reading, qint64 length);
