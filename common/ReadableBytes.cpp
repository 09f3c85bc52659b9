#include "ReadableBytes.h"

#include <array>

namespace {

void appendNumber(QByteArray &text, qint64 value)
{
    char digits[24];
    char *end = digits + sizeof digits, *at = end;
    quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    do {
        *--at = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--at = '-';
    text.append(at, end - at);
}

} // namespace

void appendReadableBytes(QByteArray &text, qint64 bytes)
{
    if (bytes < 1000) {
        appendNumber(text, bytes);
        text.append(bytes == 1 ? " byte" : " bytes");
        return;
    }
    static constexpr std::array units = {" kB", " MB", " GB", " TB", " PB", " EB"};
    // Rounded half up in whole numbers: exact, and quick enough for every
    // caption of a large album. One decimal below 10, none above; what would
    // round to 1000 is told in the next unit.
    std::size_t unit = 0;
    qint64 scale = 1000;
    for (;;) {
        const qint64 tenths = (bytes * 10 + scale / 2) / scale;
        if (tenths < 100) {
            appendNumber(text, tenths / 10);
            text.append('.');
            appendNumber(text, tenths % 10);
            text.append(units[unit]);
            return;
        }
        const qint64 whole = (bytes + scale / 2) / scale;
        if (whole < 1000 || unit + 1 == units.size()) {
            appendNumber(text, whole);
            text.append(units[unit]);
            return;
        }
        scale *= 1000;
        ++unit;
    }
}

QString readableBytes(qint64 bytes)
{
    QByteArray text;
    appendReadableBytes(text, bytes);
    return QString::fromLatin1(text);
}
