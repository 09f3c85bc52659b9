#pragma once

#include "formats/PictureFacts.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>

class QIODevice;

/** What one JPEG decode may cost, and how it is stopped. */
struct JpegLimits {
    /** The most the decode may take: the decoder's own buffers and the image it makes. */
    qint64 workingBytes = 0;
    /** Of that, the most the coefficients of a progressive picture may take; 0 for no limit of their own. */
    qint64 coefficientBytes = 0;
    /** Once true, the decode gives up at its next row or scan. */
    const std::atomic<bool> *stop = nullptr;
    /**
     * Called with the bytes the decode will take, once the header has told
     * them and before they are taken; returning false refuses the decode.
     * A shared budget waits here until other decodes have given theirs back.
     */
    std::function<bool(qint64 bytes)> reserve;
    /** Called once the decode no longer holds what reserve() granted. */
    std::function<void(qint64 bytes)> release;
};

/** A JPEG decoded, or why it is not. */
struct JpegDecoded {
    QImage image;            // as stored: the EXIF orientation is not applied; its colour space set from the profile
    int orientation = 1;     // the EXIF orientation, 1 to 8, as browsers read it
    QSize stored;            // the full size in the file, as stored
    QString problem;         // why there is no image, in a user's words
    bool incomplete = false; // the file ends before its picture data does; what is there is decoded
    bool overBudget = false; // problem says it would cost more than the limits allow
    bool stopped = false;    // limits.stop was set: the result means nothing
    PictureFacts facts;      // what its EXIF, XMP and IPTC segments say of it
};

/**
 * Returns the scale in eighths (1 to 8) at which a JPEG of the stored size
 * is the smallest that still covers target (both as stored).
 */
int jpegEighthsFor(QSize stored, QSize target);

/**
 * Decodes the JPEG on device (read from its start) with libjpeg-turbo, at
 * the smallest scale in eighths whose result still covers cover(displayed
 * size), so a thumbnail of a large photograph costs a fraction of a full
 * decode. Comment and application segments are skipped, never kept, except
 * the colour profile (up to 4 MiB), and the first EXIF, XMP and Photoshop
 * segments (64 KiB each at most), read for the orientation and the facts. The cost is worked out from the header before anything large is
 * taken: a progressive or multi-scan JPEG keeps coefficients of the whole
 * picture at full size whatever the scale, so a file of a few hundred bytes
 * can ask for gigabytes; over limits.workingBytes it is refused with a reason
 * that says so. The work of its scans is bounded too, so thousands of empty
 * scans cannot keep it busy. Safe on any thread.
 */
JpegDecoded decodeJpeg(QIODevice &device, const std::function<QSize(QSize displayed)> &cover,
                       const JpegLimits &limits);

/** Returns image turned upright as the EXIF orientation (1 to 8) says, as browsers show it. */
QImage upright(QImage image, int orientation);
