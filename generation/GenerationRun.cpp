#include "GenerationRun.h"

#include "album/AlbumTree.h"
#include "album/GalleryRun.h"
#include "catalogue/GetGif.h"

#include <optional>
#include "classic/OlderPages.h"
#include "classic/PageFormat.h"
#include "classic/WriteIndexPage.h"
#include "system/FolderHandle.h"
#include "system/PageOutput.h"

#include <QDir>

#include <algorithm>

namespace {

// A killed run's page temporaries go; the lock says no live run is writing them.
void removePageTemporaries(const FolderHandle &folder, const QStringList &names)
{
    for (const QString &name : names)
        folder.removeFile(name); // one that cannot go now is tried again next time
}

// The end of a run that wrote pages: first what a user might not expect, then "Completed".
RunOutcome completed(const CatalogueBuild &build, qint64 pages, RunNotices &notices)
{
    if (pages == 0)
        notices.noPictures();
    if (const QString older = olderPagesSummary(build.existingPages, pages); !older.isEmpty())
        notices.olderPagesLeft(older);
    notices.completed(build.skipped);
    return RunOutcome::Completed;
}

} // namespace

RunOutcome runGeneration(const QString &path, RunNotices &notices, SettingsStore *settings,
                         const std::atomic<bool> *cancel, const PageOptions &options)
{
    // Opened once: every later read and write is relative to this, so the
    // folder moved or swapped mid-run cannot send a page anywhere else.
    const FolderHandle folder = FolderHandle::open(path);
    if (folder.isOpen()) {
        if (const QString busy = folder.lockForRun(); !busy.isEmpty()) {
            notices.failed(QStringLiteral("Cannot write the pages of %1: %2").arg(QDir::toNativeSeparators(path), busy));
            return RunOutcome::Failed;
        }
    }
    if (options.style == PageStyle::Gallery && options.recursive)
        return runAlbumTree(folder, notices, settings, cancel, options);
    // An album's own folders are listed while the pictures are listed and measured.
    std::optional<AlbumListing> albumListing;
    if (options.style == PageStyle::Gallery)
        albumListing.emplace(folder);
    CatalogueBuild build = GetGif(folder, notices, settings, cancel,
                                  options.style == PageStyle::Gallery ? Candidates::Album : Candidates::Classic);
    if (build.cancelled)
        return RunOutcome::Cancelled;
    if (!build.error.isEmpty()) {
        notices.failed(build.error);
        return RunOutcome::Failed;
    }
    removePageTemporaries(folder, build.pageTemporaries);
    notices.writingPages();
    if (options.style == PageStyle::Gallery) {
        const GalleryOutcome gallery = runGallery(folder, build, notices, cancel, options, {}, Removal::Now, &*albumListing);
        return gallery.outcome == RunOutcome::Completed ? completed(build, gallery.pages, notices) : gallery.outcome;
    }
    const bool anyPicture = !build.catalogue.isEmpty();
    PageBatch batch(folder);
    qint64 page = 0;
    for (bool more = anyPicture; more;) {
        if (cancel && cancel->load())
            return RunOutcome::Cancelled; // the batch removes its temporaries; no page is touched
        const PageWrite written = WriteIndexPage(build.catalogue, batch, ++page);
        if (!written.error.isEmpty()) {
            batch.commit(); // the pages before the one refused are whole: put them in place
            notices.failed(written.error);
            return RunOutcome::Failed;
        }
        more = written.more;
    }
    // Once every page is staged they are all put in place, a cancel
    // notwithstanding: renaming them takes moments, and a chain of pages half
    // old and half new would lead a reader astray.
    if (const QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return RunOutcome::Failed;
    }
    return completed(build, page, notices);
}
