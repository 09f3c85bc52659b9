#pragma once

#include "album/GalleryPage.h"

#include <QList>

/** The longest clip taken for a Live Photo's motion; a longer one is a clip of its own. */
inline constexpr qint64 mostMotionMilliseconds = 3500;

/**
 * Makes each still and the short clip of the same name (in any case, but
 * for the ending) one entry: the still shown, its motion played on its
 * page. The clip is taken out of entries; the still keeps its place. A
 * clip without a copy browsers play, a longer one, or one with no still
 * beside it stays a clip of its own.
 */
void pairLivePhotos(QList<GalleryEntry> &entries);
