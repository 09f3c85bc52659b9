#pragma once

#include "formats/PictureFacts.h"
#include "formats/PictureHeader.h"

#include <QSize>
#include <QString>

#include <atomic>

class ClipInput;

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
    ClipCopy copy = ClipCopy::Mp4Made;
    PictureFacts facts;      // date taken and camera, never where
    QString problem;         // empty when the clip can be shown
    bool stopped = false;
};

/** Returns what the header of the clip open in input says; refuses one that claims too much. */
ClipHeader clipHeaderOf(const ClipInput &input, qint64 length);

/** Reads a clip's header from bytes, as clipHeaderOf() gives it. Stops once stop becomes true. */
ClipHeader readClipHeader(ByteSource &bytes, const std::atomic<bool> *stop = nullptr);

/** The copy's file suffix: "webm" or "mp4". */
QString copySuffix(ClipCopy copy);

/** A length as a card shows it: "0:04", "12:30", "1:02:03". */
QString clipLengthText(qint64 milliseconds);
