#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <functional>
#include <vector>

class FolderHandle;

/**
 * The names of a folder's regular files as the system stores them, in one
 * block with a table to find them: a folder of a hundred thousand files
 * costs a few megabytes and no string for each. A name can be marked as it
 * is looked up, and the names never marked are given as text at the end.
 */
class FolderNames
{
public:
    /**
     * Lists folder. Each name (of any entry but a folder) for which setAside
     * is true is kept apart, as text, in setAside(), and not among the names.
     */
    static FolderNames list(const FolderHandle &folder, const std::function<bool(QByteArrayView)> &setAside = {});

    /** A name to look up, in the system's bytes, with its hash: made once for several listings. */
    struct Key {
        QVarLengthArray<char, 256> bytes;
        std::size_t hash = 0;
    };
    static Key keyOf(QStringView stem, QLatin1StringView suffix);

    /** Returns where the name key names is among the folder's regular files, or -1. */
    qsizetype find(const Key &key) const;

    /** Returns where the name stem followed by suffix is among the folder's regular files, or -1. */
    qsizetype find(QStringView stem, QLatin1StringView suffix) const { return find(keyOf(stem, suffix)); }

    /** Returns true when the folder held a regular file named stem followed by suffix. */
    bool contains(QStringView stem, QLatin1StringView suffix) const { return find(stem, suffix) >= 0; }

    /** Marks the name at index, as find() gave it. Threads may mark different names at once. */
    void markAt(qsizetype index) { m_marked[std::size_t(index)] = 1; }

    /** As contains(), and marks the name when there is one. */
    bool mark(QStringView stem, QLatin1StringView suffix);

    /** Returns the names never marked, as text, in no order. */
    QStringList unmarked() const;

    /** Returns the names set aside when listed. */
    const QStringList &setAside() const { return m_setAside; }

    qsizetype size() const { return qsizetype(m_starts.size()); }

private:
    void add(QByteArrayView name);
    void buildTable();
    QByteArrayView nameAt(std::size_t index) const;

    QByteArray m_bytes;                 // every name, one after another
    std::vector<quint32> m_starts;      // where each name starts in m_bytes; it ends where the next starts
    std::vector<quint32> m_table;       // open addressing: a name's index + 1, or 0 for a free slot
    std::vector<quint8> m_marked; // a byte each, not a bit: marks set from several threads never share one
    QStringList m_setAside;
};
