#include "ClipOutput.h"


extern "C" {
#include <libavformat/avformat.h>
}

#include <optional>

namespace {

constexpr int bufferBytes = 256 * 1024;

struct Position {
    ClipSink &file;
    qint64 at = 0;
};

int readInto(void *opaque, uint8_t *into, int count)
{
    auto *position = static_cast<Position *>(opaque);
    const qint64 got = position->file.readAt(position->at, reinterpret_cast<char *>(into), count);
    if (got < 0)
        return AVERROR(EIO);
    if (got == 0)
        return AVERROR_EOF;
    position->at += got;
    return int(got);
}

int writeFrom(void *opaque, uint8_t *from, int count)
{
    auto *position = static_cast<Position *>(opaque);
    if (!position->file.writeAt(position->at, reinterpret_cast<const char *>(from), count))
        return AVERROR(EIO);
    position->at += count;
    return count;
}

int64_t seekTo(void *opaque, int64_t offset, int whence)
{
    auto *position = static_cast<Position *>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return position->file.size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += position->at;
        break;
    case SEEK_END:
        offset += position->file.size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    position->at = offset;
    return offset;
}

AVIOContext *ioOver(Position *position, bool write)
{
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufferBytes));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, bufferBytes, write ? 1 : 0, position, &readInto,
                                                  write ? &writeFrom : nullptr, &seekTo)
                             : nullptr;
    if (!io)
        av_free(buffer);
    else
        io->seekable = AVIO_SEEKABLE_NORMAL;
    return io;
}

} // namespace

struct ClipOutput::Writer {
    Position position;
    std::optional<Position> reading; // the one reader the muxer opens at a time

    // Moving an MP4's index to the front, the muxer opens its own output
    // again to read it: the same file, read from its own position.
    static int openAgain(AVFormatContext *context, AVIOContext **io, const char *, int flags, AVDictionary **)
    {
        if (flags & AVIO_FLAG_WRITE)
            return AVERROR(EPERM); // no other file is ever written
        auto *writer = static_cast<Writer *>(context->opaque);
        if (writer->reading)
            return AVERROR(EBUSY);
        writer->reading.emplace(Position{writer->position.file, 0});
        *io = ioOver(&*writer->reading, false);
        if (!*io) {
            writer->reading.reset();
            return AVERROR(ENOMEM);
        }
        return 0;
    }

    static int closeAgain(AVFormatContext *context, AVIOContext *io)
    {
        static_cast<Writer *>(context->opaque)->reading.reset();
        av_freep(&io->buffer);
        avio_context_free(&io);
        return 0;
    }
};

ClipOutput::ClipOutput(ClipSink &file, bool webm)
    : m_writer(std::make_unique<Writer>(Writer{Position{file, 0}, std::nullopt}))
{
    if (avformat_alloc_output_context2(&m_context, nullptr, webm ? "webm" : "mp4", nullptr) < 0 || !m_context) {
        m_problem = QStringLiteral("The %1 writer of this system's FFmpeg could not be made.").arg(webm ? "WebM" : "MP4");
        return;
    }
    m_context->pb = ioOver(&m_writer->position, true);
    if (!m_context->pb) {
        m_problem = QStringLiteral("There is not enough memory to write it.");
        return;
    }
    m_context->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_BITEXACT;
    m_context->opaque = m_writer.get();
    m_context->io_open = &Writer::openAgain;
    m_context->io_close2 = &Writer::closeAgain;
}

ClipOutput::~ClipOutput()
{
    if (!m_context)
        return;
    AVIOContext *io = m_context->pb;
    if (io) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
    avformat_free_context(m_context);
}
