#pragma once

#include "platform/FileStamp.h"
#include "platform/FolderHandle.h"
#include "platform/PictureMeasure.h"
#include "platform/RegularFile.h"

#include <QString>

/** A picture file open for reading, or why it is not. */
struct OpenedPicture {
    OpenedFile opened; // opened.file is null on failure, with the reason in opened.problem
    FileStamp stamp;   // from the open file itself
};

/**
 * Opens the regular file name in folder for reading, without blocking, and
 * through a link only as PictureFolder allows. listedRegular says the folder
 * listing already knows it is a plain file, which saves a look before opening.
 */
OpenedPicture openFileIn(const FolderHandle &folder, const QString &name, bool listedRegular = false);

/**
 * The pictures of a run's folder, each opened by name relative to the
 * folder's handle: the folder's path is looked up once, and its length never
 * matters. A picture reached through a symbolic link is followed only when
 * the link belongs to the user running the program or to the owner of the
 * file it leads to, so a link that someone else planted in a shared folder
 * cannot publish a file of the user's. May be used on several threads at once.
 */
class PictureFolder
{
public:
    explicit PictureFolder(const FolderHandle &folder);
    /** Opens the folder at path now, once. */
    explicit PictureFolder(const QString &folder);

    /**
     * Opens the picture called name, a regular file, without blocking.
     * listedRegular says the folder listing already knows it is a plain file,
     * which saves a look before opening.
     */
    OpenedPicture open(const QString &name, bool listedRegular) const;

    /** Measures the picture called name from its header, as measurePicture() does. */
    Measurement measure(const QString &name, bool listedRegular, const std::atomic<bool> *cancel) const;

    const FolderHandle &handle() const { return m_folder; }

private:
    FolderHandle m_folder;
};
