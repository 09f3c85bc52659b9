#include "FolderListing.h"

#include "catalogue/CandidateRule.h"
#include "platform/FileLength.h"
#include "platform/FolderEnumeration.h"

#include <QDir>

FolderListing listPictures(const QString &folder, const std::atomic<bool> *cancel)
{
    FolderListing listing;
    FolderEnumeration entries(folder);
    if (!entries.error().isEmpty()) {
        listing.error = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(folder), entries.error());
        return listing;
    }
    const QDir dir(folder);
    while (const auto entry = entries.next()) {
        if (cancel && cancel->load())
            break;
        if (entry->isFolder || !isCandidateName(entry->name))
            continue;
        const FileLength length = fileLength(dir.filePath(entry->name));
        if (length.error.isEmpty())
            listing.pictures.append({entry->name, length.bytes});
    }
    return listing;
}
