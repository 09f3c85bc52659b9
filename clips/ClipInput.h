#pragma once

#include "clips/ClipTypes.h"
#include "formats/PictureHeader.h"

#include <QString>

#include <atomic>
#include <memory>

extern "C" {
struct AVFormatContext;
struct AVStream;
}

/**
 * A clip opened for reading through FFmpeg's demuxers, from bytes handed to
 * it: only the MP4/MOV/3GP and Matroska/WebM demuxers are ever tried, no
 * other file or protocol is opened, and every read and wait checks stop.
 */
class ClipInput
{
public:
    ClipInput(ByteSource &bytes, const std::atomic<bool> *stop);
    ~ClipInput();
    ClipInput(const ClipInput &) = delete;
    ClipInput &operator=(const ClipInput &) = delete;

    /** Empty when the clip is open with its streams found; else the reason, in a user's words. */
    QString problem() const { return m_problem; }
    bool stopped() const;

    AVFormatContext *context() const { return m_context; }
    /** The clip's main picture stream, and its sound; null when it has none. */
    AVStream *video() const { return m_video; }
    AVStream *audio() const { return m_audio; }

    /** The reason of an FFmpeg error code, or of the read that failed under it. */
    QString reasonOf(int error) const;

private:
    struct Reader;
    std::unique_ptr<Reader> m_reader;
    AVFormatContext *m_context = nullptr;
    AVStream *m_video = nullptr;
    AVStream *m_audio = nullptr;
    QString m_problem;
};
