#pragma once

#include "system/FolderHandle.h"
#include "system/PageOutput.h"

#include <QByteArray>
#include <QString>

#include <memory>

/**
 * A file too large to hold in memory (a clip's copy), written piece by piece
 * at any offset into a temporary beside its name, and read back at any
 * offset while it is written. commit() puts it in place; until then the
 * name keeps what it had, and a file never committed is removed with its
 * temporary. As PageBatch: nothing is ever written through a link, and a
 * link, folder, pipe or read-only file in the name's way is refused.
 */
class StreamedFile
{
public:
    StreamedFile(const FolderHandle &folder, const QString &name);
    ~StreamedFile();
    StreamedFile(const StreamedFile &) = delete;
    StreamedFile &operator=(const StreamedFile &) = delete;

    /** Empty while the file can be written; else names the file and the reason. */
    QString error() const { return m_error; }

    /** Writes size bytes at offset; false once anything failed (error() says why). */
    bool writeAt(qint64 offset, const char *data, qint64 size);

    /** Reads up to count bytes at offset; the number read, 0 at the end, -1 on error. */
    qint64 readAt(qint64 offset, char *into, qint64 count) const;

    /** Bytes written so far, to the furthest offset. */
    qint64 size() const { return m_size; }

    /** Puts the file in place under its name; returns an empty text or the reason. */
    QString commit(Flush flush);

private:
    struct Batch;
    void fail(const QString &reason);
    void closeFile();

    FolderHandle m_folder;
    QString m_name;
    std::unique_ptr<Batch> m_batch; // owns the temporary until it is put in place
    int m_fd = -1;
    qint64 m_size = 0;
    QString m_error;
};
