#pragma once

#include "album/SharedFacts.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

/** One picture as the album shows it. */
struct GalleryEntry {
    QString name;      // the picture's file name
    qint64 length = 0; // bytes
    QSize shown;       // the picture's own size, as browsers show it
    QSize small;       // its thumbnail's pixels
    QSize large;       // its HiDPI thumbnail's pixels
    QSize web;         // its copy's pixels; invalid when its page shows the picture itself
    SharedFacts facts;
    QString motion;     // a Live Photo's clip: the file beside the still, shown as one with it
    QString motionCopy; // that clip's copy browsers play ("mp4", "webm")
    quint64 pageDigest = 0; // its picture page's digest as last written (picturePageKey()); 0 when there is none
};

/**
 * The album's pages: HTML5 in UTF-8, light or dark as the reader's system
 * is. Index pages hold a grid of thumbnails that adapts to the window's width
 * with CSS alone, each linking to its picture's page, which lives with the
 * album's images in the one sub-folder the album adds.
 */
namespace GalleryPage {

/** The one sub-folder of the picture folder that holds everything the album adds but its index pages. */
inline const QString albumFolder = QStringLiteral("vimbrel");
/** Inside it: thumbnails, thumbnails twice the side, copies, picture pages. */
inline const QString smallFolder = QStringLiteral("small");
inline const QString largeFolder = QStringLiteral("large");
inline const QString webFolder = QStringLiteral("web");
inline const QString pagesFolder = QStringLiteral("pages");
/** Where earlier versions kept their thumbnails; a gallery run clears it. */
inline const QString oldThumbnailFolder = QStringLiteral("thumbnails");

/** A sub-album as its parent's first index page shows it. */
struct SubAlbum {
    QString name;        // the sub-folder's name
    qint64 pictures = 0; // pictures inside it, its own sub-albums' included
    QString coverFolder; // the album that holds its cover, from the parent: "Summer", or "Summer/Day 1"
    GalleryEntry cover;  // the picture whose thumbnail stands for it
};

/** Where an album stands in a tree of albums; nothing for an album alone. */
struct AlbumPlace {
    QStringList enclosing;     // the titles of the albums around it, outermost first
    QList<SubAlbum> subAlbums; // shown before its pictures on its first index page
};

/**
 * Returns index page number page of pages, titled folderName, showing
 * place.subAlbums, then entries; in a tree, with a breadcrumb up to the
 * outermost album.
 */
QByteArray page(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages,
                const AlbumPlace &place = {});

/**
 * Returns a digest of everything page() makes index page number page from,
 * and of its format's version: equal digests, equal pages. Costs a fraction
 * of making the page.
 */
quint64 indexPageKey(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages,
                     const AlbumPlace &place = {});

/**
 * Returns true when start, the first indexPageMark bytes of a file, is the
 * start of an index page that page() made, in this version or an earlier one.
 */
bool isIndexPage(QByteArrayView start);
constexpr qint64 indexPageMark = 16 * 1024;

/** Where a picture stands in the album: for its page's links. */
struct Place {
    qint64 indexPage = 0;  // the index page that shows it
    QString previous;      // the picture before it, or empty for the first
    QString next;          // the picture after it, or empty for the last
    QString previousImage; // what their pages show, from a picture page (shownImage())
    QString nextImage;
    QStringList enclosing; // the titles of the albums around its album, outermost first
};

/**
 * Returns a digest of everything picturePage() makes the page from, and of
 * its format's version: equal digests, equal pages. Costs a fraction of
 * making the page.
 */
quint64 picturePageKey(const QString &folderName, const GalleryEntry &entry, const Place &place);

/** Returns the path, from a picture page, of what it shows of entry: the copy, or the picture itself. */
QString shownImage(const GalleryEntry &entry);

/**
 * Returns the page of entry in the album titled folderName: the picture
 * fitted to the window, its name and caption, its facts, links to the pages
 * before and after it and to its index page, and a link to the original.
 * Plain links; a small script adds the arrow keys, Escape and swipes.
 */
QByteArray picturePage(const QString &folderName, const GalleryEntry &entry, const Place &place);

/**
 * Returns the links to the albums around an album, outermost first, each to
 * its first index page, as seen from a page up levels below the album's own
 * folder (0 for its index pages); empty for an album alone.
 */
QByteArray crumbs(const QStringList &enclosing, int up);

/** Returns the start of an album page, to its body: its title, extra head lines and its own style. */
QByteArray head(const QByteArray &title, const char *style, const QByteArray &extra = {});

/** Returns text escaped for HTML text and double-quoted attributes; controls shown as escapes. */
QByteArray escaped(const QString &text);

/** Returns path percent-encoded for an href or src: every byte a browser could misread. */
QByteArray link(const QString &path);

/** Appends path to text as link() encodes it. */
void appendLink(QByteArray &text, const QString &path);

} // namespace GalleryPage
