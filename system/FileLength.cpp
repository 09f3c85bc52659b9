#include "FileLength.h"

#include "system/NativeName.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

FileLength gone()
{
    return {0, QStringLiteral("The file no longer exists.")};
}

FileLength aFolder()
{
    return {0, QStringLiteral("It is a folder, not a file.")};
}

} // namespace

FileLength fileLength(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return gone();
    if (info.isDir())
        return aFolder();
    return {info.size(), {}};
}

FolderFileLengths::FolderFileLengths(const QString &folder)
    : m_folder(folder)
{
#ifdef Q_OS_UNIX
    m_folderHandle = ::open(NativeName::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

FolderFileLengths::~FolderFileLengths()
{
#ifdef Q_OS_UNIX
    if (m_folderHandle >= 0)
        ::close(m_folderHandle);
#endif
}

FileLength FolderFileLengths::length(const QString &name) const
{
#ifdef Q_OS_UNIX
    if (m_folderHandle >= 0) {
        struct stat info;
        // Links are followed, as QFileInfo does: a link to a picture is listed with the picture's length.
        if (::fstatat(m_folderHandle, NativeName::encode(name).constData(), &info, 0) != 0) {
            const int error = errno;
            if (error == ENOENT)
                return gone();
            return {0, QStringLiteral("Its length cannot be read: %1.").arg(qt_error_string(error))};
        }
        if (S_ISDIR(info.st_mode))
            return aFolder();
        return {qint64(info.st_size), {}};
    }
#endif
    return fileLength(QDir(m_folder).filePath(name));
}
