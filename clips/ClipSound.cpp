#include "ClipSound.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

// The rates AAC has a code for; any other is resampled to 48 kHz.
bool isAacRate(int rate)
{
    for (const int known : {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000})
        if (rate == known)
            return true;
    return false;
}

} // namespace

std::unique_ptr<ClipSound> ClipSound::open(const AVStream *from, AVFormatContext *output, QString &problem)
{
    std::unique_ptr<ClipSound> sound(new ClipSound);
    sound->m_decoder = openDecoder(from, 1, problem);
    if (!sound->m_decoder)
        return {};
    const AVCodec *aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    sound->m_encoder.reset(aac ? avcodec_alloc_context3(aac) : nullptr);
    sound->m_stream = avformat_new_stream(output, nullptr);
    if (!sound->m_encoder || !sound->m_stream) {
        problem = QStringLiteral("This system's FFmpeg cannot make AAC sound for its copy.");
        return {};
    }
    AVCodecContext *decoder = sound->m_decoder.get(), *encoder = sound->m_encoder.get();
    // Mono stays mono; anything else is heard in stereo.
    av_channel_layout_default(&encoder->ch_layout, decoder->ch_layout.nb_channels == 1 ? 1 : 2);
    encoder->sample_rate = isAacRate(decoder->sample_rate) ? decoder->sample_rate : 48000;
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = 64000 * encoder->ch_layout.nb_channels;
    encoder->time_base = {1, encoder->sample_rate};
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(encoder, aac, nullptr) < 0 || avcodec_parameters_from_context(sound->m_stream->codecpar, encoder) < 0) {
        problem = QStringLiteral("The AAC encoder could not be started for its copy.");
        return {};
    }
    sound->m_stream->time_base = encoder->time_base;
    if (swr_alloc_set_opts2(&sound->m_resampler, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate,
                            &decoder->ch_layout, decoder->sample_fmt, decoder->sample_rate, 0, nullptr) < 0
        || swr_init(sound->m_resampler) < 0) {
        problem = QStringLiteral("Its sound (%1 channels at %2 Hz) cannot be converted.")
                      .arg(decoder->ch_layout.nb_channels).arg(decoder->sample_rate);
        return {};
    }
    sound->m_fifo = av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, encoder->frame_size);
    sound->m_decoded = newFrame();
    sound->m_chunk = newFrame();
    sound->m_encoded = newPacket();
    if (!sound->m_fifo || !sound->m_decoded || !sound->m_chunk || !sound->m_encoded) {
        problem = QStringLiteral("There is not enough memory to convert its sound.");
        return {};
    }
    return sound;
}

ClipSound::~ClipSound()
{
    swr_free(&m_resampler);
    if (m_fifo)
        av_audio_fifo_free(m_fifo);
}

bool ClipSound::send(const AVFrame *frame, AVFormatContext *output)
{
    int error = avcodec_send_frame(m_encoder.get(), frame);
    while (error >= 0) {
        error = avcodec_receive_packet(m_encoder.get(), m_encoded.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return true;
        if (error < 0)
            break;
        m_encoded->stream_index = m_stream->index;
        av_packet_rescale_ts(m_encoded.get(), m_encoder->time_base, m_stream->time_base);
        error = av_interleaved_write_frame(output, m_encoded.get());
    }
    m_problem = QStringLiteral("Its sound could not be written.");
    return false;
}

// Whole chunks of the encoder's frame size, and at the end what is left.
bool ClipSound::encode(AVFormatContext *output, bool last)
{
    AVCodecContext *encoder = m_encoder.get();
    while (av_audio_fifo_size(m_fifo) >= encoder->frame_size || (last && av_audio_fifo_size(m_fifo) > 0)) {
        AVFrame *chunk = m_chunk.get();
        av_frame_unref(chunk);
        chunk->nb_samples = std::min(av_audio_fifo_size(m_fifo), encoder->frame_size);
        chunk->format = encoder->sample_fmt;
        chunk->sample_rate = encoder->sample_rate;
        if (av_channel_layout_copy(&chunk->ch_layout, &encoder->ch_layout) < 0 || av_frame_get_buffer(chunk, 0) < 0) {
            m_problem = QStringLiteral("There is not enough memory to convert its sound.");
            return false;
        }
        av_audio_fifo_read(m_fifo, reinterpret_cast<void **>(chunk->data), chunk->nb_samples);
        chunk->pts = m_next;
        m_next += chunk->nb_samples;
        if (!send(chunk, output))
            return false;
    }
    return true;
}

bool ClipSound::take(const AVPacket *packet, AVFormatContext *output)
{
    if (avcodec_send_packet(m_decoder.get(), packet) < 0)
        return true; // a damaged packet is a moment of silence, not the end of the copy
    while (avcodec_receive_frame(m_decoder.get(), m_decoded.get()) == 0) {
        AVFrame *decoded = m_decoded.get();
        const int most = swr_get_out_samples(m_resampler, decoded->nb_samples);
        uint8_t **planes = nullptr;
        const bool made = most >= 0
            && av_samples_alloc_array_and_samples(&planes, nullptr, m_encoder->ch_layout.nb_channels, std::max(most, 1),
                                                  m_encoder->sample_fmt, 0) >= 0;
        const int converted = made ? swr_convert(m_resampler, planes, most, const_cast<const uint8_t **>(decoded->extended_data),
                                                 decoded->nb_samples) : -1;
        const bool kept = converted >= 0 && av_audio_fifo_write(m_fifo, reinterpret_cast<void **>(planes), converted) >= converted;
        if (planes)
            av_freep(&planes[0]);
        av_freep(&planes);
        av_frame_unref(decoded);
        if (!kept) {
            m_problem = QStringLiteral("There is not enough memory to convert its sound.");
            return false;
        }
    }
    return encode(output, false);
}

bool ClipSound::finish(AVFormatContext *output)
{
    return take(nullptr, output) && encode(output, true) && send(nullptr, output);
}
