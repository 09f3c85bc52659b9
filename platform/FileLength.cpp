#include "FileLength.h"

#include <QFileInfo>

FileLength fileLength(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {0, QStringLiteral("The file no longer exists.")};
    if (info.isDir())
        return {0, QStringLiteral("It is a folder, not a file.")};
    return {info.size(), {}};
}
