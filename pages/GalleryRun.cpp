#include "GalleryRun.h"

#include "pages/AlbumMaking.h"
#include "pages/GalleryPage.h"
#include "pages/NaturalOrder.h"
#include "pages/PageFormat.h"
#include "pages/ThumbnailIndex.h"
#include "platform/FolderEnumeration.h"
#include "platform/FolderHandle.h"
#include "platform/PageOutput.h"
#include "platform/PictureFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

using namespace GalleryPage;

/** The album's folders, each opened once, relative to the picture folder. */
struct Album {
    FolderHandle root;
    AlbumFolders images;
    FolderHandle pages;
    QString error;
};

/** What each album folder holds now: its regular files, and the temporaries a killed run left. */
struct Listing {
    QSet<QString> files;
    QStringList temporaries;
};

/** The run's working state: one value passed between its steps. */
struct Gallery {
    Gallery(const FolderHandle &folder, const PageOptions &options)
        : pictures(folder), sizes{std::max(1, options.thumbnailSize), std::max(0, options.webSize)}
    {
    }

    PictureFolder pictures;
    AlbumSizes sizes;
    Album album;
    QList<GalleryEntry> entries; // catalogue order; an invalid small size means no images (yet)
    QList<AlbumJob> jobs;
    AlbumIndex loaded;
    AlbumIndex index;
    Listing small, large, web, pages; // what each album folder held when the run began
};

GalleryOutcome outcomeOf(RunOutcome outcome)
{
    GalleryOutcome result;
    result.outcome = outcome;
    return result;
}

// A run killed while writing leaves "p1.jpg.jpg.Ab12Cd", "p1.jpg.htm.Ab12Cd"
// or "index.txt.Ab12Cd": a temporary of the album's, never anything else.
bool isTemporary(const QString &name)
{
    const qsizetype dot = name.size() - PageBatch::temporarySuffixBytes;
    if (dot <= 0 || name.at(dot) != QLatin1Char('.'))
        return false; // most names, found without a regular expression
    static const QRegularExpression temporary(
        QStringLiteral(R"(^(.+\.(gif|jpg)\.(jpg|htm)|[0-9a-f]{40}\.(jpg|htm)|index\.txt)\.[A-Za-z0-9]{%1}$)")
            .arg(PageBatch::temporarySuffixBytes - 1),
        QRegularExpression::CaseInsensitiveOption);
    return temporary.match(name).hasMatch();
}

Listing listAndClear(const FolderHandle &folder)
{
    Listing listing;
    FolderEnumeration entries(folder, FolderEnumeration::Order::AsListed);
    listing.files.reserve(1024);
    while (auto entry = entries.next()) {
        if (entry->isRegular)
            listing.files.insert(entry->name);
        if (!entry->isFolder && isTemporary(entry->name))
            listing.temporaries.append(entry->name);
    }
    for (const QString &temporary : std::as_const(listing.temporaries))
        folder.removeFile(temporary); // one that cannot go now is cleared by a later run
    return listing;
}

Album openAlbum(const FolderHandle &folder)
{
    Album album;
    album.root = folder.subFolder(albumFolder, true);
    album.images = {album.root.subFolder(smallFolder, true), album.root.subFolder(largeFolder, true),
                    album.root.subFolder(webFolder, true)};
    album.pages = album.root.subFolder(pagesFolder, true);
    for (const FolderHandle *opened : {&album.root, &album.images.small, &album.images.large, &album.images.web, &album.pages}) {
        if (!opened->isOpen()) {
            album.error = QStringLiteral("Cannot make the folder %1: %2")
                              .arg(QDir::toNativeSeparators(opened->path()), opened->error());
            break;
        }
    }
    return album;
}

