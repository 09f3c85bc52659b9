#include "CandidateRule.h"

bool isCandidateName(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString ending = name.right(3).toUpper();
    return ending == QLatin1String("GIF") || ending == QLatin1String("JPG");
}
