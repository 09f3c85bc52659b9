#include "NaturalOrder.h"

namespace {

// Compares the digit runs starting at a[i] and b[j] by value, moving i and j past them.
int compareNumbers(QStringView a, qsizetype &i, QStringView b, qsizetype &j)
{
    const auto skipZeros = [](QStringView s, qsizetype &at) {
        while (at < s.size() && s[at] == QLatin1Char('0') && at + 1 < s.size() && s[at + 1].isDigit())
            ++at;
    };
    skipZeros(a, i);
    skipZeros(b, j);
    const qsizetype startA = i, startB = j;
    while (i < a.size() && a[i].isDigit())
        ++i;
    while (j < b.size() && b[j].isDigit())
        ++j;
    if (i - startA != j - startB)
        return i - startA < j - startB ? -1 : 1; // fewer significant digits, smaller
    return a.mid(startA, i - startA).compare(b.mid(startB, j - startB));
}

int naturalCompare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            if (const int numbers = compareNumbers(a, i, b, j); numbers != 0)
                return numbers;
            continue;
        }
        const QChar x = a[i].toCaseFolded(), y = b[j].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return (i < a.size()) - (j < b.size());
}

} // namespace

bool naturalLess(const QString &a, const QString &b)
{
    const int natural = naturalCompare(a, b);
    return natural != 0 ? natural < 0 : a < b;
}
