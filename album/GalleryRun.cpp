#include "GalleryRun.h"

#include "album/AlbumMaking.h"
#include "album/ClipImages.h"
#include "album/GalleryPage.h"
#include "album/LivePhotos.h"
#include "album/NaturalOrder.h"
#include "album/ThumbnailIndex.h"
#include "catalogue/CandidateRule.h"
#include "common/InPlaceOrder.h"
#include "common/OrderedWork.h"
#include "common/SortHead.h"
#include "classic/PageFormat.h"
#include "system/FolderEnumeration.h"
#include "system/FolderNames.h"
#include "system/NativeName.h"
#include "system/FolderHandle.h"
#include "system/PageOutput.h"
#include "system/PictureFolder.h"
#include "system/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <thread>
#include <utility>

namespace {

using namespace GalleryPage;

/** The album's folders, each opened once, relative to the picture folder. */
struct Album {
    FolderHandle root;
    AlbumFolders images;
    FolderHandle pages;
    QString error;
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
    FolderNames small, large, web, pages; // what each album folder held when the run began
};

GalleryOutcome outcomeOf(RunOutcome outcome)
{
    GalleryOutcome result;
    result.outcome = outcome;
    return result;
}

GalleryOutcome failed(RunNotices &notices, const QString &message)
{
    notices.failed(message);
    return outcomeOf(RunOutcome::Failed);
}

// A run killed while writing leaves "p1.jpg.jpg.Ab12Cd", "p1.jpg.htm.Ab12Cd"
// or "index.txt.Ab12Cd": a temporary of the album's, never anything else.
bool isTemporary(QByteArrayView name)
{
    const qsizetype dot = name.size() - PageBatch::temporarySuffixBytes;
    if (dot <= 0 || name.at(dot) != '.')
        return false; // most names, found without a regular expression
    static const QRegularExpression temporary(
        QStringLiteral(R"(^(.+\.(gif|jpg|heic|heif|hif|avif|mp4|m4v|mov|webm|mkv|3gp)\.(jpg|htm|mp4|webm)|[0-9a-f]{40}\.(jpg|htm|mp4|webm)|index\.txt)\.[A-Za-z0-9]{%1}$)")
            .arg(PageBatch::temporarySuffixBytes - 1),
        QRegularExpression::CaseInsensitiveOption);
    return temporary.match(NativeName::decode(name)).hasMatch();
}

// Lists an album folder and removes the temporaries a killed run left in it;
// one that cannot go now is cleared by a later run.
FolderNames listAndClear(const FolderHandle &folder)
{
    FolderNames names = FolderNames::list(folder, isTemporary);
    for (const QString &temporary : names.setAside())
        folder.removeFile(temporary);
    return names;
}

QByteArray startOf(const FolderHandle &folder, const QString &name, qint64 bytes)
{
    const OpenedPicture opened = openFileIn(folder, name);
    return opened.opened.file ? opened.opened.file->read(bytes) : QByteArray();
}

bool startsWith(const FolderHandle &folder, const QString &name, QByteArrayView start)
{
    return startOf(folder, name, start.size()) == start;
}

// An earlier version's thumbnails folder: its index says so.
bool isOldThumbnailFolder(const FolderHandle &folder)
{
    const FolderHandle old = folder.subFolder(oldThumbnailFolder, false);
    return old.isOpen() && startsWith(old, QString::fromLatin1(ThumbnailIndex::fileName), "{\"");
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
    if (!isOldThumbnailFolder(folder))
        return;
    const FolderHandle old = folder.subFolder(oldThumbnailFolder, false);
    const ThumbnailIndex index = ThumbnailIndex::load(old, PageOptions::defaultThumbnailSize);
    if (!index.known)
        return; // not an index of ours: nothing in that folder is
    for (const ThumbnailRecord &record : index.records)
        old.removeFile(record.thumbnail);
    listAndClear(old);
    if (old.removeFile(QString::fromLatin1(ThumbnailIndex::fileName)).isEmpty())
        folder.removeEmptyFolder(oldThumbnailFolder);
}

// Whether an image of size could have been made of a picture shown at
// shown, to fit in box: never empty, never larger than either, the same
// shape but for a pixel of rounding. An index that says otherwise is wrong,
// whoever wrote it, and the images are made again.
bool couldBe(QSize size, QSize shown, int box)
{
    const qint64 skew = qint64(size.width()) * shown.height() - qint64(size.height()) * shown.width();
    return size.width() >= 1 && size.height() >= 1 && size.width() <= std::min(box, shown.width() + 1)
        && size.height() <= std::min(box, shown.height() + 1) && std::abs(skew) <= std::max(shown.width(), shown.height());
}

// A photo no browser shows as it is always has a copy, the whole picture's
// when copies are not asked for; any other picture has one only when they are.
bool copyCouldBe(const Gallery &gallery, const AlbumRecord &known, QSize shown, bool converted)
{
    if (gallery.sizes.webSize > 0)
        return known.web.isValid() ? couldBe(known.web, shown, gallery.sizes.webSize) : !converted;
    return converted ? known.web == shown : !known.web.isValid();
}

const auto jpg = QLatin1StringView(".jpg");
const auto htm = QLatin1StringView(".htm");

// The suffix of a clip's copy of kind ("mp4", "webm"); empty for none.
QLatin1StringView copySuffixOf(const QString &kind)
{
    if (kind == QLatin1StringView("mp4"))
        return QLatin1StringView(".mp4");
    return kind == QLatin1StringView("webm") ? QLatin1StringView(".webm") : QLatin1StringView();
}

// Whether a picture's images (and a clip's copy) are all in the album's
// folders; when they are, they are marked there as shown, so that they stay.
bool filesAreThere(Gallery &gallery, const QString &name, bool copy, QLatin1StringView clipCopy)
{
    const QString stem = fileStem(name);
    const FolderNames::Key image = FolderNames::keyOf(stem, jpg); // the same name in each folder
    const qsizetype small = gallery.small.find(image), large = gallery.large.find(image), web = gallery.web.find(image);
    const qsizetype clip = clipCopy.isEmpty() ? -1 : gallery.web.find(stem, clipCopy);
    // A copy on disk that the record does not vouch for is made again too:
    // the page would show the original beside it.
    if (small < 0 || large < 0 || copy != (web >= 0) || (clip < 0) != clipCopy.isEmpty())
        return false;
    for (const auto &[listing, at] : {std::pair{&gallery.small, small}, {&gallery.large, large}, {&gallery.web, web}, {&gallery.web, clip}}) {
        if (at >= 0)
            listing->markAt(at);
    }
    return true;
}

// A clip's images and copy: made from the same clip, and all there.
bool clipIsUpToDate(Gallery &gallery, const QString &name, const AlbumRecord &known, QSize shown)
{
    const QString &copy = known.facts->clipCopy; // none: too costly to make, the original is offered
    return known.facts->clipMilliseconds >= 0 && known.web.isValid()
        && (known.web == shown || couldBe(known.web, shown, std::max(shown.width(), shown.height())))
        && (copy.isEmpty() || !copySuffixOf(copy).isEmpty()) && filesAreThere(gallery, name, true, copySuffixOf(copy));
}

bool isUpToDate(Gallery &gallery, const QString &name, const AlbumRecord &known, const FileStamp &stamp, QSize shown,
                bool converted)
{
    if (known.stamp == stamp && stamp != FileStamp{} && isClipName(name))
        return couldBe(known.small, shown, gallery.sizes.box) && couldBe(known.large, shown, 2 * gallery.sizes.box)
            && clipIsUpToDate(gallery, name, known, shown);
    if (known.stamp != stamp || stamp == FileStamp{} || !couldBe(known.small, shown, gallery.sizes.box)
        || !couldBe(known.large, shown, 2 * gallery.sizes.box) || !copyCouldBe(gallery, known, shown, converted))
        return false;
    return filesAreThere(gallery, name, known.web.isValid(), {});
}

GalleryEntry entryOf(const Class1 &record, const QSize &shown, const AlbumRecord &known)
{
    return {record.FileName, record.FileSize.toLongLong(), shown, known.small, known.large, known.web, known.facts, {}, {}, known.page};
}

// Each picture is looked up in the index and in the listings, which is
// mostly waiting on memory: the cores share the pictures, and their entries
// still come in catalogue order.
void plan(Gallery &gallery, const CatalogueBuild &build)
{
    struct Planned {
        GalleryEntry entry;
        bool upToDate = false;
    };
    const PictureCatalogue &catalogue = build.catalogue;
    const auto planOne = [&gallery, &build](qsizetype i) {
        const Class1 &record = build.catalogue.at(i);
        const QSize shown(record.imLargeur - 2 * holderBorder, record.imHauteur - 2 * holderBorder);
        const auto known = gallery.loaded.records.constFind(record.FileName);
        if (known != gallery.loaded.records.cend()
            && isUpToDate(gallery, record.FileName, *known, build.stamps.value(record.FileName), shown,
                          build.converted.contains(record.FileName)))
            return Planned{entryOf(record, shown, *known), true};
        return Planned{entryOf(record, shown, {}), false};
    };
    gallery.entries.reserve(catalogue.count());
    OrderedWork<Planned>::run(catalogue.count(), planOne, [&gallery](qsizetype, Planned &&planned) {
        if (!planned.upToDate)
            gallery.jobs.append({planned.entry.name});
        gallery.entries.append(std::move(planned.entry));
        return true;
    }, 1024);
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
        entry.pageDigest = 0;
        gallery.index.records.insert(entry.name, *it);
        // Made anew under the names they had: they stay.
        const QString stem = fileStem(entry.name);
        gallery.small.mark(stem, jpg);
        gallery.large.mark(stem, jpg);
        if (entry.web.isValid())
            gallery.web.mark(stem, jpg);
        if (const QLatin1StringView copy = copySuffixOf(entry.facts->clipCopy); !copy.isEmpty())
            gallery.web.mark(stem, copy);
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
        SortHead head; // the natural key's start, which orders most names alone
        qsizetype entry;
    };
    std::vector<Key> keys;
    keys.reserve(std::size_t(shown.size()));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const GalleryEntry &entry = shown.at(i);
        qint64 when = 0;
        if (order == PictureOrder::Date)
            when = entry.facts->taken.isValid() ? entry.facts->taken.toMSecsSinceEpoch()
                                               : stamps.value(entry.name).modifiedNs / 1000000;
        QString natural = naturalKey(entry.name);
        const SortHead head = sortHeadOf(natural, false);
        keys.push_back({when, std::move(natural), head, i});
    }
    std::sort(keys.begin(), keys.end(), [&shown](const Key &a, const Key &b) {
        if (a.when != b.when)
            return a.when < b.when;
        if (a.head != b.head)
            return a.head < b.head;
        const int natural = a.natural.compare(b.natural);
        return natural != 0 ? natural < 0 : shown.at(a.entry).name < shown.at(b.entry).name;
    });
    putInOrder(shown, qsizetype(keys.size()), [&keys](qsizetype at) { return keys[std::size_t(at)].entry; });
    return std::move(shown);
}

