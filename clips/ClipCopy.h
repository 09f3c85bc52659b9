#pragma once

#include "clips/ClipHeader.h"

#include <QSize>
#include <QString>

#include <functional>

class ClipInput;

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
CopyMade writeClipCopy(ClipInput &input, const ClipHeader &header, ClipSink &file,
                       const std::function<void(qint64)> &progress);
