// Fuzzes measuring arbitrary bytes as a picture through a device. Whatever the bytes, measuring
// returns either a size a browser could show or a reason in words, never both,
// never "Unknown error", and never crashes, hangs or reads out of bounds.
#include "Require.h"
#include "formats/PictureMeasure.h"

#include <QBuffer>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Any warning about a broken input is noise; the fuzzer's own report is what matters.
    QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.gui.imageio.*.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    REQUIRE(buffer.open(QIODevice::ReadOnly));
    const Measurement measured = measurePicture(buffer);
    if (measured.error.isEmpty()) {
        REQUIRE(measured.size.width() > 0 && measured.size.height() > 0);
        // Browsers refuse 2^29 pixels or more, whatever the format.
        REQUIRE(qint64(measured.size.width()) * measured.size.height() < (qint64(1) << 29));
    } else {
        REQUIRE(!measured.size.isValid() || measured.size.isEmpty());
        REQUIRE(measured.error.endsWith(QLatin1Char('.')));
        REQUIRE(!measured.error.contains(QLatin1String("Unknown error")));
    }
    return 0;
}