QString folderTitle(const QString &folder)
{
    const QString name = QFileInfo(QDir(folder).absolutePath()).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder) : name;
}

/** Pages staged in a batch, not yet in place: what came of it, for the caller to report. */
struct Staged {
    RunOutcome outcome = RunOutcome::Completed;
    QString error;                   // when failed: the reason, naming the file
    QHash<QString, quint64> written; // picture pages: each staged page's digest, by picture
    qint64 pages = 0;                // index pages: how many
    QHash<qint64, IndexPageRecord> indexPages; // index pages: each one's record, its stamp still to come for those staged
    QList<qint64> staged;            // index pages staged, by number
};

Staged stagingFailed(RunOutcome outcome, const QString &error = {})
{
    Staged staged;
    staged.outcome = outcome;
    staged.error = error;
    return staged;
}

// Every picture's page, staged only where what it shows changed: a digest of
// its inputs when last written stands in for making it and reading it back.
// Reports nothing itself, so that it may run beside the index pages.
Staged stagePicturePages(Gallery &gallery, PageBatch &batch, const QList<GalleryEntry> &shown, const QString &title,
                         int pageSize, const AlbumPlace &album, const std::atomic<bool> *cancel)
{
    Staged staged;
    // What each page shows of its neighbours is worked out once a picture, as the window moves on.
    QString beforeImage, image = shown.isEmpty() ? QString() : shownImage(shown.first());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (cancel && cancel->load())
            return stagingFailed(RunOutcome::Cancelled); // the batch removes its temporaries; no page is touched
        const GalleryEntry &entry = shown.at(i);
        const GalleryEntry *before = i > 0 ? &shown.at(i - 1) : nullptr;
        const GalleryEntry *after = i + 1 < shown.size() ? &shown.at(i + 1) : nullptr;
        QString afterImage = after ? shownImage(*after) : QString();
        const Place place{(album.subAlbums.size() + i) / pageSize + 1, before ? before->name : QString(),
                          after ? after->name : QString(), beforeImage, afterImage, album.enclosing};
        beforeImage = std::exchange(image, std::move(afterImage));
        const quint64 digest = picturePageKey(title, entry, place);
        // The page there is marked as shown, whether it stays or is written again.
        const qsizetype there = gallery.pages.find(fileStem(entry.name), htm);
        if (there >= 0)
            gallery.pages.markAt(there);
        if (entry.pageDigest == digest && there >= 0)
            continue;
        if (QString error = batch.stage(pageName(entry.name), picturePage(title, entry, place)); !error.isEmpty())
            return stagingFailed(RunOutcome::Failed, error);
        staged.written.insert(entry.name, digest);
    }
    return staged;
}

