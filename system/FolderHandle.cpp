#include "FolderHandle.h"

#include "system/NativeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString linkRefused = QStringLiteral("It is a symbolic link; nothing is written through a link.");
const QString notAFolder = QStringLiteral("Something that is not a folder is in the way.");

} // namespace

QString FolderHandle::displayPath(const QString &name) const
{
    return QDir::toNativeSeparators(QDir(m_path).filePath(name));
}

namespace {

QString cannotRemove(const FolderHandle &folder, const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot remove %1: %2").arg(folder.displayPath(name), reason);
}

} // namespace

#ifdef Q_OS_UNIX

struct FolderHandle::Descriptor {
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() { ::close(fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    const int fd;
};

namespace {

QString openFailure(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("The folder does not exist.");
    case ENOTDIR:
        return QStringLiteral("It is not a folder.");
    case EACCES:
        return QStringLiteral("Permission denied: the folder cannot be read.");
    case ELOOP:
        return QStringLiteral("Its path leads round a loop of links.");
    case ENAMETOOLONG:
        return QStringLiteral("Its path is longer than the system allows.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("The system has no file handle left to open it (%1).").arg(qt_error_string(error));
    default:
        return QStringLiteral("The folder cannot be read: %1.").arg(qt_error_string(error));
    }
}

} // namespace

FolderHandle FolderHandle::open(const QString &path)
{
    FolderHandle handle;
    handle.m_path = path;
    const int fd = ::open(NativeName::encode(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        handle.m_error = openFailure(errno);
    else
        handle.m_descriptor = std::make_shared<const Descriptor>(fd);
    return handle;
}

FolderHandle FolderHandle::subFolder(const QString &name, bool create) const
{
    FolderHandle sub;
    sub.m_path = QDir(m_path).filePath(name);
    if (!isOpen()) {
        sub.m_error = m_error;
        return sub;
    }
    const QByteArray native = NativeName::encode(name);
    // mkdirat never follows a link of that name; opening with O_NOFOLLOW
    // then refuses one that is there, or was put there since.
    if (create && mkdirat(descriptor(), native.constData(), 0777) != 0 && errno != EEXIST) {
        sub.m_error = openFailure(errno);
        return sub;
    }
    const int fd = openat(descriptor(), native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        sub.m_descriptor = std::make_shared<const Descriptor>(fd);
        return sub;
    }
    const int error = errno;
    struct stat info;
    if ((error == ELOOP || error == ENOTDIR)
        && fstatat(descriptor(), native.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0)
        sub.m_error = S_ISLNK(info.st_mode) ? linkRefused : notAFolder;
    else
        sub.m_error = openFailure(error);
    return sub;
}

int FolderHandle::descriptor() const
{
    return m_descriptor ? m_descriptor->fd : -1;
}

std::optional<FolderIdentity> FolderHandle::identity() const
{
    struct stat info;
    if (!isOpen() || fstat(descriptor(), &info) != 0)
        return std::nullopt;
    return FolderIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

std::optional<FileStamp> FolderHandle::stampOf(const QString &name) const
{
    struct stat info;
    if (!isOpen() || fstatat(descriptor(), NativeName::encode(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                     qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec, quint64(info.st_ino)};
}

bool FolderHandle::has(const QString &name) const
{
    struct stat info;
    return isOpen() && fstatat(descriptor(), NativeName::encode(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

QString FolderHandle::removeFile(const QString &name) const
{
    if (!isOpen())
        return cannotRemove(*this, name, m_error);
    if (unlinkat(descriptor(), NativeName::encode(name).constData(), 0) == 0 || errno == ENOENT)
        return {};
    return cannotRemove(*this, name, errno == EISDIR ? QStringLiteral("It is a folder.") : qt_error_string(errno));
}

bool FolderHandle::removeEmptyFolder(const QString &name) const
{
    return isOpen() && unlinkat(descriptor(), NativeName::encode(name).constData(), AT_REMOVEDIR) == 0;
}

QString FolderHandle::lockForRun() const
{
    if (!isOpen())
        return m_error;
    while (flock(descriptor(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            return QStringLiteral("Another run is writing pages in this folder; try again when it has finished.");
        return QStringLiteral("The folder cannot be taken for this run: %1.").arg(qt_error_string(errno));
    }
    return {};
}

#else

// Elsewhere the handle keeps the path: the folder is reached by it each time.
struct FolderHandle::Descriptor {
};

FolderHandle FolderHandle::open(const QString &path)
{
    FolderHandle handle;
    handle.m_path = path;
    const QFileInfo info(path);
    if (!info.exists())
        handle.m_error = QStringLiteral("The folder does not exist.");
    else if (!info.isDir())
        handle.m_error = QStringLiteral("It is not a folder.");
    else
        handle.m_descriptor = std::make_shared<const Descriptor>();
    return handle;
}

FolderHandle FolderHandle::subFolder(const QString &name, bool create) const
{
    FolderHandle sub;
    sub.m_path = QDir(m_path).filePath(name);
    const QFileInfo info(sub.m_path);
    if (!isOpen())
        sub.m_error = m_error;
    else if (info.isSymLink())
        sub.m_error = linkRefused;
    else if (info.exists() && !info.isDir())
        sub.m_error = notAFolder;
    else if (!info.exists() && (!create || !QDir(m_path).mkdir(name)))
        sub.m_error = QStringLiteral("The folder does not exist.");
    else
        sub.m_descriptor = std::make_shared<const Descriptor>();
    return sub;
}

int FolderHandle::descriptor() const
{
    return -1;
}

std::optional<FolderIdentity> FolderHandle::identity() const
{
    return std::nullopt;
}

std::optional<FileStamp> FolderHandle::stampOf(const QString &name) const
{
    const QFileInfo info(QDir(m_path).filePath(name));
    if (!isOpen() || info.isSymLink() || !info.isFile())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch() * 1000000,
                     info.metadataChangeTime().toMSecsSinceEpoch() * 1000000, 0};
}

bool FolderHandle::has(const QString &name) const
{
    const QFileInfo info(QDir(m_path).filePath(name));
    return isOpen() && (info.exists() || info.isSymLink());
}

QString FolderHandle::removeFile(const QString &name) const
{
    const QFileInfo info(QDir(m_path).filePath(name));
    if (!isOpen())
        return cannotRemove(*this, name, m_error);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (info.isDir() && !info.isSymLink())
        return cannotRemove(*this, name, QStringLiteral("It is a folder."));
    return QFile::remove(info.filePath()) ? QString()
                                          : cannotRemove(*this, name, QStringLiteral("The system refused to remove it."));
}

bool FolderHandle::removeEmptyFolder(const QString &name) const
{
    const QFileInfo info(QDir(m_path).filePath(name));
    return isOpen() && !info.isSymLink() && QDir(m_path).rmdir(name);
}

QString FolderHandle::lockForRun() const
{
    return m_error;
}

#endif
