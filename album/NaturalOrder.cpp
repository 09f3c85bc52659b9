#include "NaturalOrder.h"

#include <algorithm>

namespace {

// Case is folded; a run of digits becomes "0", the count of its digits
// without leading zeros as one character, then those digits: more digits,
// a larger number, and equal lengths compare digit by digit. The run starts
// with a digit, so against any other character it sorts where a digit would.
constexpr char16_t numberMark = u'0';

} // namespace

QString naturalKey(const QString &name)
{
    // Written into place: at most two more units a run of digits than the name.
    const qsizetype size = name.size();
    QString key(size + 2 * ((size + 1) / 2), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(key.data());
    const char16_t *in = QStringView(name).utf16();
    for (qsizetype i = 0; i < size;) {
        const char16_t c = in[i];
        if (c < 0x80 && (c < u'0' || c > u'9')) { // most names: ASCII, folded here
            *out++ = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
            ++i;
            continue;
        }
        if (!QChar(c).isDigit()) {
            *out++ = QChar(c).toCaseFolded().unicode();
            ++i;
            continue;
        }
        qsizetype start = i;
        while (i < size && QChar(in[i]).isDigit())
            ++i;
        while (start + 1 < i && in[start] == u'0')
            ++start; // 007 is 7
        *out++ = numberMark;
        *out++ = char16_t(std::min<qsizetype>(i - start, 0xFFFF));
        out = std::copy(in + start, in + i, out);
    }
    key.truncate(out - reinterpret_cast<const char16_t *>(key.constData()));
    return key;
}

bool naturalLess(const QString &a, const QString &b)
{
    const int natural = naturalKey(a).compare(naturalKey(b));
    return natural != 0 ? natural < 0 : a < b;
}
