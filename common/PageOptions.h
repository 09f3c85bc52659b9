#pragma once

#include "common/PageStyle.h"
#include "common/PictureOrder.h"

/** What a generation run writes besides the folder it reads: the page style and the gallery's sizes and order. */
struct PageOptions {
    static constexpr int defaultGalleryPageSize = 48; // thumbnails a gallery page holds
    static constexpr int defaultThumbnailSize = 256;  // a thumbnail fits in a square of this side
    static constexpr int defaultWebSize = 2048;       // a picture page's copy fits in a square of this side
    static constexpr int largestWebSize = 16384;

    PageStyle style = PageStyle::Classic;
    int galleryPageSize = defaultGalleryPageSize;
    int thumbnailSize = defaultThumbnailSize;
    int webSize = defaultWebSize; // 0: picture pages show the originals
    PictureOrder order = PictureOrder::Name;
    bool recursive = false; // the gallery: every folder below with pictures gets an album of its own
};
