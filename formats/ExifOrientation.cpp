#include "HeaderFormats.h"

namespace HeaderFormats {

// An orientation counts only as a single SHORT of 1 to 8 in IFD0; anything
// else, or one in the thumbnail's IFD1, leaves the picture upright.
int exifOrientation(const QByteArray &tiff)
{
    if (tiff.size() < 8)
        return 1;
    const bool big = tiff.startsWith("MM");
    if (!big && !tiff.startsWith("II"))
        return 1;
    const auto u16 = [&](qsizetype at) -> quint32 {
        const auto b = [&](qsizetype i) { return quint32(static_cast<unsigned char>(tiff[at + i])); };
        return big ? (b(0) << 8) | b(1) : b(0) | (b(1) << 8);
    };
    const auto u32 = [&](qsizetype at) -> quint32 {
        return big ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16);
    };
    if (u16(2) != 42)
        return 1;
    const quint32 ifd = u32(4);
    if (ifd > quint32(tiff.size()) || tiff.size() - qsizetype(ifd) < 2)
        return 1;
    const quint32 entries = u16(ifd);
    for (quint32 i = 0; i < entries; ++i) {
        const qsizetype entry = qsizetype(ifd) + 2 + 12 * qsizetype(i);
        if (entry + 12 > tiff.size())
            break;
        if (u16(entry) != 0x0112)
            continue;
        const quint32 value = u16(entry + 8);
        if (u16(entry + 2) == 3 && u32(entry + 4) == 1 && value >= 1 && value <= 8)
            return int(value);
        return 1;
    }
    return 1;
}

} // namespace HeaderFormats
