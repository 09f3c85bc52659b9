#pragma once

#include "catalogue/GetGif.h"
#include "pages/GalleryPage.h"
#include "pages/GenerationRun.h"
#include "pages/PageOptions.h"

class FolderHandle;

/**
 * Writes the gallery pages of the open folder from build: an album in its
 * sub-folder vimbrel/ (thumbnails, HiDPI thumbnails, web-size copies and a
 * page for every picture, made again only for pictures that are new or
 * changed since the last gallery run, and removed for pictures that are
 * gone), then index pages index1.htm, index2.htm, ... of
 * options.galleryPageSize thumbnails each, in options.order. Pictures whose
 * images cannot be made join build.skipped. Runs on any thread and makes
 * images on all cores; cancel is checked between pictures and between pages.
 * A failure is reported through notices; a completed run is left to the
 * caller to report, with the pages written. In a tree of albums, place gives
 * the albums around it, for its breadcrumbs, and its sub-albums, shown first.
 */
struct GalleryOutcome {
    RunOutcome outcome = RunOutcome::Completed;
    qint64 pages = 0;    // index pages written, when completed
    qint64 pictures = 0; // pictures on them
    GalleryEntry first;  // the first of them, when there is one: the album's cover
};
GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options,
                          const GalleryPage::AlbumPlace &place = {});
