#pragma once

#include "common/FileStamp.h"
#include "system/FolderHandle.h"
#include "system/RegularFile.h"

#include <QString>

#include <memory>

/** A picture file open for reading, or why it is not. */
struct OpenedPicture {
    OpenedFile opened; // opened.file is null on failure, with the reason in opened.problem
    FileStamp stamp;   // from the open file itself
};

/**
 * A picture file open for reading at any offset: each read is one call to
 * the system, with no position shared between readers and no buffer.
 */
class PictureBytes
{
public:
    virtual ~PictureBytes() = default;

    /** Reads up to count bytes at offset into into; returns the bytes read, 0 at the end, -1 on failure. */
    virtual qint64 readAt(qint64 offset, char *into, qint64 count) = 0;
    /** Why the last read failed, in a user's words. */
    virtual QString errorString() const = 0;
};

/** A picture's bytes, open, or why they are not. */
struct OpenedBytes {
    std::unique_ptr<PictureBytes> bytes; // null on failure, with the reason in problem
    qint64 length = 0;                   // from the same open file
    FileStamp stamp;
    OpenProblem problem;
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

    /** Opens the picture called name for reads at any offset, as open() does. */
    OpenedBytes openBytes(const QString &name, bool listedRegular) const;

    const FolderHandle &handle() const { return m_folder; }

private:
    FolderHandle m_folder;
};
