#pragma once

// The format readers behind readPictureHeader(); each starts with the
// cursor just past the format's signature, which the caller has checked.
#include "formats/HeaderCursor.h"
#include "formats/PictureHeader.h"

#include <QByteArray>

namespace HeaderFormats {

// The most segments, chunks or blocks read before the picture data: far more
// than any real file has, and few enough that a hostile file is done in
// milliseconds.
constexpr int maxSegments = 65536;

HeaderReading failure(const QString &reason);
HeaderReading incomplete(const HeaderCursor &cursor);
HeaderReading cancelled();
bool isCancelled(const std::atomic<bool> *cancel, int step);

/** Returns the orientation (1 to 8) that a TIFF structure's IFD0 gives, as browsers read it. */
int exifOrientation(const QByteArray &tiff);

HeaderReading readJpeg(HeaderCursor &cursor, const std::atomic<bool> *cancel);
HeaderReading readGif(HeaderCursor &cursor, const std::atomic<bool> *cancel);
HeaderReading readPng(HeaderCursor &cursor, const std::atomic<bool> *cancel);
HeaderReading readBmp(HeaderCursor &cursor);
HeaderReading readWebp(HeaderCursor &cursor);

} // namespace HeaderFormats
