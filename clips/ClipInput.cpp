#include "ClipInput.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <mutex>

namespace {

constexpr int bufferBytes = 64 * 1024;
// The demuxers tried, by FFmpeg's names: nothing that can open another file
// (playlists, concatenation, image sequences) is among them.
constexpr char demuxers[] = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm";

} // namespace

struct ClipInput::Reader {
    ByteSource &bytes;
    const std::atomic<bool> *stop;
    qint64 position = 0;
    QString failure; // why a read failed, as the system said

    static int read(void *opaque, uint8_t *into, int count)
    {
        auto *reader = static_cast<Reader *>(opaque);
        if (reader->stop && reader->stop->load())
            return AVERROR_EXIT;
        const qint64 got = reader->bytes.readAt(reader->position, reinterpret_cast<char *>(into), count);
        if (got < 0) {
            reader->failure = reader->bytes.errorString();
            return AVERROR(EIO);
        }
        if (got == 0)
            return AVERROR_EOF;
        reader->position += got;
        return int(got);
    }

    static int64_t seek(void *opaque, int64_t offset, int whence)
    {
        auto *reader = static_cast<Reader *>(opaque);
        const qint64 size = reader->bytes.size();
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += reader->position;
            break;
        case SEEK_END:
            offset += size;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        reader->position = offset;
        return offset;
    }

    static int interrupted(void *opaque)
    {
        const auto *stop = static_cast<const std::atomic<bool> *>(opaque);
        return stop && stop->load() ? 1 : 0;
    }
};

ClipInput::ClipInput(ByteSource &bytes, const std::atomic<bool> *stop)
    : m_reader(std::make_unique<Reader>(Reader{bytes, stop, 0, {}}))
{
    // FFmpeg's libraries talk to the terminal; the program says what went
    // wrong itself, in a user's words.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    AVFormatContext *context = avformat_alloc_context();
    auto *buffer = static_cast<unsigned char *>(av_malloc(bufferBytes));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, bufferBytes, 0, m_reader.get(), &Reader::read, nullptr, &Reader::seek)
                             : nullptr;
    if (!context || !io) {
        if (io)
            av_freep(&io->buffer);
        else
            av_free(buffer);
        avio_context_free(&io);
        avformat_free_context(context);
        m_problem = QStringLiteral("There is not enough memory to read it.");
        return;
    }
    context->pb = io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->interrupt_callback = {&Reader::interrupted, const_cast<std::atomic<bool> *>(stop)};
    context->format_whitelist = av_strdup(demuxers);
    context->protocol_whitelist = av_strdup("none");
    context->max_streams = 64;
    // A header that lists thousands of tracks or chapters costs no more than its first few.
    int error = avformat_open_input(&context, nullptr, nullptr, nullptr);
    if (error < 0) {
        // avformat_open_input frees the context, but never a custom reader.
        av_freep(&io->buffer);
        avio_context_free(&io);
        // Found to be of a kind no allowed reader takes (a playlist, a stream of pictures).
        m_problem = error == AVERROR(EINVAL) && m_reader->failure.isEmpty()
            ? QStringLiteral("It is not a clip of a kind this program reads (MP4, MOV, 3GP, WebM or Matroska).")
            : reasonOf(error);
        return;
    }
    m_context = context;
    error = avformat_find_stream_info(context, nullptr);
    if (error < 0) {
        m_problem = reasonOf(error);
        return;
    }
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    m_video = video >= 0 ? context->streams[video] : nullptr;
    m_audio = audio >= 0 ? context->streams[audio] : nullptr;
    // A cover picture attached to a sound file is not a clip.
    if (m_video && (m_video->disposition & AV_DISPOSITION_ATTACHED_PIC))
        m_video = nullptr;
    if (!m_video)
        m_problem = QStringLiteral("It holds no moving picture.");
}

ClipInput::~ClipInput()
{
    if (!m_context)
        return;
    AVIOContext *io = m_context->pb;
    avformat_close_input(&m_context);
    if (io)
        av_freep(&io->buffer);
    avio_context_free(&io);
}

bool ClipInput::stopped() const
{
    return m_reader->stop && m_reader->stop->load();
}

QString ClipInput::reasonOf(int error) const
{
    if (!m_reader->failure.isEmpty())
        return QStringLiteral("It could not be read: %1.").arg(m_reader->failure);
    if (error == AVERROR_INVALIDDATA || error == AVERROR_EOF)
        return QStringLiteral("It is damaged, cut short, or not a clip.");
    if (error == AVERROR(ENOMEM))
        return QStringLiteral("Reading it would take more memory than a clip may.");
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QStringLiteral("It could not be read as a clip (%1).").arg(QString::fromUtf8(static_cast<const char *>(text)));
}
