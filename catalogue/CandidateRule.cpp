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
    const QString ending = name.right(3).toUpper();
    if (ending == QLatin1String("GIF") || ending == QLatin1String("JPG"))
        return true;
    return which == Candidates::Album && isPhonePhotoName(name);
}
