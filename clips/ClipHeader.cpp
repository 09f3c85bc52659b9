#include "ClipHeader.h"

#include "clips/ClipFrames.h"
#include "clips/ClipInput.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <cmath>

namespace {

// A clip of hours in a few kilobytes claims what it cannot hold: below this
// many bytes a second no picture moves.
constexpr qint64 leastBytesPerSecond = 256;
constexpr qint64 claimedHours = 3600 * 1000;

QString tag(const AVDictionary *tags, const char *key)
{
    const AVDictionaryEntry *entry = av_dict_get(tags, key, nullptr, 0);
    return entry ? QString::fromUtf8(entry->value).trimmed().left(200) : QString();
}

QString firstTag(const AVFormatContext *context, const AVStream *video, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        for (const AVDictionary *tags : {context->metadata, video->metadata}) {
            if (QString value = tag(tags, key); !value.isEmpty())
                return value;
        }
    }
    return {};
}

// The date and camera a phone writes; where it was taken is never read.
PictureFacts factsOf(const AVFormatContext *context, const AVStream *video)
{
    PictureFacts facts;
    const QString when = firstTag(context, video, {"com.apple.quicktime.creationdate", "creation_time", "date"});
    facts.taken = QDateTime::fromString(when, Qt::ISODateWithMs);
    if (!facts.taken.isValid())
        facts.taken = QDateTime::fromString(when, Qt::ISODate);
    if (facts.taken.isValid() && facts.taken.date().year() < 1971)
        facts.taken = {}; // "1970" or "1904": a clock never set
    const QString make = firstTag(context, video, {"com.apple.quicktime.make", "make", "com.android.manufacturer"});
    const QString model = firstTag(context, video, {"com.apple.quicktime.model", "model", "com.android.model"});
    facts.camera = model.isEmpty() || model.startsWith(make, Qt::CaseInsensitive) || make.isEmpty()
        ? (model.isEmpty() ? make : model) : make + QLatin1Char(' ') + model;
    return facts;
}

void turnAsDisplayed(const AVStream *video, ClipHeader &header)
{
    const uint8_t *matrix = av_stream_get_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix)
        return;
    const auto *m = reinterpret_cast<const int32_t *>(matrix);
    const double rotation = av_display_rotation_get(m); // counter-clockwise degrees
    if (std::isnan(rotation))
        return;
    header.mirrored = qint64(m[0]) * m[4] - qint64(m[1]) * m[3] < 0;
    const int degrees = int(std::lround(-rotation / 90.0)) * 90;
    header.quarterTurns = ((degrees / 90) % 4 + 4) % 4;
}

ClipCopy copyOf(const AVStream *video, const AVStream *audio)
{
    const AVCodecID picture = video->codecpar->codec_id;
    const AVCodecID sound = audio ? audio->codecpar->codec_id : AV_CODEC_ID_NONE;
    const bool eightBit = video->codecpar->format == AV_PIX_FMT_YUV420P || video->codecpar->format == AV_PIX_FMT_YUVJ420P;
    if ((picture == AV_CODEC_ID_VP8 || picture == AV_CODEC_ID_VP9 || picture == AV_CODEC_ID_AV1)
        && (sound == AV_CODEC_ID_NONE || sound == AV_CODEC_ID_OPUS || sound == AV_CODEC_ID_VORBIS))
        return ClipCopy::WebmAsIs;
    // H.264 in 4:2:0 at 8 bits is what every browser decodes; High 10 or 4:2:2 is not.
    if (picture == AV_CODEC_ID_H264 && eightBit)
        return sound == AV_CODEC_ID_NONE || sound == AV_CODEC_ID_AAC ? ClipCopy::Mp4AsIs : ClipCopy::Mp4Sound;
    return ClipCopy::Mp4Made;
}

} // namespace

ClipHeader clipHeaderOf(const ClipInput &input, qint64 length)
{
    ClipHeader header;
    header.stopped = input.stopped();
    if (!input.problem().isEmpty()) {
        header.problem = input.problem();
        return header;
    }
    const AVFormatContext *context = input.context();
    const AVStream *video = input.video();
    const AVCodecParameters *codec = video->codecpar;
    if (codec->width <= 0 || codec->height <= 0) {
        header.problem = QStringLiteral("Its header gives no frame size.");
        return header;
    }
    if (codec->width > mostClipSide || codec->height > mostClipSide) {
        header.problem = QStringLiteral("Its header claims frames of %1 x %2 pixels, more than a clip holds (at most %3 a side).")
                             .arg(codec->width).arg(codec->height).arg(mostClipSide);
        return header;
    }
    int width = codec->width;
    const AVRational shape = av_guess_sample_aspect_ratio(const_cast<AVFormatContext *>(context), const_cast<AVStream *>(video), nullptr);
    if (shape.num > 0 && shape.den > 0 && shape.num != shape.den)
        width = int(std::clamp<qint64>((qint64(width) * shape.num + shape.den / 2) / shape.den, 1, mostClipSide));
    header.stored = QSize(width, codec->height);
    turnAsDisplayed(video, header);
    header.displayed = header.quarterTurns % 2 ? header.stored.transposed() : header.stored;
    const int64_t duration = context->duration != AV_NOPTS_VALUE ? context->duration
        : video->duration != AV_NOPTS_VALUE ? av_rescale_q(video->duration, video->time_base, AV_TIME_BASE_Q) : 0;
    header.milliseconds = std::max<int64_t>(0, duration / 1000);
    if (header.milliseconds > claimedHours && length / std::max<qint64>(1, header.milliseconds / 1000) < leastBytesPerSecond) {
        header.problem = QStringLiteral("Its header claims %1 of moving pictures in %2 bytes, more than they can hold.")
                             .arg(clipLengthText(header.milliseconds)).arg(length);
        return header;
    }
    header.copy = copyOf(video, input.audio());
    header.frameBytes = frameBytes(video);
    header.facts = factsOf(context, video);
    return header;
}

ClipHeader readClipHeader(ByteSource &bytes, const std::atomic<bool> *stop)
{
    const ClipInput input(bytes, stop);
    return clipHeaderOf(input, bytes.size());
}
