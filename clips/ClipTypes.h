#pragma once

#include "formats/PictureFacts.h"

#include <QImage>
#include <QSize>
#include <QString>

/** The largest frame side a clip may claim; beyond it the clip is refused. */
inline constexpr int mostClipSide = 8192;

/** The longest side of a copy that is made anew; copies put as they are keep their size. */
inline constexpr int mostMadeSide = 1920;

/** How a clip reaches browsers. */
enum class ClipCopy {
    WebmAsIs, // VP8, VP9 or AV1 with Opus, Vorbis or no sound: put in WebM as they are
    Mp4AsIs,  // H.264 with AAC or no sound: put in MP4 as they are
    Mp4Sound, // H.264 as it is, its sound made AAC
    Mp4Made,  // anything else: made H.264 and AAC
};

/** What a clip's header says of it. */
struct ClipHeader {
    QSize stored;            // the frames' pixels, as coded (with their pixels' shape applied)
    QSize displayed;         // as shown: turned as the clip says
    int quarterTurns = 0;    // clockwise quarter turns that make it upright
    bool mirrored = false;   // mirrored left to right before it is turned
    qint64 milliseconds = 0; // its length
    qint64 frameBytes = 0;   // what one decoded frame takes, by its size and depth
    ClipCopy copy = ClipCopy::Mp4Made;
    PictureFacts facts;      // date taken and camera, never where
    QString problem;         // empty when the clip can be shown
    bool stopped = false;
};

/** A clip's poster frame, or why there is none. */
struct ClipPoster {
    QImage image;     // upright, at the size asked for
    QString problem;  // in a user's words
    bool stopped = false;
    bool overBudget = false;
};

/** A clip's copy for browsers written, or why not. */
struct CopyMade {
    QSize size;           // its frames as shown
    QString problem;      // in a user's words
    bool stopped = false;
    bool fatal = false;   // its file could not be written: the run cannot go on
};

/** Where a copy is written: a file written at any offset and read back while it is made. */
class ClipSink
{
public:
    virtual ~ClipSink() = default;
    /** Writes size bytes at offset; false once anything failed (error() says why). */
    virtual bool writeAt(qint64 offset, const char *data, qint64 size) = 0;
    /** Reads up to count bytes at offset; the number read, 0 at the end, -1 on error. */
    virtual qint64 readAt(qint64 offset, char *into, qint64 count) const = 0;
    /** Bytes written so far, to the furthest offset. */
    virtual qint64 size() const = 0;
    /** Empty while the file can be written; else names the file and the reason. */
    virtual QString error() const = 0;
};

/** The copy's file suffix: "webm" or "mp4". */
QString copySuffix(ClipCopy copy);

/** A length as a card shows it: "0:04", "12:30", "1:02:03". */
QString clipLengthText(qint64 milliseconds);

/** Returns the size of the copy of a clip shown at displayed, as copy makes it. */
QSize copySizeOf(QSize displayed, ClipCopy copy);

/** Returns the memory making the copy of the clip takes at most, with its decoders and encoders. */
qint64 copyCost(const ClipHeader &header);

/** Returns the memory decoding the poster frame of the clip at size takes, with its decoder. */
qint64 posterCost(const ClipHeader &header, QSize size);