// Sub-albums and pictures are cards alike, the sub-albums first: a thousand
// sub-folders fill pages as a thousand pictures do. A page whose inputs are
// those it was last made from, and whose file is the one it then became,
// is left as it is: known gives them, when the album keeps them. Reports
// nothing itself.
Staged stageIndexPages(const FolderHandle &folder, PageBatch &batch, const QList<GalleryEntry> &shown, const QString &title, int pageSize,
                       const AlbumPlace &place, const std::atomic<bool> *cancel,
                       const QHash<qint64, IndexPageRecord> *known = nullptr)
{
    const qint64 albums = place.subAlbums.size();
    const qint64 pages = (albums + shown.size() + pageSize - 1) / pageSize;
    Staged staged;
    staged.pages = pages;
    for (qint64 page = 1; page <= pages; ++page) {
        if (cancel && cancel->load())
            return stagingFailed(RunOutcome::Cancelled); // the batch removes its temporaries; no page is touched
        const qint64 first = (page - 1) * pageSize;
        const AlbumPlace here{place.enclosing, place.subAlbums.mid(std::min(first, albums), pageSize)};
        const qint64 pictures = pageSize - here.subAlbums.size();
        const QList<GalleryEntry> cards = shown.mid(std::max<qint64>(first - albums, 0), pictures);
        const QString name = PageFormat::fileName(page);
        IndexPageRecord record{indexPageKey(title, cards, page, pages, here), {}};
        if (known) {
            const auto last = known->constFind(page);
            if (last != known->cend() && last->digest == record.digest && folder.stampOf(name) == last->stamp) {
                staged.indexPages.insert(page, *last);
                continue;
            }
        }
        if (QString error = batch.stage(name, GalleryPage::page(title, cards, page, pages, here)); !error.isEmpty())
            return stagingFailed(RunOutcome::Failed, error);
        staged.indexPages.insert(page, record);
        staged.staged.append(page);
    }
    return staged;
}

