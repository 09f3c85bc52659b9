#pragma once

#include "album/GalleryPage.h"
#include "catalogue/GetGif.h"
#include "common/PageOptions.h"
#include "common/RunNotices.h"
#include "system/FolderNames.h"

#include <thread>

class FolderHandle;

/**
 * Writes the gallery pages of the open folder from build: an album in its
 * sub-folder vimbrel/ (thumbnails, HiDPI thumbnails, web-size copies and a
 * page for every picture, made again only for pictures that are new or
 * changed since the last gallery run), then index pages index1.htm,
 * index2.htm, ... of options.galleryPageSize cards each (sub-albums first,
 * then pictures in options.order). Then what no page shows any more goes:
 * the files of pictures gone, copies no longer shown, the album's own index
 * pages above its last; with Removal::Later they are handed back in the
 * outcome instead, for the caller to remove once the albums around this one
 * are written. A folder of the user's named as the album folder is left
 * alone: an album with pictures then fails with the reason. Pictures whose
 * images cannot be made join build.skipped; build.catalogue is taken (its
 * records become the pages' entries) and left empty. Runs on any thread and makes
 * images on all cores; cancel is checked between pictures and between pages.
 * A failure is reported through notices; a completed run is left to the
 * caller to report, with the pages written. In a tree of albums, place gives
 * the albums around it, for its breadcrumbs, and its sub-albums, shown first.
 */
/**
 * What an album's pages no longer show: removed once no page can lead to
 * them, after the pages of the albums around it are written too.
 */
struct Leftovers {
    QStringList small, large, web, pages; // in the album folder's own folders
    QStringList indexPages;               // gallery index pages above the album's last
};

struct GalleryOutcome {
    RunOutcome outcome = RunOutcome::Completed;
    Leftovers leftovers; // when completed and removal was Removal::Later
    qint64 pages = 0;    // index pages written, when completed
    qint64 pictures = 0; // pictures on them
    GalleryEntry first;  // the first of them, when there is one: the album's cover
};
/**
 * The listings of the album folders of folder, made on a thread of their own
 * from when it is made, before the pictures are measured: a pass over as
 * many names as there are pictures, while a core is idle. Lists nothing and
 * touches nothing when folder holds no album folder this program made.
 * folder must outlive it; it waits for its thread when destroyed.
 */
class AlbumListing
{
public:
    explicit AlbumListing(const FolderHandle &folder);

    /** Waits for the listings; returns false when there was no album of ours to list. */
    bool wait();

    FolderNames small, large, web, pages, root;

private:
    bool m_listed = false;
    std::jthread m_thread; // last: stopped and joined before the listings go
};

enum class Removal { Now, Later };
/** listed, when given, holds the album folders' listings, begun before the catalogue was built. */
GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options,
                          const GalleryPage::AlbumPlace &place = {}, Removal removal = Removal::Now,
                          AlbumListing *listed = nullptr);

/** Removes what leftovers names from the album of folder; what cannot go now, a later run removes. */
void removeLeftovers(const FolderHandle &folder, const Leftovers &leftovers);

/**
 * Returns true when the sub-folder name of folder is the album's own: the
 * album folder a run made, or an earlier version's thumbnail folder. Any
 * other folder, whatever its name, is the user's.
 */
bool isAlbumsOwnFolder(const FolderHandle &folder, const QString &name);
