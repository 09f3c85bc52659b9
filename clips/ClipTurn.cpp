#include "ClipTurn.h"

#include <cstddef>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

// One plane: the pixel at (x, y) of the turned plane comes from the source
// position the inverse turn gives, read a row of the result at a time.
void turnPlane(const uint8_t *from, int fromStride, int fromWidth, int fromHeight, uint8_t *to, int toStride, int turns,
               bool mirrored)
{
    const int toWidth = turns % 2 ? fromHeight : fromWidth;
    const int toHeight = turns % 2 ? fromWidth : fromHeight;
    for (int y = 0; y < toHeight; ++y) {
        uint8_t *row = to + std::ptrdiff_t(y) * toStride;
        for (int x = 0; x < toWidth; ++x) {
            int sx = x, sy = y;
            switch (turns) {
            case 1: sx = y; sy = fromHeight - 1 - x; break;
            case 2: sx = fromWidth - 1 - x; sy = fromHeight - 1 - y; break;
            case 3: sx = fromWidth - 1 - y; sy = x; break;
            default: break;
            }
            if (mirrored)
                sx = fromWidth - 1 - sx;
            row[x] = from[std::ptrdiff_t(sy) * fromStride + sx];
        }
    }
}

} // namespace

void turnPlanes(const AVFrame *from, AVFrame *to, int quarterTurns, bool mirrored)
{
    const int turns = (quarterTurns % 4 + 4) % 4;
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane == 0 ? 0 : 1;
        turnPlane(from->data[plane], from->linesize[plane], (from->width + shift) >> shift, (from->height + shift) >> shift,
                  to->data[plane], to->linesize[plane], turns, mirrored);
    }
}
