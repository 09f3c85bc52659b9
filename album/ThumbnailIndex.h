#pragma once

#include "common/FileStamp.h"

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>

class FolderHandle;

/** What the thumbnail folder knows of one picture's thumbnail. */
struct ThumbnailRecord {
    FileStamp stamp;   // the picture as it was when its thumbnail was made
    QString thumbnail; // file name inside the thumbnail folder
    QSize size;        // the thumbnail's pixels

    bool operator==(const ThumbnailRecord &) const = default;
};

/**
 * The small index kept in the thumbnail folder, so a re-run makes thumbnails
 * only for pictures that are new or changed, and knows which thumbnails are
 * its own to remove. Keyed by picture file name.
 */
class ThumbnailIndex
{
public:
    static constexpr char fileName[] = "index.json";

    /**
     * Returns the index stored in the thumbnail folder for thumbnails of box
     * pixels; empty when there is none, it cannot be read, or it was made for
     * another box. A record whose thumbnail is not the name the program gives
     * that picture's thumbnail is dropped: the index can never lead a run to
     * remove any other file, and so is one whose key is not a name a run
     * would list as a picture. Records of an older index are kept to know the
     * thumbnails by, with no stamp, so their thumbnails are made again.
     */
    static ThumbnailIndex load(const FolderHandle &thumbnailFolder, int box);

    /** Returns the index as stored, for thumbnails of box pixels. */
    QByteArray serialized(int box) const;

    QHash<QString, ThumbnailRecord> records;
    bool known = false; // the file is an index this program wrote, for box
};
