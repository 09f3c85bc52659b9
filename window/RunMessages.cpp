#include "RunMessages.h"

#include "system/NativeName.h"

namespace RunMessages {

namespace {
// Enough to see what went wrong; a box taller than the screen helps nobody.
constexpr qsizetype listedAtMost = 15;
} // namespace

QString completedText(const QList<SkippedFile> &skipped, const QString &olderPages, const QString &albums)
{
    QString text = QStringLiteral("Completed");
    if (!albums.isEmpty())
        text += QStringLiteral("\n\n") + albums;
    for (const QString &line : olderPages.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        text += QStringLiteral("\n\nOlder pages left as they were: %1").arg(NativeName::printable(line));
    if (skipped.isEmpty())
        return text;
    text += QStringLiteral("\n\nNot on the pages:");
    for (qsizetype i = 0; i < std::min(skipped.size(), listedAtMost); ++i)
        text += QStringLiteral("\n%1: %2").arg(NativeName::printable(skipped.at(i).name),
                                               NativeName::printable(skipped.at(i).reason));
    if (skipped.size() > listedAtMost)
        text += QStringLiteral("\n... and %1 more.").arg(skipped.size() - listedAtMost);
    return text;
}

} // namespace RunMessages
