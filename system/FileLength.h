#pragma once

#include <QString>

struct FileLength {
    qint64 bytes = 0;
    QString error; // empty when bytes holds the length
};

/** Returns the length in bytes of the file at path, or the reason it cannot be had. */
FileLength fileLength(const QString &path);

/**
 * Reads the lengths of the files of one folder, relative to the folder opened
 * once: a folder of a hundred thousand files is not walked from the root a
 * hundred thousand times, and each name goes to the system as the bytes it
 * was read as (NativeName). Any thread; length() may run on several at once.
 */
class FolderFileLengths
{
public:
    explicit FolderFileLengths(const QString &folder);
    ~FolderFileLengths();
    FolderFileLengths(const FolderFileLengths &) = delete;
    FolderFileLengths &operator=(const FolderFileLengths &) = delete;

    /** Returns the length in bytes of the file named name in the folder, or the reason it cannot be had. */
    FileLength length(const QString &name) const;

private:
    QString m_folder;
    int m_folderHandle = -1; // -1 where the folder could not be opened, or off Unix
};
