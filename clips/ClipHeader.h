#pragma once

#include "clips/ClipTypes.h"
#include "formats/PictureHeader.h"

#include <QSize>
#include <QString>

#include <atomic>

class ClipInput;

/** Returns what the header of the clip open in input says; refuses one that claims too much. */
ClipHeader clipHeaderOf(const ClipInput &input, qint64 length);

/** Reads a clip's header from bytes, as clipHeaderOf() gives it. Stops once stop becomes true. */
ClipHeader readClipHeader(ByteSource &bytes, const std::atomic<bool> *stop = nullptr);
