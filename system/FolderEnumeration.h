#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class FolderHandle;

struct FolderEntry {
    QString name;          // bare name, no folder part
    bool isFolder = false; // sub-folders are listed too, so callers can skip them
    bool representable = true; // false when the name's bytes on disk are not valid text
    bool isRegular = false; // the listing itself says it is a plain file, not a link or anything else
    bool isLink = false;    // a symbolic link, to a folder when isFolder is set too
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
    enum class Order { ByName, AsListed };

    /**
     * Lists the open folder: its entries as they are now, whatever its path
     * has become. AsListed leaves them in the system's order, which costs no
     * sort, for callers that only look names up.
     */
    explicit FolderEnumeration(const FolderHandle &folder, Order order = Order::ByName);

    /** Returns an empty text when the folder could be listed, else the reason. */
    QString error() const { return m_error; }

    /** Returns how many entries it listed, those handed out included. */
    qsizetype count() const { return m_entries.size(); }

    /** Returns the next entry, or nothing after the last. */
    std::optional<FolderEntry> next();

private:
    void read(const FolderHandle &folder, Order order);

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

/** What a listing says of an entry before its name is made into text. */
struct RawEntryKind {
    bool isFolder = false;  // links to folders too
    bool isRegular = false; // a plain file, not a link or anything else
    bool isLink = false;
};

/**
 * Hands visit every entry of the open folder, its name as the system's
 * bytes, in the system's order; returns an empty text when the folder could
 * be listed whole, else the reason. For callers that keep names as bytes.
 */
QString walkEntries(const FolderHandle &folder, const std::function<void(QByteArrayView, RawEntryKind)> &visit);
