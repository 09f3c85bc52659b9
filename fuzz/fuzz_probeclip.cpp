// Fuzzes reading arbitrary bytes as a clip, as the album and the preview do:
// FFmpeg's demuxers (only MP4/MOV and Matroska/WebM) find its streams, the
// header's own checks refuse frames past the most and lengths the file
// cannot hold, then a poster frame is decoded within a budget. Whatever the
// bytes, the result is a header or a reason, a poster or a reason; nothing
// crashes or reads out of bounds, and what the poster's decode reserves is
// asked for before it is taken.
#include "Require.h"
#include "clips/ClipHeader.h"
#include "clips/ClipInput.h"
#include "clips/ClipPoster.h"
#include "formats/PictureMeasure.h"

#include <QBuffer>

#include <cstdint>

namespace {
constexpr qint64 workingBytes = 64 * 1024 * 1024;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    REQUIRE(buffer.open(QIODevice::ReadOnly));
    DeviceBytes source(buffer);
    ClipInput input(source, nullptr);
    const ClipHeader header = clipHeaderOf(input, qint64(size));
    if (!header.problem.isEmpty()) {
        REQUIRE(header.problem.endsWith(QLatin1Char('.')) || header.problem.endsWith(QLatin1Char(')')));
        return 0;
    }
    REQUIRE(!header.displayed.isEmpty() && header.displayed.width() <= mostClipSide && header.displayed.height() <= mostClipSide);
    REQUIRE(header.quarterTurns >= 0 && header.quarterTurns < 4 && header.milliseconds >= 0);
    qint64 asked = 0, reserved = 0;
    const auto target = [](QSize shown) { return shown.scaled(64, 64, Qt::KeepAspectRatio).expandedTo({1, 1}); };
    const ClipPoster poster = decodePoster(input, header, target, [&asked](qint64 cost) {
        asked = cost;
        return cost <= workingBytes;
    }, reserved);
    REQUIRE(reserved == 0 || reserved == asked);
    if (poster.image.isNull())
        REQUIRE(!poster.problem.isEmpty());
    else
        REQUIRE(poster.image.size() == target(header.displayed));
    return 0;
}
