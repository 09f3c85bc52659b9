#include "ClipCopy.h"

#include "clips/ClipFrames.h"
#include "clips/ClipInput.h"
#include "clips/ClipOutput.h"
#include "clips/ClipSound.h"
#include "clips/ClipTurn.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

struct SwsFree { void operator()(SwsContext *scaler) const { sws_freeContext(scaler); } };

// Each step's error, in the words the copy's problem gives.
struct Failure {
    QString problem;
    bool fatal = false;
};

class Copier
{
public:
    Copier(ClipInput &input, const ClipHeader &header, ClipSink &file)
        : m_input(input), m_header(header), m_file(file), m_output(file, header.copy == ClipCopy::WebmAsIs)
    {
    }

    CopyMade run(const std::function<void(qint64)> &progress);

private:
    bool addStreams();
    bool addCopied(const AVStream *from, AVStream *&to);
    bool openVideoMaker();
    bool write(AVPacket *packet, const AVStream *from, AVRational base);
    bool makeVideo(AVPacket *packet);
    bool encodeVideo(const AVFrame *frame);
    bool fail(const QString &problem, bool fatal = false);
    bool failWith(int error);

    ClipInput &m_input;
    const ClipHeader &m_header;
    ClipSink &m_file;
    ClipOutput m_output;
    AVStream *m_video = nullptr, *m_audio = nullptr;
    CodecPointer m_decoder, m_encoder;
    std::unique_ptr<SwsContext, SwsFree> m_scaler;
    FramePointer m_decoded, m_scaled, m_turned;
    PacketPointer m_encoded;
    std::unique_ptr<ClipSound> m_sound;
    int64_t m_lastPts = AV_NOPTS_VALUE;
    QSize m_size;
    Failure m_failure;
};

bool Copier::fail(const QString &problem, bool fatal)
{
    if (m_failure.problem.isEmpty())
        m_failure = {problem, fatal};
    return false;
}

bool Copier::failWith(int error)
{
    if (!m_file.error().isEmpty())
        return fail(m_file.error(), true);
    return fail(m_input.reasonOf(error));
}

bool Copier::addCopied(const AVStream *from, AVStream *&to)
{
    to = avformat_new_stream(m_output.context(), nullptr);
    if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
        return fail(QStringLiteral("There is not enough memory to copy it."));
    to->codecpar->codec_tag = 0; // the container's own tag, not the source's
    to->time_base = from->time_base;
    return true;
}

bool Copier::addStreams()
{
    const bool madeVideo = m_header.copy == ClipCopy::Mp4Made;
    if (madeVideo) {
        if (!openVideoMaker())
            return false;
    } else {
        if (!addCopied(m_input.video(), m_video))
            return false;
        // Only the turn goes with a copied stream: players show it upright by it.
        size_t bytes = 0;
        if (const uint8_t *matrix = av_stream_get_side_data(m_input.video(), AV_PKT_DATA_DISPLAYMATRIX, &bytes)) {
            auto *copied = static_cast<uint8_t *>(av_memdup(matrix, bytes));
            if (copied && av_stream_add_side_data(m_video, AV_PKT_DATA_DISPLAYMATRIX, copied, bytes) < 0)
                av_free(copied);
        }
        m_size = m_header.displayed;
    }
    if (const AVStream *audio = m_input.audio()) {
        if (m_header.copy == ClipCopy::Mp4Made || m_header.copy == ClipCopy::Mp4Sound) {
            QString problem;
            m_sound = ClipSound::open(audio, m_output.context(), problem);
            if (!m_sound)
                return fail(problem);
            m_audio = m_sound->stream();
        } else if (!addCopied(audio, m_audio)) {
            return false;
        }
    }
    return true;
}

