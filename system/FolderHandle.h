#pragma once

#include "common/FileStamp.h"

#include <QHashFunctions>
#include <QString>

#include <memory>
#include <optional>

/** Which folder an open folder is, whatever the path that reached it: the same folder reached twice has one. */
struct FolderIdentity {
    quint64 device = 0;
    quint64 node = 0;
    bool operator==(const FolderIdentity &) const = default;
};

inline size_t qHash(const FolderIdentity &identity, size_t seed = 0)
{
    return qHashMulti(seed, identity.device, identity.node);
}

/**
 * One folder opened once. Everything a run reads, writes, renames or removes
 * in it is named relative to this handle, never again by path, so the folder
 * moved, renamed or swapped for a link mid-run cannot redirect a single
 * write: the run goes on in the folder it opened, wherever that now is.
 * Copies share the one open folder; safe to use from several threads.
 */
class FolderHandle
{
public:
    FolderHandle() = default; // not open

    /** Opens the folder at path; links in the path are followed, as the user named it. */
    static FolderHandle open(const QString &path);

    /**
     * Opens the sub-folder name of this folder, never through a link; when
     * create is set, makes it first if it is missing. A link or anything
     * else that is not a folder at that name is refused with a reason.
     */
    FolderHandle subFolder(const QString &name, bool create) const;

    bool isOpen() const { return bool(m_descriptor); }

    /** Why the folder is not open, in a user's words; empty when it is. */
    QString error() const { return m_error; }

    /** The path the folder had when opened: for messages only, never to reach it again. */
    QString path() const { return m_path; }

    /** Returns path() joined with name, in the platform's separators: for messages only. */
    QString displayPath(const QString &name) const;

    /** Returns which folder this is (on Unix; nothing elsewhere or when not open). */
    std::optional<FolderIdentity> identity() const;

    /** The open folder's descriptor on Unix; -1 elsewhere or when not open. */
    int descriptor() const;

    /** Returns true when something called name is in this folder; a link counts, never followed. */
    bool has(const QString &name) const;

    /** Returns what the system says now of the regular file name in this folder; nothing for a link or anything else. */
    std::optional<FileStamp> stampOf(const QString &name) const;

    /**
     * Removes the file name from this folder: a link of that name itself,
     * never its target; a folder is refused. Returns an empty text when it is
     * gone (or was already), else a message naming the file and the reason.
     */
    QString removeFile(const QString &name) const;

    /** Removes the empty sub-folder name, never through a link; returns false when it cannot. */
    bool removeEmptyFolder(const QString &name) const;

    /**
     * Takes this folder for one run: an advisory lock on the open folder that
     * the system drops when the handle closes or the process dies, so a
     * crashed run leaves none behind. Returns an empty text, or why another
     * run has it. Elsewhere than Unix nothing is locked.
     */
    QString lockForRun() const;

private:
    struct Descriptor;
    std::shared_ptr<const Descriptor> m_descriptor;
    QString m_path;
    QString m_error;
};
