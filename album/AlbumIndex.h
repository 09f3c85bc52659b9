#pragma once

#include "album/AlbumImages.h"
#include "common/FileStamp.h"
#include "album/SharedFacts.h"

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>

#include <functional>

/** What the album knows of one picture: its images, what it says of itself, and its page as last written. */
struct AlbumRecord {
    FileStamp stamp;    // the picture as it was when its images were made
    QSize small, large; // the thumbnails' pixels
    QSize web;          // the copy's pixels; invalid when the picture page shows the original
    SharedFacts facts;
    quint64 page = 0;   // a digest of its picture page's bytes, as last written

    bool operator==(const AlbumRecord &) const = default;
};

/** One of the album's index pages as last written: what it was made from, and the file it became. */
struct IndexPageRecord {
    quint64 digest = 0; // GalleryPage::indexPageKey() of what it shows
    FileStamp stamp;    // the page's file as it was once in place

    bool operator==(const IndexPageRecord &) const = default;
};

/**
 * The album's index in its folder, so a re-run remakes only what is new or
 * changed, and knows which files are its own to remove. Keyed by picture
 * file name; the files of a picture are named from its name alone
 * (thumbnailName(), pageName()), so the index can never lead a run to
 * remove any other file.
 */
class AlbumIndex
{
public:
    static constexpr char fileName[] = "index.txt";
    /** How its first line starts, whatever the format's version. */
    static constexpr char firstLineStart[] = "vimbrel album ";

    /**
     * Returns the index stored in the album folder, with the records of the
     * pictures the folder holds, read as the file is, so what it
     * costs follows the album's pictures, never the file's length; empty
     * when there is none, it cannot be read, or it is larger than an index
     * of a folder of that many pictures could be. Records made for other
     * sizes are kept with no stamp: their images are made again. held
     * gives the folder's own copy of a picture's name, or a null text for a
     * picture it does not hold: the records are keyed by the folder's copy,
     * so no name is held twice. held is called from several threads at once.
     */
    static AlbumIndex load(const FolderHandle &albumFolder, const AlbumSizes &sizes,
                           const std::function<QString(const QString &)> &held, qint64 pictures);

    /** Returns the index as stored, for images of sizes. */
    QByteArray serialized(const AlbumSizes &sizes) const;

    QHash<QString, AlbumRecord> records;
    QHash<qint64, IndexPageRecord> indexPages; // by page number
    bool skipped = false; // the file held lines that were left out: it is written anew
};
