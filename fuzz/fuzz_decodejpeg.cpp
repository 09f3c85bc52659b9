// Fuzzes decoding arbitrary bytes as a JPEG with libjpeg-turbo, as thumbnails
// and the preview do. Whatever the bytes, the decode gives an image or a
// reason, never both, stays within its memory limit (the fuzzer's RSS limit
// catches more), keeps to its scan budget, and never crashes or reads out of
// bounds.
#include "Require.h"
#include "formats/JpegDecoding.h"

#include <QBuffer>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr qint64 workingBytes = 64 * 1024 * 1024;
constexpr int box = 256;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    REQUIRE(buffer.open(QIODevice::ReadOnly));
    qint64 reserved = 0;
    JpegLimits limits;
    limits.workingBytes = workingBytes;
    limits.reserve = [&reserved](qint64 bytes) { reserved += bytes; return true; };
    limits.release = [&reserved](qint64 bytes) { reserved -= bytes; };
    const JpegDecoded decoded = decodeJpeg(
        buffer, [](QSize displayed) { return displayed.scaled(box, box, Qt::KeepAspectRatio); }, limits);
    REQUIRE(reserved == 0); // whatever was taken was given back
    if (decoded.image.isNull()) {
        REQUIRE(!decoded.problem.isEmpty() && decoded.problem.endsWith(QLatin1Char('.')));
    } else {
        REQUIRE(decoded.problem.isEmpty());
        REQUIRE(decoded.orientation >= 1 && decoded.orientation <= 8);
        REQUIRE(decoded.image.width() <= decoded.stored.width() && decoded.image.height() <= decoded.stored.height());
        REQUIRE(qint64(decoded.image.sizeInBytes()) <= workingBytes);
    }
    return 0;
}
