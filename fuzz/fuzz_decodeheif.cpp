// Fuzzes reading arbitrary bytes as a HEIC or AVIF photo with libheif, as
// the album and the preview do: the header's own checks (items, sizes, the
// cost worked out before anything large is taken), then a decode within a
// budget. Whatever the bytes, the result is an image or a reason, never
// both; what was reserved is never more than the budget; the image is the
// size the header promised; nothing crashes or reads out of bounds.
#include "Require.h"
#include "formats/HeifLibrary.h"
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
    const HeifHeader header = readHeifHeaderWithLibheif(source, workingBytes);
    REQUIRE(!header.problem.isEmpty()
            || (!header.displayed.isEmpty() && header.decodeBytes > 0 && header.decodeBytes <= workingBytes));
    if (!header.problem.isEmpty()) {
        REQUIRE(header.problem.endsWith(QLatin1Char('.')));
        return 0;
    }
    qint64 reserved = 0;
    HeifLimits limits;
    limits.workingBytes = workingBytes;
    limits.reserve = [&reserved](qint64 taken) { reserved += taken; return reserved <= workingBytes; };
    const HeifDecoded decoded = decodeHeifWithLibheif(source, limits);
    REQUIRE(reserved <= workingBytes);
    REQUIRE(decoded.reserved == 0 || decoded.reserved == reserved);
    if (decoded.image.isNull()) {
        REQUIRE(!decoded.problem.isEmpty() && decoded.problem.endsWith(QLatin1Char('.')));
    } else {
        REQUIRE(decoded.problem.isEmpty());
        REQUIRE(decoded.image.size() == header.displayed);
        REQUIRE(qint64(decoded.image.sizeInBytes()) <= workingBytes);
    }
    return 0;
}
