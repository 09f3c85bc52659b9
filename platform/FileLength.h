#pragma once

#include <QString>

struct FileLength {
    qint64 bytes = 0;
    QString error; // empty when bytes holds the length
};

/** Returns the length in bytes of the file at path, or the reason it cannot be had. */
FileLength fileLength(const QString &path);
