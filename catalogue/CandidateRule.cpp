#include "CandidateRule.h"

bool isPhonePhotoName(const QString &name)
{
    for (const QLatin1StringView ending : {QLatin1StringView(".heic"), QLatin1StringView(".heif"),
                                           QLatin1StringView(".hif"), QLatin1StringView(".avif")}) {
        if (name.size() > ending.size() && name.endsWith(ending, Qt::CaseInsensitive))
            return true;
    }
    return false;
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
    return which == Candidates::Album && isPhonePhotoName(name);
}
