#include "GalleryRun.h"

#include "pages/GalleryPage.h"
#include "pages/PageFormat.h"
#include "pages/Thumbnail.h"
#include "pages/ThumbnailIndex.h"
#include "platform/PageOutput.h"
#include "platform/SubFolder.h"

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

struct Job {
    qsizetype entry = 0; // position in Gallery::entries
    QString picture;     // paths
    QString thumbnail;
    qint64 modified = 0;
};

struct Made {
    ThumbnailMade made;
    bool tried = false; // false when the run stopped before this picture
};

/** The run's working state: one value passed between its steps. */
struct Gallery {
    QString folder;
    QString thumbnails; // the thumbnail folder's path
    int box = 0;
    QList<GalleryEntry> entries; // catalogue order; an invalid size means no thumbnail (yet)
    QList<Job> jobs;
    ThumbnailIndex loaded;
    ThumbnailIndex index;
    QList<SkippedFile> *skipped = nullptr;
};

qint64 modifiedTime(const QString &path)
{
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
}

// Regular files only: a link planted at a thumbnail's name is never taken for the thumbnail.
QSet<QString> thumbnailFiles(const QString &thumbnails)
{
    const QStringList names = QDir(thumbnails).entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden);
    return QSet<QString>(names.begin(), names.end());
}

// A run killed while writing leaves "p1.jpg.jpg.Ab12Cd" or "index.json.Ab12Cd"
// behind: the temporary of a thumbnail or of the index, never anything else.
void removeLeftoverTemporaries(const QString &folder, const QString &thumbnails)
{
    static const QRegularExpression temporary(
        QStringLiteral(R"(^(.+\.(gif|jpg)\.jpg|[0-9a-f]{40}\.jpg|%1)\.[A-Za-z0-9]{%2}$)")
            .arg(QRegularExpression::escape(QLatin1String(ThumbnailIndex::fileName)))
            .arg(PageBatch::temporarySuffixBytes - 1),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : QDir(thumbnails).entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden)) {
        if (temporary.match(name).hasMatch())
            removeFromSubFolder(folder, GalleryPage::thumbnailFolder, name); // one left is cleared by the next run
    }
}

bool isUpToDate(const ThumbnailRecord *known, const GalleryEntry &entry, qint64 modified, const QSet<QString> &present)
{
    return known && known->length == entry.length && known->modified == modified
        && known->thumbnail == entry.thumbnail && known->size.isValid() && present.contains(entry.thumbnail);
}

void plan(Gallery &gallery, const PictureCatalogue &catalogue)
{
    const QDir folder(gallery.folder);
    const QDir thumbnails(gallery.thumbnails);
    const QSet<QString> present = thumbnailFiles(gallery.thumbnails);
    for (qint64 i = 0; i < catalogue.count(); ++i) {
        const Class1 &record = catalogue.at(i);
        GalleryEntry entry{record.FileName, record.FileSize.toLongLong(), thumbnailName(record.FileName), {}};
        const QString picture = folder.filePath(record.FileName);
        const qint64 modified = modifiedTime(picture);
        const auto known = gallery.loaded.records.constFind(record.FileName);
        if (isUpToDate(known == gallery.loaded.records.cend() ? nullptr : &*known, entry, modified, present))
            entry.size = known->size;
        else
            gallery.jobs.append({gallery.entries.size(), picture, thumbnails.filePath(entry.thumbnail), modified});
        gallery.entries.append(entry);
    }
}

// Takes one finished thumbnail into the entries and the index; returns the message when the run must stop.
QString take(Gallery &gallery, const Job &job, const ThumbnailMade &made)
{
    GalleryEntry &entry = gallery.entries[job.entry];
    if (made.error.isEmpty()) {
        entry.size = made.size;
        gallery.index.records.insert(entry.name, {entry.length, job.modified, entry.thumbnail, made.size});
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

Made makeOne(const Job &job, int box, std::atomic<bool> &stop, const std::atomic<bool> *cancel)
{
    if (stop.load() || (cancel && cancel->load()))
        return {};
    Made made{makeThumbnail(job.picture, job.thumbnail, box), true};
    if (made.made.fatal)
        stop.store(true);
    return made;
}

// One picture per task over a pool of all cores (QPromise keeps the core on
// Qt Core alone); results are taken in order on this thread, so the notices
// come from one thread only.
QList<QFuture<Made>> startThumbnails(QThreadPool &pool, const Gallery &gallery, std::atomic<bool> &stop,
                                     const std::atomic<bool> *cancel)
{
    QList<QFuture<Made>> futures;
    futures.reserve(gallery.jobs.size());
    for (const Job &job : gallery.jobs) {
        auto promise = std::make_shared<QPromise<Made>>();
        promise->start(); // before the wait: a future not yet started has no result to wait for
        futures.append(promise->future());
        pool.start([promise, job, box = gallery.box, &stop, cancel] {
            promise->addResult(makeOne(job, box, stop, cancel));
            promise->finish();
        });
    }
    return futures;
}

Making makeThumbnails(Gallery &gallery, RunNotices &notices, const std::atomic<bool> *cancel)
{
    std::atomic<bool> stop{false};
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    const QList<QFuture<Made>> futures = startThumbnails(pool, gallery, stop, cancel);
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
        if (!kept.contains(it->thumbnail)
            && !removeFromSubFolder(gallery.folder, GalleryPage::thumbnailFolder, it->thumbnail).isEmpty())
            gallery.index.records.insert(it.key(), it.value());
    }
}

QString saveIndex(const Gallery &gallery)
{
    if (gallery.index.records == gallery.loaded.records)
        return {};
    return writeWholeFileIn(gallery.folder, GalleryPage::thumbnailFolder, QString::fromLatin1(ThumbnailIndex::fileName),
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
    const QString title = folderTitle(gallery.folder);
    PageBatch batch(gallery.folder);
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
    if (QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return {RunOutcome::Failed};
    }
    return {RunOutcome::Completed, pages};
}

bool nothingToDo(const QString &thumbnails, const PictureCatalogue &catalogue)
{
    const QFileInfo folder(thumbnails);
    return catalogue.isEmpty() && !folder.exists() && !folder.isSymLink();
}

} // namespace

GalleryOutcome runGallery(const QString &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options)
{
    Gallery gallery;
    gallery.folder = folder;
    gallery.thumbnails = QDir(folder).filePath(GalleryPage::thumbnailFolder);
    gallery.box = std::max(1, options.thumbnailSize);
    gallery.skipped = &build.skipped;
    if (nothingToDo(gallery.thumbnails, build.catalogue))
        return {};
    if (QString error = makeSubFolder(folder, GalleryPage::thumbnailFolder); !error.isEmpty()) {
        notices.failed(error);
        return {RunOutcome::Failed};
    }
    removeLeftoverTemporaries(folder, gallery.thumbnails);
    gallery.loaded = ThumbnailIndex::load(gallery.thumbnails, gallery.box);
    gallery.index = gallery.loaded;
    plan(gallery, build.catalogue);
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
