#include "AlbumTree.h"

#include "album/GalleryRun.h"
#include "album/NaturalOrder.h"
#include "catalogue/GetGif.h"
#include "classic/OlderPages.h"
#include "system/FolderEnumeration.h"
#include "system/FolderHandle.h"
#include "system/NativeName.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

using GalleryPage::AlbumPlace;
using GalleryPage::SubAlbum;

// Deeper than any real collection of pictures; a deeper tree is most likely
// made to exhaust the run, and is not followed.
constexpr int deepest = 64;

/**
 * The notices of one folder's run, passed on as the whole tree's: counts go
 * on from the folders before, names are given from the tree's top, and the
 * end of the run is told once, for the whole tree.
 */
class TreeNotices : public RunNotices
{
public:
    explicit TreeNotices(RunNotices &notices) : m_notices(notices) {}

    void startFolder(const QString &relative)
    {
        m_relative = relative;
        m_readBefore = m_read;
        m_madeBefore = m_made;
    }

    void read(qint64 count, const QString &path) override
    {
        m_read = m_readBefore + count;
        m_notices.read(m_read, path);
    }
    void thumbnailed(qint64 count) override
    {
        m_made = m_madeBefore + count;
        m_notices.thumbnailed(m_made);
    }
    void olderPagesLeft(const QString &pages) override
    {
        m_notices.olderPagesLeft(m_relative.isEmpty() ? pages : pages + QStringLiteral(" in ") + m_relative);
    }
    void completed(const QList<SkippedFile> &skipped) override
    {
        for (const SkippedFile &file : skipped)
            m_skipped.append({m_relative + file.name, file.reason});
    }
    void failed(const QString &message) override
    {
        m_failed = true;
        m_notices.failed(message);
    }

    /** A file or folder left out, named from the tree's top. */
    void skip(const QString &path, const QString &reason) { m_skipped.append({path, reason}); }
    bool hasFailed() const { return m_failed; }
    const QList<SkippedFile> &skipped() const { return m_skipped; }

private:
    RunNotices &m_notices;
    QString m_relative; // the folder now written, from the top, ending in "/"; empty for the top
    qint64 m_read = 0, m_readBefore = 0;
    qint64 m_made = 0, m_madeBefore = 0;
    QList<SkippedFile> m_skipped;
    bool m_failed = false;
};

/** What an album, at a path from the top, no longer shows. */
struct Pending {
    QStringList path; // the folder names from the top down to it
    Leftovers leftovers;
};

/** What a folder's album came to, for the album around it. */
struct Written {
    bool album = false;  // pages were written: it has pictures, or sub-albums that have
    qint64 pictures = 0; // inside it, its sub-albums' included
    QString coverFolder; // where its cover is, from it: empty for its own picture
    GalleryEntry cover;
    QList<Pending> pending; // its and its sub-albums' leftovers, while the albums around it are not yet written
};

struct Tree {
    TreeNotices notices;
    SettingsStore *settings = nullptr;
    const std::atomic<bool> *cancel = nullptr;
    const PageOptions &options;
    qint64 albums = 0;
    qint64 pictures = 0;
    bool cancelled = false;
    QStringList written{};         // the albums written so far, from the top: "Summer/Day 1"
    QSet<FolderIdentity> reached{}; // every folder the run has entered: one reached twice is a loop

    bool stopped() const { return cancelled || (cancel && cancel->load()); }
};

QString titleOf(const FolderHandle &folder)
{
    const QString name = QFileInfo(QDir(folder.path()).absolutePath()).fileName();
    return name.isEmpty() ? QDir::toNativeSeparators(folder.path()) : name;
}

