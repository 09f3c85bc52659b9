// Fuzzes how names read from the system are kept and printed. Any bytes must
// come back unchanged from text, be valid text exactly when they are valid
// UTF-8, and print as one line holding no control character.
#include "Require.h"
#include "system/NativeName.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = NativeName::decode(bytes);
    REQUIRE(NativeName::encode(name) == bytes);
    if (NativeName::isValidText(name))
        REQUIRE(name.toUtf8() == bytes);
    else
        REQUIRE(QString::fromUtf8(bytes).toUtf8() != bytes); // Qt too finds an invalid sequence
    const QString line = NativeName::printable(name);
    for (const QChar c : line)
        REQUIRE(c.unicode() >= 0x20 && c.unicode() != 0x7F && !(c.unicode() >= 0x80 && c.unicode() < 0xA0)
                && c.unicode() != 0x2028 && c.unicode() != 0x2029);
    // Prints as valid UTF-8. (QString::fromUtf8 would drop a leading U+FEFF,
    // which a name may well start with.)
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString back = utf8(line.toUtf8());
    REQUIRE(!utf8.hasError() && back == line);
    return 0;
}