// Puts the staged index pages in place and tells what came of it.
GalleryOutcome commitIndexPages(PageBatch &batch, const Staged &staged, const QList<GalleryEntry> &shown, RunNotices &notices)
{
    if (staged.outcome == RunOutcome::Cancelled)
        return outcomeOf(RunOutcome::Cancelled);
    if (staged.outcome == RunOutcome::Failed) {
        batch.commit(); // the pages before the one refused are whole: put them in place
        notices.failed(staged.error);
        return outcomeOf(RunOutcome::Failed);
    }
    // Once they are all staged the pages are put in place whatever comes:
    // a chain half old and half new would lead a reader astray.
    if (QString error = batch.commit(); !error.isEmpty()) {
        notices.failed(error);
        return outcomeOf(RunOutcome::Failed);
    }
    GalleryOutcome done = outcomeOf(RunOutcome::Completed);
    done.pages = staged.pages;
    done.pictures = shown.size();
    if (!shown.isEmpty())
        done.first = shown.first();
    return done;
}

GalleryOutcome writeIndexPages(const FolderHandle &folder, const QList<GalleryEntry> &shown, const QString &title,
                               int pageSize, const AlbumPlace &place, RunNotices &notices, const std::atomic<bool> *cancel)
{
    PageBatch batch(folder);
    return commitIndexPages(batch, stageIndexPages(folder, batch, shown, title, pageSize, place, cancel), shown, notices);
}

