#pragma once

#include <QStringView>

#include <algorithm>
#include <compare>

/**
 * The first sixteen UTF-16 units of a text as bytes, the first in the
 * highest place, so that two integer comparisons order most texts of a
 * folder before the texts themselves are looked at: names often share a
 * long start, and a hundred thousand are compared some two million times.
 * From the first unit outside ASCII on, every byte is 0xFF, so equal heads
 * say nothing and the texts decide; a text that ends early has zeros, as
 * the shorter text sorts first. When heads differ, they order the texts as
 * comparing them unit by unit does (ASCII capitals folded when asked).
 */
struct SortHead {
    quint64 high = 0;
    quint64 low = 0;

    auto operator<=>(const SortHead &) const = default;
};

inline SortHead sortHeadOf(QStringView text, bool foldAsciiCapitals)
{
    unsigned char bytes[16] = {};
    const qsizetype count = std::min<qsizetype>(16, text.size());
    for (qsizetype i = 0; i < count; ++i) {
        char16_t unit = text[i].unicode();
        if (unit >= 0x80) {
            std::fill(bytes + i, bytes + 16, 0xFF);
            break;
        }
        if (foldAsciiCapitals && unit >= u'A' && unit <= u'Z')
            unit = char16_t(unit + 32);
        bytes[i] = static_cast<unsigned char>(unit);
    }
    SortHead head;
    for (int i = 0; i < 8; ++i) {
        head.high = (head.high << 8) | bytes[i];
        head.low = (head.low << 8) | bytes[8 + i];
    }
    return head;
}
