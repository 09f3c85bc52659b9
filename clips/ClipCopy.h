#pragma once

#include "clips/ClipHeader.h"

#include <QSize>
#include <QString>

#include <functional>

class ClipInput;
class StreamedFile;

/** The longest side of a copy that is made anew; copies put as they are keep their size. */
inline constexpr int mostMadeSide = 1920;

/** A clip's copy for browsers written, or why not. */
struct CopyMade {
    QSize size;           // its frames as shown
    QString problem;      // in a user's words
    bool stopped = false;
    bool fatal = false;   // its file could not be written: the run cannot go on
};

/** Returns the size of the copy of a clip shown at displayed, as copy makes it. */
QSize copySizeOf(QSize displayed, ClipCopy copy);

/** Returns the memory making the copy takes at most, with its decoders and encoders. */
qint64 copyCost(const ClipInput &input, const ClipHeader &header);

/**
 * Writes into file the copy browsers play of the clip open in input, from
 * its start: its main picture stream and its sound, as header.copy says,
 * put as they are or made H.264 and AAC (upright, at most mostMadeSide a
 * side, with ffmpeg's "veryfast" speed and quality 23). Nothing of the
 * clip's metadata goes in: no place, no device, no dates, no chapters; a
 * copy put as it is keeps only the turn that shows it upright. Tells
 * progress how far it got, in milliseconds of the clip. Gives up at the
 * next packet once the input's stop becomes true.
 */
CopyMade writeClipCopy(ClipInput &input, const ClipHeader &header, StreamedFile &file,
                       const std::function<void(qint64)> &progress);
