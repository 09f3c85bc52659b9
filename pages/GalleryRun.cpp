#include "GalleryRun.h"

#include "pages/GalleryPage.h"
#include "pages/PageFormat.h"
#include "pages/Thumbnail.h"
#include "pages/ThumbnailIndex.h"
#include "platform/DecodeBudget.h"
#include "platform/FolderEnumeration.h"
#include "platform/FolderHandle.h"
#include "platform/PageOutput.h"
#include "platform/PictureFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThreadPool>
#include <QFuture>
#include <QPromise>
#include <QThread>

#include <memory>

namespace {

// What the thumbnails decoding at once may hold between them: a 24-megapixel
// progressive photograph takes 72 to 144 MB while it decodes, and a run stays
// well under 256 MB however many cores it has.
constexpr qint64 decodeBudgetBytes = 160 * 1024 * 1024;

struct Job {
    qsizetype entry = 0; // position in Gallery::entries
    QString picture;     // file name in the picture folder
};

struct Made {
    ThumbnailMade made;
    bool tried = false; // false when the run stopped before this picture
};

/** The run's working state: one value passed between its steps. */
struct Gallery {
    Gallery(const FolderHandle &folder, int box)
        : pictures(folder)
        , thumbnails(folder.subFolder(GalleryPage::thumbnailFolder, true))
        , box(std::max(1, box))
    {
    }

    PictureFolder pictures;
    FolderHandle thumbnails;
    int box = 0;
    QList<GalleryEntry> entries; // catalogue order; an invalid size means no thumbnail (yet)
    QList<Job> jobs;
    ThumbnailIndex loaded;
    ThumbnailIndex index;
    QList<SkippedFile> *skipped = nullptr;
};

struct ThumbnailListing {
    QSet<QString> files; // regular files only: a link at a thumbnail's name is never taken for it
    QStringList temporaries;
};

// A run killed while writing leaves "p1.jpg.jpg.Ab12Cd" or "index.json.Ab12Cd"
// behind: the temporary of a thumbnail or of the index, never anything else.
bool isTemporary(const QString &name)
{
    static const QRegularExpression temporary(
        QStringLiteral(R"(^(.+\.(gif|jpg)\.jpg|[0-9a-f]{40}\.jpg|%1)\.[A-Za-z0-9]{%2}$)")
            .arg(QRegularExpression::escape(QLatin1String(ThumbnailIndex::fileName)))
            .arg(PageBatch::temporarySuffixBytes - 1),
        QRegularExpression::CaseInsensitiveOption);
    return temporary.match(name).hasMatch();
}

ThumbnailListing listThumbnails(const FolderHandle &thumbnails)
{
    ThumbnailListing listing;
    FolderEnumeration entries(thumbnails);
    while (auto entry = entries.next()) {
        if (entry->isRegular)
            listing.files.insert(entry->name);
        if (!entry->isFolder && isTemporary(entry->name))
            listing.temporaries.append(entry->name);
    }
    return listing;
}

bool isUpToDate(const ThumbnailRecord *known, const GalleryEntry &entry, const FileStamp &stamp,
                const QSet<QString> &present)
{
    return known && known->stamp == stamp && known->thumbnail == entry.thumbnail && known->size.isValid()
        && present.contains(entry.thumbnail);
}

void plan(Gallery &gallery, const CatalogueBuild &build, const QSet<QString> &present)
{
    const PictureCatalogue &catalogue = build.catalogue;
    for (qint64 i = 0; i < catalogue.count(); ++i) {
        const Class1 &record = catalogue.at(i);
        GalleryEntry entry{record.FileName, record.FileSize.toLongLong(), thumbnailName(record.FileName), {}};
        const auto known = gallery.loaded.records.constFind(record.FileName);
        if (isUpToDate(known == gallery.loaded.records.cend() ? nullptr : &*known, entry,
                       build.stamps.value(record.FileName), present))
            entry.size = known->size;
        else
            gallery.jobs.append({gallery.entries.size(), record.FileName});
        gallery.entries.append(entry);
    }
}

// Takes one finished thumbnail into the entries and the index; returns the message when the run must stop.
QString take(Gallery &gallery, const Job &job, const ThumbnailMade &made)
{
    GalleryEntry &entry = gallery.entries[job.entry];
    if (made.error.isEmpty()) {
        entry.size = made.size;
        gallery.index.records.insert(entry.name, {made.stamp, entry.thumbnail, made.size});
        return {};
    }
    gallery.index.records.remove(entry.name);
    if (made.fatal)
        return made.error;
    gallery.skipped->append({entry.name, made.error});
    return {};
}

struct Making {
    QString failure;
    bool cancelled = false;
};

/** What the thumbnail tasks share; it outlives them all. */
struct Shared {
    Shared(const Gallery &gallery, const std::atomic<bool> *cancel) : gallery(gallery), cancel(cancel) {}

