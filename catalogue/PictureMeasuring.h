#pragma once

#include "catalogue/CandidateRule.h"
#include "formats/PictureMeasure.h"
#include "system/PictureFolder.h"

#include <QString>

#include <atomic>

/**
 * Returns the displayed pixel size of the GIF or JPEG picture called name in
 * folder, read from its header without decoding its pixels (see
 * measurePicture()), with the length and stamp of the same open file. Only
 * a regular file (or a link to one that folder may follow) is opened, never
 * blocking: a pipe, socket or device is refused with a reason that says
 * what it is. listedRegular says the listing already knows it is a plain
 * file. For the album (which), a HEIC, HEIF or AVIF photo is measured
 * too, whatever its name, as shown after its own rotation and crop. Safe to
 * call from any thread.
 */
Measurement measureIn(const PictureFolder &folder, const QString &name, bool listedRegular,
                      const std::atomic<bool> *cancel = nullptr, Candidates which = Candidates::Classic);

/** Returns the measure of the picture at path, as measureIn() gives it. */
Measurement measurePicture(const QString &path, const std::atomic<bool> *cancel = nullptr);
