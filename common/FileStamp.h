#pragma once

#include <QString>

/**
 * What the system says of a file's identity and content at one moment:
 * length, modification and change times to the nanosecond, and the file
 * number. A file rewritten with its length and modification time put back
 * still gets a new change time, which no user can set; a file replaced by
 * another gets a new number.
 */
struct FileStamp {
    qint64 length = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    quint64 inode = 0;

    bool operator==(const FileStamp &) const = default;

    /** Returns the stamp as one line of text, exact to the nanosecond (a JSON number would round it). */
    QString text() const
    {
        return QStringLiteral("%1 %2 %3 %4").arg(length).arg(modifiedNs).arg(changedNs).arg(inode);
    }
};
