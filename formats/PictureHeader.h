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

    /** Returns the length of the whole source in bytes. */
    virtual qint64 size() const = 0;
};

struct HeaderReading {
    QSize size;          // pixels as a browser displays them; valid when error is empty
    QString error;       // why the bytes are not a picture a browser shows, in a user's words
    bool cancelled = false;
};

/**
 * Reads the displayed size of the picture in source from its header alone,
 * the way browsers read it, and tells whether a browser would show it at
 * all. The format is known from the content: GIF, JPEG, PNG, BMP or WebP.
 * A JPEG's markers are walked up to its first scan header, checked as the
 * browsers' decoder checks them, with the EXIF orientation of IFD0 of the
 * first EXIF segment applied; a GIF's blocks up to its first image, the
 * screen grown to hold that image; a PNG's chunks up to its first image
 * data, with the orientation of its eXIf chunk. Reads a bounded number of bytes and holds at most one
 * 64 KiB segment, whatever the file holds: comment, APP and extension data
 * are skipped, never kept, and nothing after the header is read. Returns
 * early with cancelled set once cancel becomes true. Safe on any thread.
 */
HeaderReading readPictureHeader(ByteSource &source, const std::atomic<bool> *cancel = nullptr);
