// Fuzzes the picture header reader on arbitrary bytes, as a file of any
// length would give them: an answer is a size a browser could show or a
// reason in words, never both; the reader never reads out of bounds and
// reads a bounded number of bytes however the input is padded.
#include "Require.h"
#include "formats/PictureHeader.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The input, followed by a long run of zeros that must never be read in full.
class PaddedBytes : public ByteSource
{
public:
    PaddedBytes(const std::uint8_t *data, qint64 size) : m_data(data), m_size(size) {}
    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        REQUIRE(offset >= 0 && count > 0);
        const qint64 n = std::clamp<qint64>(total - offset, 0, count);
        for (qint64 i = 0; i < n; ++i)
            into[i] = offset + i < m_size ? char(m_data[offset + i]) : '\0';
        bytesRead += n;
        return n;
    }
    QString errorString() const override { return {}; }
    qint64 size() const override { return total; }

    static constexpr qint64 total = qint64(1) << 40;
    qint64 bytesRead = 0;

private:
    const std::uint8_t *m_data;
    qint64 m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    PaddedBytes source(data, qint64(size));
    const HeaderReading reading = readPictureHeader(source);
    if (reading.error.isEmpty()) {
        REQUIRE(reading.size.width() > 0 && reading.size.height() > 0);
        // Browsers refuse 2^29 pixels or more, whatever the format.
        REQUIRE(qint64(reading.size.width()) * reading.size.height() < (qint64(1) << 29));
    } else {
        REQUIRE(!reading.size.isValid());
        REQUIRE(reading.error.endsWith(QLatin1Char('.')));
    }
    // A window per segment at most, and one 64 KiB EXIF segment.
    REQUIRE(source.bytesRead <= 65536 * 4096 + 65536);
    return 0;
}
