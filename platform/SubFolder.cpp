#include "SubFolder.h"

#include "platform/NativeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString cannotMake(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot make the folder %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString cannotRemove(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot remove %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

const QString linkRefused = QStringLiteral("It is a symbolic link; nothing is written through a link.");
const QString notAFolder = QStringLiteral("Something that is not a folder is in the way.");

} // namespace

#ifdef Q_OS_UNIX

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { if (m_fd >= 0) ::close(m_fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

QString makeSubFolder(const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    Descriptor parent(::open(NativeName::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0)
        return cannotMake(path, qt_error_string(errno));
    const QByteArray native = NativeName::encode(name);
    // mkdirat never follows a link of that name; the lstat-like check below says what is there.
    if (mkdirat(parent.get(), native.constData(), 0777) != 0 && errno != EEXIST)
        return cannotMake(path, qt_error_string(errno));
    struct stat info;
    if (fstatat(parent.get(), native.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return cannotMake(path, qt_error_string(errno));
    if (S_ISLNK(info.st_mode))
        return cannotMake(path, linkRefused);
    if (!S_ISDIR(info.st_mode))
        return cannotMake(path, notAFolder);
    return {};
}

QString removeFromSubFolder(const QString &folder, const QString &subFolder, const QString &name)
{
    const QString path = QDir(QDir(folder).filePath(subFolder)).filePath(name);
    Descriptor parent(::open(NativeName::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0)
        return cannotRemove(path, qt_error_string(errno));
    Descriptor sub(openat(parent.get(), NativeName::encode(subFolder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (sub.get() < 0)
        return errno == ENOENT ? QString() : cannotRemove(path, errno == ELOOP ? linkRefused : qt_error_string(errno));
    if (unlinkat(sub.get(), NativeName::encode(name).constData(), 0) != 0 && errno != ENOENT)
        return cannotRemove(path, errno == EISDIR ? QStringLiteral("It is a folder.") : qt_error_string(errno));
    return {};
}

#else

QString makeSubFolder(const QString &folder, const QString &name)
{
    const QString path = QDir(folder).filePath(name);
    const QFileInfo info(path);
    if (info.isSymLink())
        return cannotMake(path, linkRefused);
    if (info.exists() && !info.isDir())
        return cannotMake(path, notAFolder);
    if (!info.exists() && !QDir(folder).mkdir(name))
        return cannotMake(path, QStringLiteral("The system refused to make it."));
    return {};
}

QString removeFromSubFolder(const QString &folder, const QString &subFolder, const QString &name)
{
    const QString sub = QDir(folder).filePath(subFolder);
    const QString path = QDir(sub).filePath(name);
    if (QFileInfo(sub).isSymLink())
        return cannotRemove(path, linkRefused);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    if (info.isDir() && !info.isSymLink())
        return cannotRemove(path, QStringLiteral("It is a folder."));
    return QFile::remove(path) ? QString() : cannotRemove(path, QStringLiteral("The system refused to remove it."));
}

#endif
