#include "FolderListing.h"

#include "catalogue/CandidateRule.h"
#include "common/OrderedWork.h"
#include "system/FileLength.h"
#include "system/FolderEnumeration.h"

#include <QDir>
#include <QElapsedTimer>

#include <utility>

namespace {

// A slow disk still shows the pictures found so far, not a count stuck at 0.
constexpr qint64 batchIntervalMs = 100;

} // namespace

FolderListing listPictures(const QString &folder, const std::atomic<bool> *cancel, Candidates which)
{
    FolderListing listing;
    listing.error = listPicturesInBatches(
        folder, [&listing](QList<ListedPicture> &&batch) { listing.pictures.append(std::move(batch)); }, cancel,
        listingBatchSize, which);
    return listing;
}

QString listPicturesInBatches(const QString &folder, const PictureBatchSink &sink, const std::atomic<bool> *cancel,
                              qsizetype batchSize, Candidates which)
{
    FolderEnumeration entries(folder);
    if (!entries.error().isEmpty())
        return QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(folder), entries.error());
    QList<QString> candidates;
    while (auto entry = entries.next()) {
        if (!entry->isFolder && isCandidateName(entry->name, which))
            candidates.append(std::move(entry->name));
    }
    const FolderFileLengths lengths(folder);
    QList<ListedPicture> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    // One stat a file, the cores sharing them; the batches keep name order.
    const auto measure = [&](qsizetype i) {
        return cancel && cancel->load() ? FileLength{} : lengths.length(candidates.at(i));
    };
    const auto take = [&](qsizetype i, FileLength &&length) {
        if (cancel && cancel->load())
            return false;
        if (length.error.isEmpty())
            batch.append({candidates.at(i), length.bytes});
        if (batch.size() >= batchSize || (!batch.isEmpty() && sinceBatch.elapsed() >= batchIntervalMs)) {
            sink(std::exchange(batch, {}));
            sinceBatch.restart();
        }
        return true;
    };
    OrderedWork<FileLength>::run(candidates.size(), measure, take);
    if (!batch.isEmpty())
        sink(std::move(batch));
    return {};
}
