#pragma once

#include "catalogue/Class1.h"

#include <QList>
#include <QString>

#include <atomic>

struct ListedPicture {
    QString name;
    qint64 length = 0; // bytes
};

struct FolderListing {
    QList<ListedPicture> pictures; // candidate files in name order
    QString error;                 // set when the folder cannot be listed
};

/**
 * Lists the candidate files of folder with their lengths, in name order.
 * Sub-folders are skipped, and so is an entry whose length cannot be read.
 * Opens no picture. Runs on any thread; stops early when cancel becomes true.
 */
FolderListing listPictures(const QString &folder, const std::atomic<bool> *cancel = nullptr);

/** Returns the number of pages that count pictures fill, ten to a page. */
constexpr qint64 pageEstimate(qint64 count)
{
    return count / picturesPerPage + (count % picturesPerPage != 0 ? 1 : 0);
}
