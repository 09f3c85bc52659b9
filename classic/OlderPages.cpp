#include "OlderPages.h"

#include "classic/PageFormat.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace {

// Enough of a list of pages to see which they are, on one line.
constexpr qsizetype piecesListed = 6;

// Pages from an earlier, longer run, above the last one this run wrote.
QList<qint64> olderPages(QList<qint64> existing, qint64 written)
{
    std::sort(existing.begin(), existing.end());
    existing.removeIf([written](qint64 page) { return page <= written; });
    return existing;
}

// "index4.htm, index5.htm, index12.htm", or for a longer list its runs of
// numbers and how many: "index626.htm … index3000.htm, 2,375 pages".
QString pageList(const QList<qint64> &pages)
{
    QStringList pieces;
    bool shortened = false;
    for (qsizetype i = 0; i < pages.size();) {
        qsizetype last = i;
        while (last + 1 < pages.size() && pages.at(last + 1) == pages.at(last) + 1)
            ++last;
        if (pieces.size() == piecesListed) {
            pieces.append(QStringLiteral("…"));
            shortened = true;
            break;
        }
        if (last - i >= 2) {
            pieces.append(PageFormat::fileName(pages.at(i)) + QStringLiteral(" … ") + PageFormat::fileName(pages.at(last)));
            shortened = true;
            i = last + 1;
        } else {
            pieces.append(PageFormat::fileName(pages.at(i++)));
        }
    }
    if (shortened)
        pieces.append(QStringLiteral("%1 pages").arg(QLocale(QLocale::English).toString(pages.size())));
    return pieces.join(QStringLiteral(", "));
}

} // namespace

QString olderPagesSummary(const QList<qint64> &existing, qint64 written)
{
    const QList<qint64> older = olderPages(existing, written);
    return older.isEmpty() ? QString() : pageList(older);
}
