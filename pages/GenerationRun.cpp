#include "GenerationRun.h"

#include "catalogue/GetGif.h"
#include "pages/GalleryRun.h"
#include "pages/WriteIndexPage.h"

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
    if (options.style == PageStyle::Gallery)
        return runGallery(folder, build, notices, cancel, options);
    for (qint64 page = 1;; ++page) {
        if (cancel && cancel->load())
            return RunOutcome::Cancelled;
        const PageWrite written = WriteIndexPage(build.catalogue, folder, page);
        if (!written.error.isEmpty()) {
            notices.failed(written.error);
            return RunOutcome::Failed;
        }
        if (!written.more)
            break;
    }
    notices.completed(build.skipped);
    return RunOutcome::Completed;
}
