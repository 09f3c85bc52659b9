#pragma once

#include "platform/PageStyle.h"

/** What a generation run writes besides the folder it reads: the page style and the gallery's sizes. */
struct PageOptions {
    static constexpr int defaultGalleryPageSize = 48;  // thumbnails a gallery page holds
    static constexpr int defaultThumbnailSize = 256;   // a thumbnail fits in a square of this side

    PageStyle style = PageStyle::Classic;
    int galleryPageSize = defaultGalleryPageSize;
    int thumbnailSize = defaultThumbnailSize;
};