// Earlier versions kept 256-pixel thumbnails in thumbnails/; the album's are
// made anew with their HiDPI twins, so the old ones go: those its index names
// as the program named them, its index and its temporaries, then the folder if
// that leaves it empty. Nothing else in it is touched.
void clearOldThumbnails(const FolderHandle &folder)
{
    const FolderHandle old = folder.subFolder(oldThumbnailFolder, false);
    if (!old.isOpen() || !old.has(QString::fromLatin1(ThumbnailIndex::fileName)))
        return;
    const ThumbnailIndex index = ThumbnailIndex::load(old, PageOptions::defaultThumbnailSize);
    for (const ThumbnailRecord &record : index.records)
        old.removeFile(record.thumbnail);
    listAndClear(old);
    if (old.removeFile(QString::fromLatin1(ThumbnailIndex::fileName)).isEmpty())
        folder.removeEmptyFolder(oldThumbnailFolder);
}

bool isUpToDate(const Gallery &gallery, const QString &name, const AlbumRecord &known, const FileStamp &stamp)
{
    if (known.stamp != stamp || stamp == FileStamp{} || !known.small.isValid() || !known.large.isValid())
        return false;
    const QString file = thumbnailName(name);
    return gallery.small.files.contains(file) && gallery.large.files.contains(file)
        && (!known.web.isValid() || gallery.web.files.contains(file));
}

GalleryEntry entryOf(const Class1 &record, const QSize &shown, const AlbumRecord &known)
{
    return {record.FileName, record.FileSize.toLongLong(), shown, known.small, known.large, known.web, known.facts};
}

void plan(Gallery &gallery, const CatalogueBuild &build)
{
    const PictureCatalogue &catalogue = build.catalogue;
    for (qint64 i = 0; i < catalogue.count(); ++i) {
        const Class1 &record = catalogue.at(i);
        const QSize shown(record.imLargeur - 2 * holderBorder, record.imHauteur - 2 * holderBorder);
        const auto known = gallery.loaded.records.constFind(record.FileName);
        if (known != gallery.loaded.records.cend() && isUpToDate(gallery, record.FileName, *known, build.stamps.value(record.FileName))) {
            gallery.entries.append(entryOf(record, shown, *known));
        } else {
            gallery.entries.append(entryOf(record, shown, {}));
            gallery.jobs.append({record.FileName});
        }
    }
}

void take(Gallery &gallery, const AlbumMade &made, QList<SkippedFile> &skipped)
{
    for (GalleryEntry &entry : gallery.entries) {
        const auto it = made.records.constFind(entry.name);
        if (it == made.records.cend())
            continue;
        entry.small = it->small;
        entry.large = it->large;
        entry.web = it->web;
        entry.facts = it->facts;
        gallery.index.records.insert(entry.name, *it);
    }
    for (const SkippedFile &file : made.skipped)
        gallery.index.records.remove(file.name);
    skipped += made.skipped;
}

// In natural name order, or by date taken (else the file's modification
// time), ties by name. Keys are made once a picture and the entries moved
// once: a hundred thousand pictures sort in a blink.
QList<GalleryEntry> ordered(QList<GalleryEntry> &&shown, PictureOrder order, const QHash<QString, FileStamp> &stamps)
{
    struct Key {
        qint64 when;
        QString natural;
        qsizetype entry;
    };
    std::vector<Key> keys;
    keys.reserve(std::size_t(shown.size()));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const GalleryEntry &entry = shown.at(i);
        qint64 when = 0;
        if (order == PictureOrder::Date)
            when = entry.facts.taken.isValid() ? entry.facts.taken.toMSecsSinceEpoch()
                                               : stamps.value(entry.name).modifiedNs / 1000000;
        keys.push_back({when, naturalKey(entry.name), i});
    }
    std::sort(keys.begin(), keys.end(), [&shown](const Key &a, const Key &b) {
        if (a.when != b.when)
            return a.when < b.when;
        const int natural = a.natural.compare(b.natural);
        return natural != 0 ? natural < 0 : shown.at(a.entry).name < shown.at(b.entry).name;
    });
    QList<GalleryEntry> result;
    result.reserve(shown.size());
    for (const Key &key : keys)
        result.append(std::move(shown[key.entry]));
    return result;
}

