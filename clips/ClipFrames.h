#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

extern "C" {
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
}

/** Owners of FFmpeg's objects, each freed the way FFmpeg frees it. */
struct CodecFree { void operator()(AVCodecContext *codec) const; };
struct FrameFree { void operator()(AVFrame *frame) const; };
struct PacketFree { void operator()(AVPacket *packet) const; };
using CodecPointer = std::unique_ptr<AVCodecContext, CodecFree>;
using FramePointer = std::unique_ptr<AVFrame, FrameFree>;
using PacketPointer = std::unique_ptr<AVPacket, PacketFree>;

FramePointer newFrame();
PacketPointer newPacket();

/**
 * Returns a decoder of stream, opened, using threads threads (0: as many as
 * FFmpeg likes); null with the reason in problem when none is installed or
 * it cannot be opened.
 */
CodecPointer openDecoder(const AVStream *stream, int threads, QString &problem);

/** Returns frame as a Qt image of size, scaled smoothly, its colours as the clip says they are coded. */
QImage imageOf(const AVFrame *frame, QSize size);

/** Returns image turned clockwise by quarterTurns, mirrored first when mirrored. */
QImage upright(QImage image, int quarterTurns, bool mirrored);

/** Bytes a decoded frame of stream takes, by its size and depth. */
qint64 frameBytes(const AVStream *stream);
