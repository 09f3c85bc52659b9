#include "CandidateRule.h"

namespace {

// A name with one of endings after at least one other character. The
// ending's dot is looked for first: a run asks this of every name, and most
// end in ".jpg".
bool endsWithOneOf(const QString &name, std::initializer_list<QLatin1StringView> endings)
{
    const qsizetype size = name.size();
    const bool dotted = (size > 4 && name.at(size - 4) == QLatin1Char('.')) || (size > 5 && name.at(size - 5) == QLatin1Char('.'));
    if (!dotted)
        return false;
    const char16_t last = name.at(size - 1).unicode() | 0x20; // endings are letters and digits: folded so
    for (const QLatin1StringView ending : endings) {
        if (size > ending.size() && last == char16_t(ending.back().unicode() | 0x20) && name.at(size - ending.size()) == QLatin1Char('.')
            && QStringView(name).right(ending.size()).compare(ending, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

bool isPhonePhotoName(const QString &name)
{
    return endsWithOneOf(name, {QLatin1StringView(".heic"), QLatin1StringView(".heif"), QLatin1StringView(".hif"),
                                QLatin1StringView(".avif")});
}

bool isClipName(const QString &name)
{
    return endsWithOneOf(name, {QLatin1StringView(".mp4"), QLatin1StringView(".m4v"), QLatin1StringView(".mov"),
                                QLatin1StringView(".webm"), QLatin1StringView(".mkv"), QLatin1StringView(".3gp")});
}

bool isCandidateName(const QString &name, Candidates which)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    // Looked at where it stands: a run asks this of every name in a folder.
    const QStringView ending = QStringView(name).right(3);
    if (ending.compare(QLatin1String("GIF"), Qt::CaseInsensitive) == 0
        || ending.compare(QLatin1String("JPG"), Qt::CaseInsensitive) == 0)
        return ending.size() == 3;
    return which == Candidates::Album && (isPhonePhotoName(name) || isClipName(name));
}