bool Copier::openVideoMaker()
{
    QString problem;
    const AVStream *from = m_input.video();
    // Two frame threads: the next frame decodes while x264 encodes this one,
    // for two more frames held (a fifth less time on two cores).
    m_decoder = openDecoder(from, 2, problem);
    if (!m_decoder)
        return fail(problem);
    const AVCodec *x264 = avcodec_find_encoder_by_name("libx264");
    if (!x264)
        return fail(QStringLiteral("This system's FFmpeg has no H.264 encoder (libx264) to make its copy."));
    m_size = copySizeOf(m_header.displayed, ClipCopy::Mp4Made);
    m_encoder.reset(avcodec_alloc_context3(x264));
    m_video = avformat_new_stream(m_output.context(), nullptr);
    if (!m_encoder || !m_video)
        return fail(QStringLiteral("There is not enough memory to make its copy."));
    AVCodecContext *encoder = m_encoder.get();
    encoder->width = m_size.width();
    encoder->height = m_size.height();
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->sample_aspect_ratio = {1, 1};
    encoder->time_base = from->time_base;
    encoder->framerate = av_guess_frame_rate(m_input.context(), const_cast<AVStream *>(from), nullptr);
    encoder->color_primaries = from->codecpar->color_primaries;
    encoder->color_trc = from->codecpar->color_trc;
    encoder->colorspace = from->codecpar->color_space;
    encoder->color_range = AVCOL_RANGE_MPEG;
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(encoder->priv_data, "preset", "veryfast", 0);
    av_opt_set(encoder->priv_data, "crf", "23", 0);
    // Two threads on slices of each frame, in the memory of one (frame
    // threads hold a look-ahead each); half veryfast's look-ahead: a 1080p
    // copy's encoder takes 127 MB where it took 164, for files 7 % smaller
    // at the same quality setting.
    encoder->thread_count = 2;
    av_opt_set(encoder->priv_data, "x264-params", "sliced-threads=1:rc-lookahead=5", 0);
    if (avcodec_open2(encoder, x264, nullptr) < 0 || avcodec_parameters_from_context(m_video->codecpar, encoder) < 0)
        return fail(QStringLiteral("The H.264 encoder could not be started for its copy."));
    m_video->time_base = encoder->time_base;
    m_decoded = newFrame();
    m_scaled = newFrame();
    m_turned = newFrame();
    m_encoded = newPacket();
    const QSize before = m_header.quarterTurns % 2 ? m_size.transposed() : m_size;
    m_scaled->format = m_turned->format = AV_PIX_FMT_YUV420P;
    m_scaled->width = before.width();
    m_scaled->height = before.height();
    m_turned->width = m_size.width();
    m_turned->height = m_size.height();
    if (!m_decoded || !m_encoded || av_frame_get_buffer(m_scaled.get(), 0) < 0 || av_frame_get_buffer(m_turned.get(), 0) < 0)
        return fail(QStringLiteral("There is not enough memory to make its copy."));
    return true;
}

bool Copier::write(AVPacket *packet, const AVStream *from, AVRational base)
{
    AVStream *to = from == m_input.video() ? m_video : m_audio;
    packet->stream_index = to->index;
    packet->pos = -1;
    av_packet_rescale_ts(packet, base, to->time_base);
    const int error = av_interleaved_write_frame(m_output.context(), packet);
    return error >= 0 || failWith(error);
}

