#include "ReadableBytes.h"

#include <array>

QString readableBytes(qint64 bytes)
{
    if (bytes < 1000)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    static constexpr std::array units = {"kB", "MB", "GB", "TB", "PB", "EB"};
    // Rounded half up in whole numbers: exact, and quick enough for every
    // caption of a large album. One decimal below 10, none above; what would
    // round to 1000 is told in the next unit.
    std::size_t unit = 0;
    qint64 scale = 1000;
    for (;;) {
        const qint64 tenths = (bytes * 10 + scale / 2) / scale;
        if (tenths < 100)
            return QStringLiteral("%1.%2 %3").arg(tenths / 10).arg(tenths % 10).arg(QLatin1String(units[unit]));
        const qint64 whole = (bytes + scale / 2) / scale;
        if (whole < 1000 || unit + 1 == units.size())
            return QStringLiteral("%1 %2").arg(whole).arg(QLatin1String(units[unit]));
        scale *= 1000;
        ++unit;
    }
}
