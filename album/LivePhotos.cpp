#include "LivePhotos.h"

#include "catalogue/CandidateRule.h"

#include <QHash>

#include <algorithm>

namespace {

// "IMG_0001.HEIC" and "img_0001.mov" share "img_0001".
QString baseName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? name.first(dot) : name).toCaseFolded();
}

bool isMotion(const GalleryEntry &entry)
{
    return entry.facts->clipMilliseconds >= 0 && entry.facts->clipMilliseconds <= mostMotionMilliseconds
        && !entry.facts->clipCopy.isEmpty() && isClipName(entry.name);
}

} // namespace

void pairLivePhotos(QList<GalleryEntry> &entries)
{
    // Most albums have no clip short enough: a hundred thousand pictures are not hashed for none.
    if (std::none_of(entries.cbegin(), entries.cend(), isMotion))
        return;
    QHash<QString, qsizetype> stills; // the first still of each base name
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString base = baseName(entries.at(i).name);
        if (entries.at(i).facts->clipMilliseconds < 0 && !stills.contains(base))
            stills.insert(base, i);
    }
    if (stills.isEmpty())
        return;
    QList<bool> paired(entries.size(), false);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const GalleryEntry &clip = entries.at(i);
        if (!isMotion(clip))
            continue;
        const auto still = stills.constFind(baseName(clip.name));
        if (still == stills.cend() || !entries.at(*still).motion.isEmpty())
            continue;
        entries[*still].motion = clip.name;
        entries[*still].motionCopy = clip.facts->clipCopy;
        paired[i] = true;
    }
    qsizetype at = 0;
    entries.removeIf([&paired, &at](const GalleryEntry &) { return paired.at(at++); });
}
