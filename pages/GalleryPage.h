#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

/** One picture as a gallery page shows it. */
struct GalleryEntry {
    QString name;      // the picture's file name
    qint64 length = 0; // bytes
    QString thumbnail; // file name inside the thumbnail folder
    QSize size;        // the thumbnail's pixels
};

/**
 * The gallery page format: HTML5 in UTF-8, a grid of thumbnails that adapts
 * to the window's width with CSS alone, each linking to its picture.
 */
namespace GalleryPage {

/** The sub-folder of the picture folder that holds the thumbnails. */
inline const QString thumbnailFolder = QStringLiteral("thumbnails");

/** Returns page number page of pages, titled folderName, showing entries. */
QByteArray page(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages);

/** Returns text escaped for HTML text and double-quoted attributes; controls shown as escapes. */
QByteArray escaped(const QString &text);

} // namespace GalleryPage
