#include "NaturalOrder.h"

namespace {

// Case is folded; a run of digits becomes "0", the count of its digits
// without leading zeros as one character, then those digits: more digits,
// a larger number, and equal lengths compare digit by digit. The run starts
// with a digit, so against any other character it sorts where a digit would.
constexpr char16_t numberMark = u'0';

} // namespace

QString naturalKey(const QString &name)
{
    QString key;
    key.reserve(name.size() + 4);
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size;) {
        if (!name.at(i).isDigit()) {
            key += name.at(i++).toCaseFolded();
            continue;
        }
        qsizetype start = i;
        while (i < size && name.at(i).isDigit())
            ++i;
        while (start + 1 < i && name.at(start) == QLatin1Char('0'))
            ++start; // 007 is 7
        key += QChar(numberMark);
        key += QChar(char16_t(std::min<qsizetype>(i - start, 0xFFFF)));
        key += QStringView(name).mid(start, i - start);
    }
    return key;
}

bool naturalLess(const QString &a, const QString &b)
{
    const int natural = naturalKey(a).compare(naturalKey(b));
    return natural != 0 ? natural < 0 : a < b;
}
