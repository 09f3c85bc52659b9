#include "CandidateRule.h"

namespace {

// A name with one of endings after at least one other character.
bool endsWithOneOf(const QString &name, std::initializer_list<QLatin1StringView> endings)
{
    for (const QLatin1StringView ending : endings) {
        if (name.size() > ending.size() && name.endsWith(ending, Qt::CaseInsensitive))
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
