#pragma once

extern "C" {
struct AVFrame;
}

/**
 * Writes into to the planar YUV 4:2:0 frame from, mirrored left to right
 * when mirrored, then turned clockwise by quarterTurns; to is the turned
 * size and allocated.
 */
void turnPlanes(const AVFrame *from, AVFrame *to, int quarterTurns, bool mirrored);