// The sub-folders to descend into, in natural order: not hidden, not the
// album's own folders, not links (reported).
QStringList subFolders(Tree &tree, const FolderHandle &folder, const QString &relative, int depth)
{
    QStringList names;
    FolderEnumeration entries(folder, FolderEnumeration::Order::AsListed);
    while (auto entry = entries.next()) {
        const QString &name = entry->name;
        if (!entry->isFolder || name.startsWith(QLatin1Char('.')))
            continue;
        // Only the album's own folders by what they hold: a folder of the
        // user's called "vimbrel" or "thumbnails" is an album like any other.
        if (isAlbumsOwnFolder(folder, name))
            continue;
        if (entry->isLink)
            tree.notices.skip(relative + name, QStringLiteral("It is a link to a folder; links are not followed."));
        else if (!entry->representable)
            tree.notices.skip(relative + name, QStringLiteral("Its name is not valid text, so no page can refer to it."));
        else if (depth >= deepest)
            tree.notices.skip(relative + name, QStringLiteral("It is more than %1 folders deep; it is not followed.").arg(deepest));
        else
            names.append(name);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

Written writeAlbum(Tree &tree, const FolderHandle &folder, const QString &relative, const QStringList &enclosing, int depth);

QList<SubAlbum> writeSubAlbums(Tree &tree, const FolderHandle &folder, const QString &relative,
                               const QStringList &enclosing, int depth, QList<Pending> &pending)
{
    QList<SubAlbum> albums;
    for (const QString &name : subFolders(tree, folder, relative, depth)) {
        if (tree.stopped())
            break;
        const FolderHandle sub = folder.subFolder(name, false);
        if (!sub.isOpen()) {
            tree.notices.failed(QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(sub.path()), sub.error()));
            continue;
        }
        if (const auto identity = sub.identity(); identity && tree.reached.contains(*identity)) {
            tree.notices.skip(relative + name, QStringLiteral("It is a folder the run has already reached (a loop, through a "
                                                              "bind mount or the like); it is not followed again."));
            continue;
        }
        Written written = writeAlbum(tree, sub, relative + name + QLatin1Char('/'), enclosing, depth + 1);
        if (written.album)
            albums.append({name, written.pictures,
                           written.coverFolder.isEmpty() ? name : name + QLatin1Char('/') + written.coverFolder,
                           written.cover});
        pending += std::move(written.pending);
    }
    return albums;
}

// A folder's sub-albums first, then its own: the album around it shows
// what they hold, and where their covers are.
Written writeAlbum(Tree &tree, const FolderHandle &folder, const QString &relative, const QStringList &enclosing, int depth)
{
    if (tree.stopped())
        return {};
    if (const auto identity = folder.identity())
        tree.reached.insert(*identity);
    if (depth > 0) {
        if (const QString busy = folder.lockForRun(); !busy.isEmpty()) {
            tree.notices.failed(QStringLiteral("Cannot write the pages of %1: %2").arg(QDir::toNativeSeparators(folder.path()), busy));
            return {};
        }
    }
    const QString title = titleOf(folder);
    QList<Pending> pending;
    const QList<SubAlbum> subAlbums = writeSubAlbums(tree, folder, relative, enclosing + QStringList{title}, depth, pending);
    if (tree.stopped())
        return {};
    tree.notices.startFolder(relative);
    CatalogueBuild build = GetGif(folder, tree.notices, depth == 0 ? tree.settings : nullptr, tree.cancel, Candidates::Album);
    if (build.cancelled) {
        tree.cancelled = true;
        return {};
    }
    if (!build.error.isEmpty()) {
        tree.notices.failed(build.error);
        return {};
    }
    for (const QString &temporary : std::as_const(build.pageTemporaries))
        folder.removeFile(temporary);
    // What a sub-album no longer shows may still be shown by the old pages
    // of an album around it: its old cover, say. So nothing is removed until
    // the top's pages are written; a stopped or failed run leaves every page
    // with its images, and the next run clears what is left.
    const GalleryOutcome gallery = runGallery(folder, build, tree.notices, tree.cancel, tree.options,
                                              AlbumPlace{enclosing, subAlbums}, Removal::Later);
    tree.notices.completed(build.skipped);
    if (gallery.outcome == RunOutcome::Cancelled)
        tree.cancelled = true;
    if (gallery.outcome != RunOutcome::Completed)
        return {};
    if (gallery.pages == 0) { // no album any more: its own leftovers go with the rest
        pending.append({relative.split(QLatin1Char('/'), Qt::SkipEmptyParts), gallery.leftovers});
        return {false, 0, {}, {}, std::move(pending)};
    }
    if (const QString older = olderPagesSummary(build.existingPages, gallery.pages); !older.isEmpty())
        tree.notices.olderPagesLeft(older);
    ++tree.albums;
    tree.pictures += gallery.pictures;
    tree.written.append(relative.isEmpty() ? QStringLiteral(".") : relative.chopped(1));
    pending.append({relative.split(QLatin1Char('/'), Qt::SkipEmptyParts), gallery.leftovers});
    Written written{true, gallery.pictures, {}, gallery.first, std::move(pending)};
    for (const SubAlbum &album : subAlbums)
        written.pictures += album.pictures;
    if (gallery.pictures == 0 && !subAlbums.isEmpty()) {
        written.coverFolder = subAlbums.first().coverFolder;
        written.cover = subAlbums.first().cover;
    }
    return written;
}

// Once the top's pages are written no page leads to a leftover: each album
// is reached again from the top, by name, never through a link, and taken
// again while its files go; one another run has taken now is left for a
// later run to clear.
void removePending(const FolderHandle &root, const QList<Pending> &pending)
{
    for (const Pending &album : pending) {
        FolderHandle folder = root;
        for (const QString &name : album.path)
            folder = folder.subFolder(name, false);
        if (folder.isOpen() && folder.lockForRun().isEmpty())
            removeLeftovers(folder, album.leftovers);
    }
}

// A stopped or failed tree names the albums it did write: the pages of the
// others, the top's among them, are as they were.
QString unfinishedLine(const Tree &tree)
{
    if (tree.written.isEmpty() || tree.written.contains(QStringLiteral(".")))
        return {};
    QStringList shown = tree.written.mid(0, 5);
    for (QString &name : shown)
        name = NativeName::printable(name);
    return QStringLiteral("Albums written before the run ended: %1 (%2%3); the pages of the others, the top's among them, "
                          "are as they were.")
        .arg(tree.written.size()).arg(shown.join(QStringLiteral(", ")), tree.written.size() > 5 ? QStringLiteral(", …") : QString());
}

} // namespace

RunOutcome runAlbumTree(const FolderHandle &root, RunNotices &notices, SettingsStore *settings,
                        const std::atomic<bool> *cancel, const PageOptions &options)
{
    Tree tree{TreeNotices(notices), settings, cancel, options};
    const Written top = writeAlbum(tree, root, {}, {}, 0);
    if (tree.stopped() || tree.notices.hasFailed()) {
        if (const QString line = unfinishedLine(tree); !line.isEmpty())
            notices.albumsUnfinished(line);
    }
    if (tree.stopped())
        return RunOutcome::Cancelled;
    removePending(root, top.pending);
    if (tree.notices.hasFailed())
        return RunOutcome::Failed;
    notices.writingPages();
    if (tree.albums == 0)
        notices.noPictures();
    notices.albumsWritten(tree.albums, tree.pictures);
    notices.completed(tree.notices.skipped());
    return RunOutcome::Completed;
}