bool Copier::encodeVideo(const AVFrame *frame)
{
    int error = avcodec_send_frame(m_encoder.get(), frame);
    while (error >= 0) {
        error = avcodec_receive_packet(m_encoder.get(), m_encoded.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return true;
        if (error >= 0 && !write(m_encoded.get(), m_input.video(), m_encoder->time_base))
            return false;
    }
    return failWith(error);
}

bool Copier::makeVideo(AVPacket *packet)
{
    const int sent = avcodec_send_packet(m_decoder.get(), packet);
    if (sent < 0 && sent != AVERROR_EOF)
        return true; // a damaged packet: the copy goes on from the next that decodes
    while (avcodec_receive_frame(m_decoder.get(), m_decoded.get()) == 0) {
        AVFrame *decoded = m_decoded.get();
        const int64_t pts = decoded->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE || (m_lastPts != AV_NOPTS_VALUE && pts <= m_lastPts)) {
            av_frame_unref(decoded);
            continue; // the encoder takes each moment once, in order
        }
        m_lastPts = pts;
        m_scaler.reset(sws_getCachedContext(m_scaler.release(), decoded->width, decoded->height, AVPixelFormat(decoded->format),
                                            m_scaled->width, m_scaled->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                                            nullptr, nullptr));
        if (!m_scaler || av_frame_make_writable(m_scaled.get()) < 0 || av_frame_make_writable(m_turned.get()) < 0)
            return fail(QStringLiteral("There is not enough memory to make its copy."));
        sws_scale(m_scaler.get(), decoded->data, decoded->linesize, 0, decoded->height, m_scaled->data, m_scaled->linesize);
        AVFrame *made = m_scaled.get();
        if (m_header.quarterTurns != 0 || m_header.mirrored) {
            turnPlanes(m_scaled.get(), m_turned.get(), m_header.quarterTurns, m_header.mirrored);
            made = m_turned.get();
        }
        made->pts = pts;
        av_frame_unref(decoded);
        if (!encodeVideo(made))
            return false;
    }
    return true;
}

CopyMade Copier::run(const std::function<void(qint64)> &progress)
{
    CopyMade made;
    const auto failed = [&]() {
        const bool unwritten = !m_file.error().isEmpty(); // the disk, not the clip: every copy after would fail too
        made.problem = unwritten ? m_file.error() : m_failure.problem;
        made.fatal = unwritten || m_failure.fatal;
        made.stopped = m_input.stopped() && !made.fatal;
        return made;
    };
    if (!m_output.problem().isEmpty())
        return fail(m_output.problem()), failed();
    if (!m_file.error().isEmpty())
        return fail(m_file.error(), true), failed();
    if (!addStreams())
        return failed();
    AVDictionary *options = nullptr;
    if (m_header.copy == ClipCopy::WebmAsIs)
        av_dict_set_int(&options, "reserve_index_space", 1024 + 64 * (m_header.milliseconds / 1000), 0);
    else
        av_dict_set(&options, "movflags", "+faststart", 0);
    const int opened = avformat_write_header(m_output.context(), &options);
    av_dict_free(&options);
    if (opened < 0)
        return failWith(opened), failed();
    AVFormatContext *in = m_input.context();
    PacketPointer packet = newPacket();
    bool going = packet != nullptr || fail(QStringLiteral("There is not enough memory to copy it."));
    while (going) {
        if (m_input.stopped())
            return fail(QString()), failed();
        if (av_read_frame(in, packet.get()) < 0) {
            if (m_input.stopped())
                return fail(QString()), failed();
            break; // the end, or a cut: the copy holds what is there
        }
        const AVStream *from = in->streams[packet->stream_index];
        if (from == m_input.video()) {
            if (packet->pts != AV_NOPTS_VALUE)
                progress(av_rescale_q(packet->pts, from->time_base, AVRational{1, 1000}));
            going = m_decoder ? makeVideo(packet.get()) : write(packet.get(), from, from->time_base);
        } else if (from == m_input.audio()) {
            going = m_sound ? m_sound->take(packet.get(), m_output.context()) : write(packet.get(), from, from->time_base);
            if (!going && m_sound)
                fail(m_sound->problem(), !m_file.error().isEmpty());
        }
        av_packet_unref(packet.get());
    }
    if (!m_failure.problem.isEmpty() || (going && m_decoder && (!makeVideo(nullptr) || !encodeVideo(nullptr))))
        return failed();
    if (m_sound && !m_sound->finish(m_output.context()))
        return fail(m_sound->problem(), !m_file.error().isEmpty()), failed();
    if (const int error = av_write_trailer(m_output.context()); error < 0)
        return failWith(error), failed();
    made.size = m_size;
    return made;
}

} // namespace

CopyMade writeClipCopy(ClipInput &input, const ClipHeader &header, ClipSink &file, const std::function<void(qint64)> &progress)
{
    Copier copier(input, header, file);
    return copier.run(progress);
}
