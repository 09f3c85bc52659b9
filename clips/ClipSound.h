#pragma once

#include "clips/ClipFrames.h"

#include <QString>

#include <memory>

extern "C" {
struct AVAudioFifo;
struct AVFormatContext;
struct AVStream;
struct SwrContext;
}

/** A clip's sound made AAC for its copy: decoded, resampled, encoded and written as it comes. */
class ClipSound
{
public:
    /** Returns the maker of from's sound, its stream added to output; null with the reason in problem. */
    static std::unique_ptr<ClipSound> open(const AVStream *from, AVFormatContext *output, QString &problem);
    ~ClipSound();

    AVStream *stream() const { return m_stream; }
    /** Takes one packet of the sound; false on a failure to write (problem() says why). */
    bool take(const AVPacket *packet, AVFormatContext *output);
    /** Writes what is left; false on a failure. */
    bool finish(AVFormatContext *output);
    QString problem() const { return m_problem; }

private:
    ClipSound() = default;
    bool encode(AVFormatContext *output, bool last);
    bool send(const AVFrame *frame, AVFormatContext *output);

    CodecPointer m_decoder, m_encoder;
    SwrContext *m_resampler = nullptr;
    AVAudioFifo *m_fifo = nullptr;
    FramePointer m_decoded, m_chunk;
    PacketPointer m_encoded;
    AVStream *m_stream = nullptr;
    int64_t m_next = 0; // the next chunk's first sample
    QString m_problem;
};
