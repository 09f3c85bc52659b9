#pragma once

#include "clips/ClipTypes.h"

#include <QString>

#include <memory>

extern "C" {
struct AVFormatContext;
}


/**
 * A muxer writing into a streamed file: an MP4's index is moved to the front
 * once written (browsers start playing before the whole clip is fetched),
 * and nothing of the muxer's own version goes in, so the same clip makes the
 * same bytes. The muxer reads back only the file it writes.
 */
class ClipOutput
{
public:
    ClipOutput(ClipSink &file, bool webm);
    ~ClipOutput();
    ClipOutput(const ClipOutput &) = delete;
    ClipOutput &operator=(const ClipOutput &) = delete;

    AVFormatContext *context() const { return m_context; }
    /** Empty when the muxer could be made; else why not. */
    QString problem() const { return m_problem; }

private:
    struct Writer;
    std::unique_ptr<Writer> m_writer;
    AVFormatContext *m_context = nullptr;
    QString m_problem;
};
