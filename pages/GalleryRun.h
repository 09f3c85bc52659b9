#pragma once

#include "catalogue/GetGif.h"
#include "pages/GenerationRun.h"
#include "pages/PageOptions.h"

class FolderHandle;

/**
 * Writes the gallery pages of the open folder from build: thumbnails made in the
 * sub-folder thumbnails/ for the pictures that are new or changed since the
 * last gallery run, thumbnails of pictures that are gone removed, then pages
 * index1.htm, index2.htm, ... of options.galleryPageSize thumbnails each.
 * Pictures whose thumbnail cannot be made join build.skipped. Runs on any
 * thread and makes thumbnails on all cores; cancel is checked between
 * pictures and between pages. A failure is reported through notices; a
 * completed run is left to the caller to report, with the pages written.
 */
struct GalleryOutcome {
    RunOutcome outcome = RunOutcome::Completed;
    qint64 pages = 0; // index pages written, when completed
};
GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options);
