#pragma once

#include <QList>
#include <QString>

#include <optional>

class FolderHandle;

struct FolderEntry {
    QString name;          // bare name, no folder part
    bool isFolder = false; // sub-folders are listed too, so callers can skip them
    bool representable = true; // false when the name's bytes on disk are not valid text
    bool isRegular = false; // the listing itself says it is a plain file, not a link or anything else
};

/**
 * One enumeration of one folder's entries, in name order compared without
 * regard to case (ties by the exact name). Each enumeration owns its own
 * cursor: two listings never disturb each other.
 */
class FolderEnumeration
{
public:
    explicit FolderEnumeration(const QString &folder);
    /** Lists the open folder: its entries as they are now, whatever its path has become. */
    explicit FolderEnumeration(const FolderHandle &folder);

    /** Returns an empty text when the folder could be listed, else the reason. */
    QString error() const { return m_error; }

    /** Returns the next entry, or nothing after the last. */
    std::optional<FolderEntry> next();

private:
    void readSorted(const FolderHandle &folder);

    QList<FolderEntry> m_entries;
    qsizetype m_next = 0;
    QString m_error;
};

/**
 * Returns the names of the sub-folders of folder (links to folders too),
 * hidden ones left out, in name order compared without regard to case.
 * Only those names are made into text: a folder of a hundred thousand
 * pictures costs one pass over its listing. Nothing when it cannot be read.
 */
QStringList subFolderNames(const QString &folder);

/** Returns why folder cannot be listed, or an empty text when it can. */
QString folderProblem(const QString &folder);
