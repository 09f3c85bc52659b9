#include "ClipTypes.h"

#include <algorithm>

namespace {

// x264 at "veryfast" with a look-ahead of five frames holds its references,
// look-ahead and macroblock tree: measured, 127 MB at 1920 x 1080, about 42
// frames of the copy's size.
constexpr qint64 encoderFrames = 42;
// A decoder holds the frames its stream may refer to and one being made,
// with their motion vectors: measured, ten frames for a phone's HEVC clip,
// and one more for each of its two threads.
constexpr qint64 decoderFrames = 12;
// A poster's key frame decoded alone: the decoder's pool of frames.
constexpr qint64 posterFrames = 4;

QSize even(QSize size)
{
    return {std::max(2, size.width() & ~1), std::max(2, size.height() & ~1)};
}

QSize fitted(QSize size, int box)
{
    if (size.width() <= box && size.height() <= box)
        return size;
    const bool wide = size.width() >= size.height();
    const qint64 longer = wide ? size.width() : size.height(), shorter = wide ? size.height() : size.width();
    const int scaled = int(std::max<qint64>(1, (shorter * box * 2 + longer) / (2 * longer)));
    return wide ? QSize(box, scaled) : QSize(scaled, box);
}

} // namespace

QString copySuffix(ClipCopy copy)
{
    return copy == ClipCopy::WebmAsIs ? QStringLiteral("webm") : QStringLiteral("mp4");
}

QString clipLengthText(qint64 milliseconds)
{
    const qint64 seconds = (std::max<qint64>(0, milliseconds) + 500) / 1000;
    const auto twoDigits = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(twoDigits(seconds % 60));
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(twoDigits(seconds / 60 % 60), twoDigits(seconds % 60));
}

QSize copySizeOf(QSize displayed, ClipCopy copy)
{
    return copy == ClipCopy::Mp4Made ? even(fitted(displayed, mostMadeSide)) : displayed;
}

qint64 copyCost(const ClipHeader &header)
{
    if (header.copy != ClipCopy::Mp4Made)
        return 8 * 1024 * 1024; // packets pass through as they are
    const QSize made = copySizeOf(header.displayed, header.copy);
    return decoderFrames * header.frameBytes + encoderFrames * qint64(made.width()) * made.height() * 3 / 2;
}

qint64 posterCost(const ClipHeader &header, QSize size)
{
    return posterFrames * header.frameBytes + qint64(size.width()) * size.height() * 4;
}