QString folderTitle(const QString &folder)
{
    const QString name = QFileInfo(QDir(folder).absolutePath()).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder) : name;
}

// Every picture's page, written only where what it shows changed: a digest of
// its inputs when last written stands in for making it and reading it back.
GalleryOutcome writePicturePages(Gallery &gallery, const QList<GalleryEntry> &shown, const QString &title, int pageSize,
                                 const QStringList &enclosing, RunNotices &notices, const std::atomic<bool> *cancel)
{
    PageBatch batch(gallery.album.pages);
    QHash<QString, quint64> written;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (cancel && cancel->load())
            return outcomeOf(RunOutcome::Cancelled); // the batch removes its temporaries; no page is touched
        const GalleryEntry &entry = shown.at(i);
        const GalleryEntry *before = i > 0 ? &shown.at(i - 1) : nullptr;
        const GalleryEntry *after = i + 1 < shown.size() ? &shown.at(i + 1) : nullptr;
        const Place place{i / pageSize + 1, before ? before->name : QString(),
                          after ? after->name : QString(), before ? shownImage(*before) : QString(),
                          after ? shownImage(*after) : QString(), enclosing};
        const quint64 digest = picturePageKey(title, entry, place);
        const QString name = pageName(entry.name);
        const auto known = gallery.index.records.constFind(entry.name);
        if (known != gallery.index.records.cend() && known->page == digest && gallery.pages.files.contains(name))
            continue;
        if (QString error = batch.stage(name, picturePage(title, entry, place)); !error.isEmpty()) {
            notices.failed(error);
            return outcomeOf(RunOutcome::Failed);
        }
        written.insert(entry.name, digest);
    }
    if (QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return outcomeOf(RunOutcome::Failed);
    }
    for (auto it = written.begin(); it != written.end(); ++it)
        gallery.index.records[it.key()].page = it.value();
    return {};
}

GalleryOutcome writeIndexPages(const FolderHandle &folder, const QList<GalleryEntry> &shown, const QString &title,
                               int pageSize, const AlbumPlace &place, RunNotices &notices, const std::atomic<bool> *cancel)
{
    // An album of sub-albums alone still has its first page, to show them.
    const qint64 pages = std::max<qint64>((shown.size() + pageSize - 1) / pageSize, place.subAlbums.isEmpty() ? 0 : 1);
    PageBatch batch(folder);
    for (qint64 page = 1; page <= pages; ++page) {
        if (cancel && cancel->load())
            return outcomeOf(RunOutcome::Cancelled); // the batch removes its temporaries; no page is touched
        const QByteArray text = GalleryPage::page(title, shown.mid((page - 1) * pageSize, pageSize), page, pages, place);
        if (QString error = batch.stage(PageFormat::fileName(page), text); !error.isEmpty()) {
            batch.commit(); // the pages before the one refused are whole: put them in place
            notices.failed(error);
            return outcomeOf(RunOutcome::Failed);
        }
    }
    // Once they are all staged the pages are put in place whatever comes:
    // a chain half old and half new would lead a reader astray.
    if (QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return outcomeOf(RunOutcome::Failed);
    }
    GalleryOutcome done = outcomeOf(RunOutcome::Completed);
    done.pages = pages;
    done.pictures = shown.size();
    if (!shown.isEmpty())
        done.first = shown.first();
    return done;
}

// The files of pictures no longer in the album; a file that cannot go now
// stays known, to go in a later run.
void removeOrphans(Gallery &gallery, const QList<GalleryEntry> &shown)
{
    QSet<QString> kept;
    for (const GalleryEntry &entry : shown)
        kept.insert(entry.name);
    const Album &album = gallery.album;
    for (auto it = gallery.loaded.records.cbegin(); it != gallery.loaded.records.cend(); ++it) {
        if (kept.contains(it.key()))
            continue;
        const QString image = thumbnailName(it.key());
        bool gone = true;
        for (const FolderHandle *folder : {&album.images.small, &album.images.large, &album.images.web})
            gone = folder->removeFile(image).isEmpty() && gone;
        gone = album.pages.removeFile(pageName(it.key())).isEmpty() && gone;
        if (gone)
            gallery.index.records.remove(it.key());
    }
}

