// Fuzzes how a file name is written into a page. The input is a file name's
// bytes as the disk holds them. For every name that reaches a page, the
// visible text and the image source must be plain ASCII that cannot break
// out of the text or the attribute, and each must lead back to the name: the
// visible text to its characters, the image source to its bytes on disk.
#include "Require.h"
#include "classic/PageFormat.h"
#include "system/NativeName.h"

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// The same rule the catalogue applies before a name may go on a page.
bool reachesAPage(const QString &name)
{
    return !name.contains(QChar::ReplacementCharacter) && QFile::decodeName(QFile::encodeName(name)) == name;
}

bool isPlainAscii(const QByteArray &text)
{
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>')
            return false;
    }
    return true;
}

// Undoes the only references visibleName writes: &amp; &lt; &gt; &quot; and &#N;.
std::optional<QList<uint>> decodeText(const QByteArray &text)
{
    QList<uint> points;
    for (qsizetype at = 0; at < text.size();) {
        if (text[at] != '&') {
            points.append(uchar(text[at++]));
            continue;
        }
        const qsizetype end = text.indexOf(';', at);
        if (end < 0)
            return std::nullopt;
        const QByteArray entity = text.mid(at + 1, end - at - 1);
        at = end + 1;
        if (entity == "amp") points.append('&');
        else if (entity == "lt") points.append('<');
        else if (entity == "gt") points.append('>');
        else if (entity == "quot") points.append('"');
        else if (entity.startsWith('#') && entity.size() > 1) {
            bool ok = false;
            const uint point = entity.mid(1).toUInt(&ok, 10);
            if (!ok || point > 0x10FFFF)
                return std::nullopt;
            points.append(point);
        } else {
            return std::nullopt;
        }
    }
    return points;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // imageSource writes upper-case digits only
}

// Undoes what a browser undoes in a src attribute: &amp; first, then %XX.
std::optional<QByteArray> decodeSource(QByteArray source)
{
    for (qsizetype at = source.indexOf('&'); at >= 0; at = source.indexOf('&', at + 1)) {
        if (source.mid(at, 5) != "&amp;")
            return std::nullopt;
        source.remove(at + 1, 4);
    }
    QByteArray bytes;
    for (qsizetype at = 0; at < source.size(); ++at) {
        if (source[at] != '%') {
            bytes += source[at];
            continue;
        }
        if (at + 2 >= source.size())
            return std::nullopt;
        const int high = hexValue(source[at + 1]);
        const int low = hexValue(source[at + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += char(high * 16 + low);
        at += 2;
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray onDisk(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = QFile::decodeName(onDisk);
    if (!reachesAPage(name))
        return 0;

    const QByteArray visible = PageFormat::visibleName(name);
    REQUIRE(isPlainAscii(visible));
    const auto points = decodeText(visible);
    REQUIRE(points.has_value());
    // Every character comes back, but one that reorders text or shows as
    // nothing, which the page shows as its escape ("\u202e") instead.
    QList<uint> expected;
    for (const uint point : QStringView(name).toUcs4()) {
        if (!NativeName::hidesOrReorders(point)) {
            expected.append(point);
            continue;
        }
        for (const QChar c : QStringLiteral("\\u%1").arg(point, 4, 16, QLatin1Char('0')))
            expected.append(c.unicode());
    }
    REQUIRE(*points == expected);

    const QByteArray source = PageFormat::imageSource(name);
    REQUIRE(isPlainAscii(source));
    REQUIRE(!source.contains('\'') && !source.contains('\\') && !source.contains('#') && !source.contains('?'));
    const auto bytes = decodeSource(source);
    REQUIRE(bytes.has_value());
    REQUIRE(*bytes == onDisk);
    return 0;
}
