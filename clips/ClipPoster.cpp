#include "ClipPoster.h"

#include "clips/ClipFrames.h"
#include "clips/ClipInput.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

// Packets read looking for a key frame before the first one is taken, and
// packets fed to a decoder before a frame must come out: a damaged clip
// stops there rather than being read to its end.
constexpr int mostPackets = 2000;

// One key frame decoded on its own; a decoder that needs more (a stream of
// refreshes without key frames) is fed the packets after it.
FramePointer decodeFrom(AVCodecContext *codec, ClipInput &input, AVPacket *first, bool more)
{
    avcodec_flush_buffers(codec);
    FramePointer frame = newFrame();
    PacketPointer packet = newPacket();
    if (!frame || !packet || (first && avcodec_send_packet(codec, first) < 0))
        return {};
    if (first && avcodec_receive_frame(codec, frame.get()) == 0)
        return frame;
    const int stream = input.video()->index;
    for (int fed = 0; more && fed < mostPackets && !input.stopped(); ++fed) {
        if (av_read_frame(input.context(), packet.get()) < 0)
            break;
        const bool ours = packet->stream_index == stream;
        const int sent = ours ? avcodec_send_packet(codec, packet.get()) : 0;
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN))
            continue; // a damaged packet: the next may decode
        if (ours && avcodec_receive_frame(codec, frame.get()) == 0)
            return frame;
    }
    avcodec_send_packet(codec, nullptr); // what the decoder holds back comes out when it is drained
    return avcodec_receive_frame(codec, frame.get()) == 0 ? std::move(frame) : FramePointer();
}

} // namespace

ClipPoster decodePoster(ClipInput &input, const ClipHeader &header, const std::function<QSize(QSize)> &target,
                        const std::function<bool(qint64)> &reserve, qint64 &reserved)
{
    ClipPoster poster;
    const AVStream *video = input.video();
    const QSize upright = target(header.displayed);
    const QSize size = header.quarterTurns % 2 ? upright.transposed() : upright;
    const qint64 cost = posterCost(header, size);
    if (!reserve(cost)) {
        poster.stopped = input.stopped();
        poster.overBudget = !poster.stopped;
        poster.problem = QStringLiteral("Decoding its frames (%1 x %2 pixels) would take more memory than is allowed.")
                             .arg(header.stored.width()).arg(header.stored.height());
        return poster;
    }
    reserved = cost;
    CodecPointer codec = openDecoder(video, 1, poster.problem);
    if (!codec)
        return poster;
    const int64_t after = av_rescale_q(std::min<qint64>(header.milliseconds / 10, 1000), AVRational{1, 1000}, video->time_base)
        + (video->start_time != AV_NOPTS_VALUE ? video->start_time : 0);
    PacketPointer first = newPacket(), packet = newPacket();
    FramePointer frame;
    for (int read = 0; read < mostPackets && !frame && !input.stopped(); ++read) {
        if (av_read_frame(input.context(), packet.get()) < 0)
            break;
        if (packet->stream_index == video->index && (packet->flags & AV_PKT_FLAG_KEY)) {
            const int64_t when = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (!first->data)
                av_packet_ref(first.get(), packet.get());
            if (when != AV_NOPTS_VALUE && when >= after)
                frame = decodeFrom(codec.get(), input, packet.get(), false);
        }
        av_packet_unref(packet.get());
    }
    if (!frame && first->data && !input.stopped())
        frame = decodeFrom(codec.get(), input, first.get(), false); // none later: a short clip
    if (!frame && !input.stopped()) {
        // No key frame decodes on its own: the clip from its start, as a player would.
        av_seek_frame(input.context(), video->index, first->data && first->dts != AV_NOPTS_VALUE ? first->dts : 0,
                      AVSEEK_FLAG_BACKWARD);
        frame = decodeFrom(codec.get(), input, nullptr, true);
    }
    if (input.stopped()) {
        poster.stopped = true;
        return poster;
    }
    if (!frame) {
        poster.problem = QStringLiteral("None of its frames could be decoded: it is damaged or cut short.");
        return poster;
    }
    poster.image = ::upright(imageOf(frame.get(), size), header.quarterTurns, header.mirrored);
    if (poster.image.isNull())
        poster.problem = QStringLiteral("There is not enough memory to make its poster.");
    return poster;
}