// The picture pages and the index pages, each made on a core of its own (the
// one reads nothing of the other), then put in place in that order: an index
// page never leads to a picture page that is not there yet.
GalleryOutcome writePages(Gallery &gallery, const FolderHandle &folder, const QList<GalleryEntry> &shown, const QString &title,
                          int pageSize, const AlbumPlace &place, RunNotices &notices, const std::atomic<bool> *cancel)
{
    PageBatch picturePages(gallery.album.pages), indexPages(folder);
    Staged pictures, index;
    {
        std::jthread helper([&] { pictures = stagePicturePages(gallery, picturePages, shown, title, pageSize, place, cancel); });
        index = stageIndexPages(folder, indexPages, shown, title, pageSize, place, cancel, &gallery.index.indexPages);
    }
    if (pictures.outcome == RunOutcome::Cancelled)
        return outcomeOf(RunOutcome::Cancelled);
    if (pictures.outcome == RunOutcome::Failed)
        return failed(notices, pictures.error);
    if (QString error = picturePages.commit(); !error.isEmpty())
        return failed(notices, error);
    for (auto it = pictures.written.begin(); it != pictures.written.end(); ++it)
        gallery.index.records[it.key()].page = it.value();
    GalleryOutcome done = commitIndexPages(indexPages, index, shown, notices);
    if (done.outcome == RunOutcome::Completed) {
        // Each page written is known by the file it became; one that cannot be stamped is made again next time.
        for (const qint64 page : std::as_const(index.staged)) {
            if (const std::optional<FileStamp> stamp = folder.stampOf(PageFormat::fileName(page)))
                index.indexPages[page].stamp = *stamp;
            else
                index.indexPages.remove(page);
        }
        gallery.index.indexPages = std::move(index.indexPages);
    }
    return done;
}