QString saveIndex(const Gallery &gallery)
{
    if (gallery.index.records == gallery.loaded.records)
        return {};
    return writeWholeFile(gallery.album.root, QString::fromLatin1(AlbumIndex::fileName), gallery.index.serialized(gallery.sizes));
}

GalleryOutcome failed(RunNotices &notices, const QString &message)
{
    notices.failed(message);
    return outcomeOf(RunOutcome::Failed);
}

// Makes what is new or changed; the images are flushed before the index
// vouches for them, and what was made before a stop is kept for the next run.
GalleryOutcome makeImages(Gallery &gallery, CatalogueBuild &build, RunNotices &notices, const std::atomic<bool> *cancel)
{
    const AlbumMade made = makeAlbum(gallery.pictures, gallery.album.images, gallery.sizes, gallery.jobs,
                                     gallery.entries.size() - gallery.jobs.size(), notices, cancel);
    take(gallery, made, build.skipped);
    if (!made.records.isEmpty()) {
        if (QString error = flushFileSystem(gallery.album.root); !error.isEmpty())
            return failed(notices, error);
    }
    if (!made.failure.isEmpty() || made.cancelled) {
        const QString indexError = saveIndex(gallery);
        if (made.cancelled)
            return outcomeOf(RunOutcome::Cancelled);
        return failed(notices, made.failure.isEmpty() ? indexError : made.failure);
    }
    return {};
}

} // namespace

GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options, const GalleryPage::AlbumPlace &place)
{
    // No album folder is made for a folder without pictures; one that holds
    // sub-albums alone has its index page, to show them.
    if (build.catalogue.isEmpty() && !folder.has(albumFolder) && !folder.has(oldThumbnailFolder)) {
        if (place.subAlbums.isEmpty())
            return {};
        return writeIndexPages(folder, {}, folderTitle(folder.path()), std::max(1, options.galleryPageSize), place, notices, cancel);
    }
    Gallery gallery(folder, options);
    gallery.album = openAlbum(folder);
    if (!gallery.album.error.isEmpty())
        return failed(notices, gallery.album.error);
    clearOldThumbnails(folder);
    gallery.small = listAndClear(gallery.album.images.small);
    gallery.large = listAndClear(gallery.album.images.large);
    gallery.web = listAndClear(gallery.album.images.web);
    gallery.pages = listAndClear(gallery.album.pages);
    listAndClear(gallery.album.root);
    gallery.loaded = AlbumIndex::load(gallery.album.root, gallery.sizes);
    gallery.index = gallery.loaded;
    plan(gallery, build);
    if (const GalleryOutcome made = makeImages(gallery, build, notices, cancel); made.outcome != RunOutcome::Completed)
        return made;

    QList<GalleryEntry> shown;
    for (const GalleryEntry &entry : std::as_const(gallery.entries)) {
        if (entry.small.isValid())
            shown.append(entry);
    }
    shown = ordered(std::move(shown), options.order, build.stamps);
    const QString title = folderTitle(folder.path());
    const int pageSize = std::max(1, options.galleryPageSize);
    if (const GalleryOutcome pages = writePicturePages(gallery, shown, title, pageSize, place.enclosing, notices, cancel);
        pages.outcome != RunOutcome::Completed) {
        saveIndex(gallery);
        return pages;
    }
    const GalleryOutcome written = writeIndexPages(folder, shown, title, pageSize, place, notices, cancel);
    if (written.outcome == RunOutcome::Completed)
        removeOrphans(gallery, shown);
    if (const QString error = saveIndex(gallery); !error.isEmpty() && written.outcome == RunOutcome::Completed)
        return failed(notices, error);
    return written;
}