    const Gallery &gallery;
    DecodeBudget budget{decodeBudgetBytes};
    std::atomic<bool> stop{false}; // set by a failure or a cancel: the tasks left do nothing
    const std::atomic<bool> *cancel;
};

Made makeOne(const Job &job, Shared &shared)
{
    if (shared.cancel && shared.cancel->load())
        shared.stop.store(true);
    if (shared.stop.load())
        return {};
    const Gallery &gallery = shared.gallery;
    Made made{makeThumbnail(gallery.pictures, job.picture, gallery.thumbnails, gallery.box, shared.budget, &shared.stop),
              true};
    if (made.made.stopped)
        return {};
    if (made.made.fatal)
        shared.stop.store(true);
    return made;
}

// One picture per task over a pool of all cores (QPromise keeps the core on
// Qt Core alone); results are taken in order on this thread, so the notices
// come from one thread only.
QList<QFuture<Made>> startThumbnails(QThreadPool &pool, Shared &shared)
{
    QList<QFuture<Made>> futures;
    futures.reserve(shared.gallery.jobs.size());
    for (const Job &job : shared.gallery.jobs) {
        auto promise = std::make_shared<QPromise<Made>>();
        promise->start(); // before the wait: a future not yet started has no result to wait for
        futures.append(promise->future());
        pool.start([promise, job, &shared] {
            promise->addResult(makeOne(job, shared));
            promise->finish();
        });
    }
    return futures;
}

Making makeThumbnails(Gallery &gallery, RunNotices &notices, const std::atomic<bool> *cancel)
{
    Shared shared(gallery, cancel);
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    const QList<QFuture<Made>> futures = startThumbnails(pool, shared);
    qint64 ready = gallery.entries.size() - gallery.jobs.size();
    notices.thumbnailed(ready);
    Making making;
    for (qsizetype i = 0; i < futures.size(); ++i) {
        const Made made = futures.at(i).result();
        if (!made.tried) {
            making.cancelled = making.failure.isEmpty();
            continue;
        }
        if (QString failure = take(gallery, gallery.jobs.at(i), made.made); !failure.isEmpty() && making.failure.isEmpty())
            making.failure = failure;
        else if (made.made.error.isEmpty())
            notices.thumbnailed(++ready);
    }
    return making;
}

// Thumbnails the index knows of whose picture is no longer on the pages; only those are removed.
void removeOrphans(Gallery &gallery)
{
    QSet<QString> shown;
    QSet<QString> kept;
    for (const GalleryEntry &entry : std::as_const(gallery.entries)) {
        if (entry.size.isValid()) {
            shown.insert(entry.name);
            kept.insert(entry.thumbnail);
        }
    }
    const QHash<QString, ThumbnailRecord> &known = gallery.loaded.records;
    for (auto it = known.begin(); it != known.end(); ++it) {
        if (shown.contains(it.key()))
            continue;
        gallery.index.records.remove(it.key());
        // A thumbnail that cannot be removed now stays known, to be removed by a later run.
        if (!kept.contains(it->thumbnail) && !gallery.thumbnails.removeFile(it->thumbnail).isEmpty())
            gallery.index.records.insert(it.key(), it.value());
    }
}

QString saveIndex(const Gallery &gallery)
{
    if (gallery.index.records == gallery.loaded.records)
        return {};
    return writeWholeFile(gallery.thumbnails, QString::fromLatin1(ThumbnailIndex::fileName),
                          gallery.index.serialized(gallery.box));
}

QString folderTitle(const QString &folder)
{
    const QString name = QFileInfo(QDir(folder).absolutePath()).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder) : name;
}

GalleryOutcome writePages(const Gallery &gallery, int pageSize, RunNotices &notices, const std::atomic<bool> *cancel)
{
    QList<GalleryEntry> shown;
    for (const GalleryEntry &entry : gallery.entries) {
        if (entry.size.isValid())
            shown.append(entry);
    }
    const qint64 pages = (shown.size() + pageSize - 1) / pageSize;
    const FolderHandle &folder = gallery.pictures.handle();
    const QString title = folderTitle(folder.path());
    PageBatch batch(folder);
    for (qint64 page = 1; page <= pages; ++page) {
        if (cancel && cancel->load())
            return {RunOutcome::Cancelled}; // the batch removes its temporaries; no page is touched
        const QByteArray text = GalleryPage::page(title, shown.mid((page - 1) * pageSize, pageSize), page, pages);
        if (QString error = batch.stage(PageFormat::fileName(page), text); !error.isEmpty()) {
            batch.commit(); // the pages before the one refused are whole: put them in place
            notices.failed(error);
            return {RunOutcome::Failed};
        }
    }
    // Once they are all staged the pages are put in place whatever comes:
    // a chain half old and half new would lead a reader astray.
    if (QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return {RunOutcome::Failed};
    }
    return {RunOutcome::Completed, pages};
}

} // namespace

GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options)
{
    // No thumbnail folder is made for a folder without pictures.
    if (build.catalogue.isEmpty() && !folder.has(GalleryPage::thumbnailFolder))
        return {};
    Gallery gallery(folder, options.thumbnailSize);
    gallery.skipped = &build.skipped;
    if (!gallery.thumbnails.isOpen()) {
        notices.failed(QStringLiteral("Cannot make the folder %1: %2")
                           .arg(QDir::toNativeSeparators(gallery.thumbnails.path()), gallery.thumbnails.error()));
        return {RunOutcome::Failed};
    }
    const ThumbnailListing listing = listThumbnails(gallery.thumbnails);
    for (const QString &temporary : listing.temporaries)
        gallery.thumbnails.removeFile(temporary); // one left is cleared by the next run
    gallery.loaded = ThumbnailIndex::load(gallery.thumbnails, gallery.box);
    gallery.index = gallery.loaded;
    plan(gallery, build, listing.files);
    const Making making = makeThumbnails(gallery, notices, cancel);
    if (making.failure.isEmpty() && !making.cancelled)
        removeOrphans(gallery);
    // What was made before a stop is kept, so the next run need not make it again.
    const QString indexError = saveIndex(gallery);
    if (making.cancelled)
        return {RunOutcome::Cancelled};
    if (!making.failure.isEmpty() || !indexError.isEmpty()) {
        notices.failed(making.failure.isEmpty() ? indexError : making.failure);
        return {RunOutcome::Failed};
    }
    return writePages(gallery, std::max(1, options.galleryPageSize), notices, cancel);
}
