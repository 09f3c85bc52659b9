#pragma once

#include "catalogue/CandidateRule.h"
#include "catalogue/Class1.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

struct ListedPicture {
    QString name;
    qint64 length = 0; // bytes
};

struct FolderListing {
    QList<ListedPicture> pictures; // candidate files in name order
    QString error;                 // set when the folder cannot be listed
};

/** Takes the next pictures of a listing, in name order, on the listing's thread. */
using PictureBatchSink = std::function<void(QList<ListedPicture> &&batch)>;

/** How many pictures a batch holds at most, unless the caller says otherwise. */
inline constexpr qsizetype listingBatchSize = 2000;

/**
 * Lists the candidate files of folder (which says which) with their lengths, in name order.
 * Sub-folders are skipped, and so is an entry whose length cannot be read.
 * Opens no picture. Runs on any thread; stops early when cancel becomes true.
 */
FolderListing listPictures(const QString &folder, const std::atomic<bool> *cancel = nullptr,
                           Candidates which = Candidates::Classic);

/**
 * Lists folder as listPictures() does, handing the pictures to sink as it
 * goes: a batch once batchSize pictures are waiting, or once a tenth of a
 * second has passed with any waiting, and the rest at the end. Returns an
 * empty text, or why the folder cannot be listed (then sink is never called).
 */
QString listPicturesInBatches(const QString &folder, const PictureBatchSink &sink,
                              const std::atomic<bool> *cancel = nullptr, qsizetype batchSize = listingBatchSize,
                              Candidates which = Candidates::Classic);

/** Returns the number of pages that count pictures fill, ten to a page. */
constexpr qint64 pageEstimate(qint64 count)
{
    return count / picturesPerPage + (count % picturesPerPage != 0 ? 1 : 0);
}