// The stem of a name a run gives a picture's file (a picture's name, or a
// digest of a long one) before the suffix; empty for any other name, which
// is left in the album's folders.
QString albumFileStem(const QString &name, QLatin1StringView suffix)
{
    if (!name.endsWith(suffix))
        return {};
    QString stem = name.chopped(suffix.size());
    const bool digest = stem.size() == 40 && std::all_of(stem.cbegin(), stem.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
    return digest || isCandidateName(stem, Candidates::Album) ? stem : QString();
}

// What no page shows any more: files of the forms a run writes, in the
// album's own folders, that no shown picture has (a file of any other name
// is not the album's, and stays); the images, copies and pages of pictures
// gone, copies no longer shown, images of pictures whose images could not
// be made. A picture's files were marked in the listings as they were found
// whole or made, its page as it was written or kept; only the names left
// unmarked are made into text and looked at.
Leftovers leftoversOf(const Gallery &gallery)
{
    const auto unshown = [](const FolderNames &listing, std::initializer_list<QLatin1StringView> suffixes) {
        QStringList names;
        for (const QString &name : listing.unmarked()) {
            if (std::any_of(suffixes.begin(), suffixes.end(),
                            [&name](QLatin1StringView suffix) { return !albumFileStem(name, suffix).isEmpty(); }))
                names.append(name);
        }
        return names;
    };
    Leftovers leftovers;
    leftovers.small = unshown(gallery.small, {jpg});
    leftovers.large = unshown(gallery.large, {jpg});
    leftovers.web = unshown(gallery.web, {jpg, QLatin1StringView(".mp4"), QLatin1StringView(".webm")});
    leftovers.pages = unshown(gallery.pages, {htm});
    return leftovers;
}

// The album's own index pages above its new last page: a gallery page holds
// links to pictures and pages that may be gone, so it goes; any other page
// (the classic style's, the user's own) is left, and named as before.
QStringList deadIndexPages(const FolderHandle &folder, QList<qint64> &existing, qint64 written)
{
    QStringList dead;
    for (qsizetype i = existing.size() - 1; i >= 0; --i) {
        const QString name = PageFormat::fileName(existing.at(i));
        if (existing.at(i) > written && GalleryPage::isIndexPage(startOf(folder, name, GalleryPage::indexPageMark))) {
            dead.append(name);
            existing.removeAt(i);
        }
    }
    return dead;
}

QString saveIndex(const Gallery &gallery)
{
    if (gallery.index.records == gallery.loaded.records && gallery.index.indexPages == gallery.loaded.indexPages
        && !gallery.loaded.skipped)
        return {};
    return writeWholeFile(gallery.album.root, QString::fromLatin1(AlbumIndex::fileName), gallery.index.serialized(gallery.sizes));
}

GalleryOutcome finish(const FolderHandle &folder, GalleryOutcome &outcome, Removal removal)
{
    if (outcome.outcome != RunOutcome::Completed)
        return outcome;
    if (removal == Removal::Now) {
        removeLeftovers(folder, outcome.leftovers);
        outcome.leftovers = {};
        return outcome;
    }
    // The albums around this one show its thumbnails as its cover and link
    // to its first index page, never to its picture pages or copies: those
    // go now, the rest once the albums around it are written.
    Leftovers now;
    now.web = std::exchange(outcome.leftovers.web, {});
    now.pages = std::exchange(outcome.leftovers.pages, {});
    removeLeftovers(folder, now);
    return outcome;
}

// Makes what is new or changed; the images are flushed before the index
// vouches for them, and what was made before a stop is kept for the next run.
GalleryOutcome makeImages(Gallery &gallery, CatalogueBuild &build, RunNotices &notices, const std::atomic<bool> *cancel)
{
    // Each thread that makes images holds a picture, an image being written
    // and what the system needs to wait and wake; a picture reader loaded
    // takes a few more. Without them Qt gives up quietly or ends the program.
    const int handles = 4 * QThread::idealThreadCount() + 8;
    if (!gallery.jobs.isEmpty() && !haveSpareFileHandles(handles))
        return failed(notices, QStringLiteral("Cannot make the album's images in %1: The system has no file handle left "
                                              "for the work (it needs %2 open at once).")
                                   .arg(QDir::toNativeSeparators(gallery.album.root.path())).arg(handles));
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

namespace {

enum class AlbumFolderState { Missing, Ours, Users };

// Whether the album folder beside the index pages is one a run made: its
// index, or the folders a run makes in it, say so. A folder of the user's
// that happens to bear the name is theirs, and nothing is made in it.
AlbumFolderState albumFolderState(const FolderHandle &folder)
{
    const FolderHandle album = folder.subFolder(albumFolder, false);
    if (!album.isOpen())
        return folder.has(albumFolder) ? AlbumFolderState::Ours : AlbumFolderState::Missing; // a link or file: refused when opened
    if (startsWith(album, QString::fromLatin1(AlbumIndex::fileName), AlbumIndex::firstLineStart))
        return AlbumFolderState::Ours;
    for (const QString &own : {smallFolder, largeFolder, webFolder, pagesFolder}) {
        if (album.subFolder(own, false).isOpen())
            return AlbumFolderState::Ours;
    }
    FolderEnumeration entries(album, FolderEnumeration::Order::AsListed);
    return entries.next() ? AlbumFolderState::Users : AlbumFolderState::Ours; // an empty one is as good as ours
}

} // namespace

bool isAlbumsOwnFolder(const FolderHandle &folder, const QString &name)
{
    return (name == albumFolder && albumFolderState(folder) == AlbumFolderState::Ours)
        || (name == oldThumbnailFolder && isOldThumbnailFolder(folder));
}

void removeLeftovers(const FolderHandle &folder, const Leftovers &leftovers)
{
    // One that cannot go now is found again, and removed, by a later run.
    for (const QString &page : leftovers.indexPages)
        folder.removeFile(page);
    const FolderHandle root = folder.subFolder(albumFolder, false);
    const std::pair<const QString &, const QStringList &> inAlbum[] = {
        {smallFolder, leftovers.small}, {largeFolder, leftovers.large}, {webFolder, leftovers.web}, {pagesFolder, leftovers.pages}};
    for (const auto &[name, files] : inAlbum) {
        if (files.isEmpty())
            continue;
        const FolderHandle sub = root.subFolder(name, false);
        for (const QString &file : files)
            sub.removeFile(file);
    }
}

AlbumListing::AlbumListing(const FolderHandle &folder)
{
    // Beside the measuring only when file handles are plenty: with few, the
    // pictures need every one, and the album's folders are listed after.
    if (!haveSpareFileHandles(32))
        return;
    m_thread = std::jthread([this, &folder] {
        if (albumFolderState(folder) != AlbumFolderState::Ours)
            return; // a folder of the user's is never looked into here
        const FolderHandle root = folder.subFolder(albumFolder, false);
        const auto listOf = [&root](const QString &name) {
            const FolderHandle sub = root.subFolder(name, false);
            return sub.isOpen() ? FolderNames::list(sub, isTemporary) : FolderNames();
        };
        small = listOf(smallFolder);
        large = listOf(largeFolder);
        web = listOf(webFolder);
        pages = listOf(pagesFolder);
        this->root = FolderNames::list(root, isTemporary);
        m_listed = true;
    });
}

bool AlbumListing::wait()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_listed;
}

namespace {

// Takes what listed holds (its temporaries removed now), or lists the album's
// folders afresh while the index is read.
void listAndLoad(Gallery &gallery, CatalogueBuild &build, AlbumListing *listed)
{
    const auto load = [&gallery, &build] {
        gallery.loaded = AlbumIndex::load(gallery.album.root, gallery.sizes, [&build](const QString &name) {
            const auto held = build.stamps.constFind(name);
            return held == build.stamps.cend() ? QString() : held.key();
        }, build.catalogue.count());
    };
    if (listed && listed->wait()) {
        const std::pair<FolderNames *, const FolderHandle *> taken[] = {
            {&gallery.small, &gallery.album.images.small}, {&gallery.large, &gallery.album.images.large},
            {&gallery.web, &gallery.album.images.web}, {&gallery.pages, &gallery.album.pages}};
        FolderNames *from[] = {&listed->small, &listed->large, &listed->web, &listed->pages};
        for (std::size_t i = 0; i < std::size(taken); ++i) {
            *taken[i].first = std::move(*from[i]);
            for (const QString &temporary : taken[i].first->setAside())
                taken[i].second->removeFile(temporary); // one that cannot go now is cleared by a later run
        }
        for (const QString &temporary : listed->root.setAside())
            gallery.album.root.removeFile(temporary);
        load();
        return;
    }
    // The album's folders are listed while its index is read: each is a
    // pass over as many names as there are pictures, and neither needs the
    // other. The index is read here; the listings take the other core.
    std::jthread lister([&gallery] {
        gallery.small = listAndClear(gallery.album.images.small);
        gallery.large = listAndClear(gallery.album.images.large);
        gallery.web = listAndClear(gallery.album.images.web);
        gallery.pages = listAndClear(gallery.album.pages);
        listAndClear(gallery.album.root);
    });
    load();
}

} // namespace

GalleryOutcome runGallery(const FolderHandle &folder, CatalogueBuild &build, RunNotices &notices,
                          const std::atomic<bool> *cancel, const PageOptions &options, const GalleryPage::AlbumPlace &place,
                          Removal removal, AlbumListing *listed)
{
    const int pageSize = std::max(1, options.galleryPageSize);
    const AlbumFolderState state = albumFolderState(folder);
    if (state == AlbumFolderState::Users && !build.catalogue.isEmpty())
        return failed(notices, QStringLiteral("Cannot make the album of %1: the folder %2 in it is not one this program made, "
                                              "and the album keeps its images and pages under that name. Rename that folder "
                                              "and run again.").arg(QDir::toNativeSeparators(folder.path()), albumFolder));
    // No album folder is made for a folder without pictures; one that holds
    // sub-albums alone has its index pages, to show them.
    if (build.catalogue.isEmpty() && state != AlbumFolderState::Ours && !isOldThumbnailFolder(folder)) {
        GalleryOutcome written = writeIndexPages(folder, {}, folderTitle(folder.path()), pageSize, place, notices, cancel);
        if (written.outcome == RunOutcome::Completed)
            written.leftovers.indexPages = deadIndexPages(folder, build.existingPages, written.pages);
        return finish(folder, written, removal);
    }
    Gallery gallery(folder, options);
    gallery.album = openAlbum(folder);
    if (!gallery.album.error.isEmpty())
        return failed(notices, gallery.album.error);
    clearOldThumbnails(folder);
    listAndLoad(gallery, build, listed);
    gallery.index = gallery.loaded;
    plan(gallery, build);
    build.catalogue = {}; // its records are the entries now
    if (const GalleryOutcome made = makeImages(gallery, build, notices, cancel); made.outcome != RunOutcome::Completed)
        return made;

    // The entries become the pages' list where they are: they are not needed twice.
    gallery.entries.removeIf([](const GalleryEntry &entry) { return !entry.small.isValid(); });
    pairLivePhotos(gallery.entries);
    QList<GalleryEntry> shown = ordered(std::move(gallery.entries), options.order, build.stamps);
    const QString title = folderTitle(folder.path());
    GalleryOutcome written = writePages(gallery, folder, shown, title, pageSize, place, notices, cancel);
    if (written.outcome == RunOutcome::Completed) {
        written.leftovers = leftoversOf(gallery);
        written.leftovers.indexPages = deadIndexPages(folder, build.existingPages, written.pages);
    }
    if (const QString error = saveIndex(gallery); !error.isEmpty() && written.outcome == RunOutcome::Completed)
        return failed(notices, error);
    return finish(folder, written, removal);
}
