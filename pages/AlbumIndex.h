#pragma once

#include "pages/AlbumImages.h"
#include "platform/FileStamp.h"
#include "platform/PictureFacts.h"

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>

/** What the album knows of one picture: its images, what it says of itself, and its page as last written. */
struct AlbumRecord {
    FileStamp stamp;    // the picture as it was when its images were made
    QSize small, large; // the thumbnails' pixels
    QSize web;          // the copy's pixels; invalid when the picture page shows the original
    PictureFacts facts;
    quint64 page = 0;   // a digest of its picture page's bytes, as last written

    bool operator==(const AlbumRecord &) const = default;
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

    /**
     * Returns the index stored in the album folder; empty when there is none
     * or it cannot be read. Records made for other sizes are kept, to know
     * their files by, with no stamp: their images are made again.
     */
    static AlbumIndex load(const FolderHandle &albumFolder, const AlbumSizes &sizes);

    /** Returns the index as stored, for images of sizes. */
    QByteArray serialized(const AlbumSizes &sizes) const;

    QHash<QString, AlbumRecord> records;
};
