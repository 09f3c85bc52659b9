#pragma once

#include <QByteArray>
#include <QHash>
#include <QSize>
#include <QString>

/** What the thumbnail folder knows of one picture's thumbnail. */
struct ThumbnailRecord {
    qint64 length = 0;   // the picture's bytes when its thumbnail was made
    qint64 modified = 0; // the picture's modification time then, ms since the epoch
    QString thumbnail;   // file name inside the thumbnail folder
    QSize size;          // the thumbnail's pixels

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
     * Returns the index stored in the folder thumbnailFolder for thumbnails
     * of box pixels; empty when there is none, it cannot be read, or it was
     * made for another box.
     */
    static ThumbnailIndex load(const QString &thumbnailFolder, int box);

    /** Returns the index as stored, for thumbnails of box pixels. */
    QByteArray serialized(int box) const;

    QHash<QString, ThumbnailRecord> records;
};
