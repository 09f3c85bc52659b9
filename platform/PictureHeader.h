#pragma once

#include <QSize>
#include <QString>

#include <atomic>

/** Random access to the bytes of one file or buffer. */
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    /** Reads up to count bytes at offset into into; returns the number read, 0 at the end, -1 on error. */
    virtual qint64 readAt(qint64 offset, char *into, qint64 count) = 0;

    /** Returns the reason of the last failed read. */
    virtual QString errorString() const = 0;
};

struct HeaderReading {
    QSize size;          // pixels as a browser displays them; valid when error is empty
    QString error;       // why the bytes are not a picture a browser shows, in a user's words
    bool cancelled = false;
};

/**
 * Reads the displayed size of the GIF or JPEG picture in source from its
 * header alone, the way browsers read it: a JPEG's markers up to its first
 * scan header, with the EXIF orientation of IFD0 applied; a GIF's blocks up
 * to its first image. Reads a bounded number of bytes and holds at most one
 * 64 KiB segment, whatever the file holds: comment, APP and extension data
 * are skipped, never kept, and nothing after the header is read. Returns
 * early with cancelled set once cancel becomes true. Safe on any thread.
 */
HeaderReading readPictureHeader(ByteSource &source, const std::atomic<bool> *cancel = nullptr);
