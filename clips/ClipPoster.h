#pragma once

#include "clips/ClipHeader.h"

#include <QImage>

#include <functional>

class ClipInput;

/**
 * Decodes the poster frame of the clip open in input: the first key frame
 * after a tenth of its length, or after a second when that comes first;
 * the first frame when none comes after. Returns it upright, scaled to the
 * size target() gives for the clip as displayed. reserve() is asked for the
 * decode's memory first, with the bytes; the caller gives them back.
 */
ClipPoster decodePoster(ClipInput &input, const ClipHeader &header, const std::function<QSize(QSize)> &target,
                        const std::function<bool(qint64)> &reserve, qint64 &reserved);
