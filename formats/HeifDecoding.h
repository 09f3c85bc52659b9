#pragma once

#include "formats/PictureFacts.h"

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <functional>

class ByteSource;

/**
 * Returns true when start, a file's first bytes (16 or more), opens an
 * ISO media file of a still-picture brand: HEIC, HEIF or AVIF, whatever its
 * name says.
 */
bool isHeif(QByteArrayView start);

/** A HEIF picture's header, read without its pixels. */
struct HeifHeader {
    QSize displayed;       // after the file's own rotation, mirror and crop, as Safari shows it
    QSize stored;          // the pixels its decoder makes, before those
    qint64 decodeBytes = 0; // what decoding it takes at most, from the header
    QString problem;       // why it cannot be shown, in a user's words; empty when it can
    bool overBudget = false;
    bool stopped = false;
};

/** What one HEIF decode may cost, and how it is stopped. */
struct HeifLimits {
    /** The most the decode may take, its own buffers and the image it makes. */
    qint64 workingBytes = 0;
    /** Once true, the decode gives up at its next read: between tiles, for a photo stored as tiles. */
    const std::atomic<bool> *stop = nullptr;
    /**
     * Called with the bytes the decode will take, once the header has told
     * them and before they are taken; returning false refuses the decode.
     */
    std::function<bool(qint64 bytes)> reserve;
    /** libheif's own threads for a tiled photo; 0 decodes the tiles on the caller's thread. */
    int threads = 0;
};

/** A HEIF picture decoded, or why it is not. */
struct HeifDecoded {
    QImage image;          // its primary image, upright, RGBX or RGBA; its colour space from its ICC or nclx profile
    PictureFacts facts;    // what its Exif and XMP say of it
    qint64 reserved = 0;   // what limits.reserve() granted: the caller gives it back once done with image
    QString problem;       // why there is no image, in a user's words
    bool overBudget = false;
    bool stopped = false;
};

/**
 * Reads the header of the HEIF picture in source with libheif: its primary
 * image's displayed and stored sizes and what decoding it costs. A header
 * that claims more pixels a side than any photograph, or more images than a
 * photograph is made of, or a decode over workingBytes (when that is not 0),
 * is refused with a reason. Reads the header's boxes only. Safe on any thread.
 */
HeifHeader readHeifHeader(ByteSource &source, qint64 workingBytes = 0, const std::atomic<bool> *stop = nullptr);

/**
 * Decodes the primary image of the HEIF picture in source with libheif:
 * HEVC or AV1, tiled or whole, 8 or more bits (brought to 8), with alpha or
 * without; turned, mirrored and cropped as the file itself says (an Exif
 * orientation inside it is not applied on top). Depth maps, auxiliary images
 * and the stored thumbnails are not decoded. The cost is worked out from the
 * header and reserved before anything large is taken. Safe on any thread.
 */
HeifDecoded decodeHeif(ByteSource &source, const HeifLimits &limits);
