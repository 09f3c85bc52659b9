#include "ClipFrames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <QTransform>

void CodecFree::operator()(AVCodecContext *codec) const { avcodec_free_context(&codec); }
void FrameFree::operator()(AVFrame *frame) const { av_frame_free(&frame); }
void PacketFree::operator()(AVPacket *packet) const { av_packet_free(&packet); }

FramePointer newFrame() { return FramePointer(av_frame_alloc()); }
PacketPointer newPacket() { return PacketPointer(av_packet_alloc()); }

CodecPointer openDecoder(const AVStream *stream, int threads, QString &problem)
{
    const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) {
        problem = QStringLiteral("No decoder of its %1 pictures is installed here.")
                      .arg(QString::fromLatin1(avcodec_get_name(stream->codecpar->codec_id)));
        return {};
    }
    CodecPointer codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0) {
        problem = QStringLiteral("There is not enough memory to decode it.");
        return {};
    }
    codec->thread_count = threads;
    codec->pkt_timebase = stream->time_base;
    // A frame larger than the header claimed would slip past what was weighed;
    // decoders pad their buffers by up to a few macroblocks on each side.
    codec->max_pixels = qint64(stream->codecpar->width + 256) * (stream->codecpar->height + 256);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        problem = QStringLiteral("Its %1 pictures could not be decoded.").arg(QString::fromLatin1(decoder->name));
        return {};
    }
    return codec;
}

namespace {

int swsColorspace(const AVFrame *frame)
{
    switch (frame->colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_UNSPECIFIED:
        return frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_ITU601; // as players guess
    default:
        return SWS_CS_ITU601;
    }
}

} // namespace

QImage imageOf(const AVFrame *frame, QSize size)
{
    const auto format = AVPixelFormat(frame->format);
    SwsContext *scaler = sws_getContext(frame->width, frame->height, format, size.width(), size.height(), AV_PIX_FMT_RGB32,
                                        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!scaler)
        return {};
    const bool full = frame->color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P
        || format == AV_PIX_FMT_YUVJ444P;
    const int *coefficients = sws_getCoefficients(swsColorspace(frame));
    sws_setColorspaceDetails(scaler, coefficients, full ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    QImage image(size, QImage::Format_RGB32);
    if (!image.isNull()) {
        uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
        const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
        sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    }
    sws_freeContext(scaler);
    return image;
}

QImage upright(QImage image, int quarterTurns, bool mirrored)
{
    if (mirrored)
        image.mirror(true, false);
    if (quarterTurns % 4 == 0)
        return image;
    return image.transformed(QTransform().rotate(90 * (quarterTurns % 4)));
}

qint64 frameBytes(const AVStream *stream)
{
    const AVPixFmtDescriptor *format = av_pix_fmt_desc_get(AVPixelFormat(stream->codecpar->format));
    // Unknown until decoded: taken as the deepest a phone writes (10 bits, 4:2:2, in 16-bit words).
    const qint64 bytesPerSample = !format || format->comp[0].depth > 8 ? 2 : 1;
    const qint64 samples = format ? 1 * 4 + (2 * 4 >> format->log2_chroma_w >> format->log2_chroma_h) : 8;
    return qint64(stream->codecpar->width) * stream->codecpar->height * bytesPerSample * samples / 4;
}
