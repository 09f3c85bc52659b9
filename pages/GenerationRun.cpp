#include "GenerationRun.h"

#include "catalogue/GetGif.h"
#include "pages/GalleryRun.h"
#include "pages/PageFormat.h"
#include "pages/WriteIndexPage.h"
#include "platform/PageOutput.h"

#include <algorithm>

namespace {

// Pages from an earlier, longer run, above the last one this run wrote.
QStringList olderPages(QList<qint64> existing, qint64 written)
{
    std::sort(existing.begin(), existing.end());
    QStringList older;
    for (const qint64 page : existing) {
        if (page > written)
            older.append(PageFormat::fileName(page));
    }
    return older;
}

// The end of a run that wrote pages: first what a user might not expect, then "Completed".
RunOutcome completed(const CatalogueBuild &build, qint64 pages, RunNotices &notices)
{
    if (pages == 0)
        notices.noPictures();
    if (const QStringList older = olderPages(build.existingPages, pages); !older.isEmpty())
        notices.olderPagesLeft(older);
    notices.completed(build.skipped);
    return RunOutcome::Completed;
}

} // namespace

RunOutcome runGeneration(const QString &folder, RunNotices &notices, SettingsStore *settings,
                         const std::atomic<bool> *cancel, const PageOptions &options)
{
    CatalogueBuild build = GetGif(folder, notices, settings, cancel);
    if (build.cancelled)
        return RunOutcome::Cancelled;
    if (!build.error.isEmpty()) {
        notices.failed(build.error);
        return RunOutcome::Failed;
    }
    notices.writingPages();
    if (options.style == PageStyle::Gallery) {
        const GalleryOutcome gallery = runGallery(folder, build, notices, cancel, options);
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
    if (const QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return RunOutcome::Failed;
    }
    return completed(build, page, notices);
}
