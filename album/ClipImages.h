#pragma once

#include "album/AlbumImages.h"

/**
 * Makes the album's images of the clip name in pictures: its poster frame as
 * the copy's poster and both thumbnails, and the copy browsers play
 * (fileStem() with ".mp4" or ".webm", in the web folder), put as it is or
 * made anew as the clip's codecs ask. Each takes what it needs from budget
 * first. Facts give the clip's length and its copy's kind. A copy is written
 * whole or not at all; once stop becomes true, nothing more is written and
 * no temporary is left.
 */
ImagesMade makeClipImages(const PictureFolder &pictures, const QString &name, const AlbumFolders &folders,
                          const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop,
                          const std::function<void(qint64 done, qint64 length)> &progress = {});

/** Returns the file name of the copy of the clip pictureName that browsers play, of kind ("mp4", "webm"). */
QString clipCopyName(const QString &pictureName, const QString &kind);
