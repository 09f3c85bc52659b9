#include "RegularFile.h"

#include "system/NativeName.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

OpenProblem failure(const QString &reason, bool system = false)
{
    return {reason, system};
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

QString whatItIs(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a file.");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a pipe (FIFO), not a picture file.");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a picture file.");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("It is a device, not a picture file.");
    return QStringLiteral("It is not a regular file.");
}

bool isDanglingLink(const QByteArray &path)
{
    struct stat info;
    return lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

OpenProblem describeFileKind(unsigned mode)
{
    return failure(whatItIs(mode_t(mode)));
}

OpenProblem describeOpenFailure(const QString &path, int error)
{
    switch (error) {
    case ENOENT:
        if (isDanglingLink(NativeName::encode(path)))
            return failure(QStringLiteral("It is a link to a file that does not exist."));
        return failure(QStringLiteral("The file no longer exists."));
    case ELOOP:
        return failure(QStringLiteral("It is a link that leads round in a loop."));
    case ENAMETOOLONG:
        return failure(QStringLiteral("Its path is longer than the system allows."));
    case EACCES:
    case EPERM:
        return failure(QStringLiteral("Permission denied: the file cannot be read."));
    case ENOTDIR:
        return failure(QStringLiteral("A part of its path is not a folder."));
    case EMFILE:
    case ENFILE:
        return failure(QStringLiteral("The system has no file handle left to open it (%1).")
                           .arg(qt_error_string(error)),
                       true);
    case ENOMEM:
        return failure(QStringLiteral("The system is out of memory."), true);
    default:
        return failure(QStringLiteral("It cannot be opened: %1.").arg(qt_error_string(error)));
    }
}

OpenedFile openRegularFile(const QString &path)
{
    OpenedFile opened;
    const QByteArray native = NativeName::encode(path);
    // stat before open: opening a device can have effects of its own, and a
    // pipe would block until a writer came.
    struct stat info;
    if (stat(native.constData(), &info) != 0) {
        opened.problem = describeOpenFailure(path, errno);
        return opened;
    }
    if (!S_ISREG(info.st_mode)) {
        opened.problem = failure(whatItIs(info.st_mode));
        return opened;
    }
    // O_NONBLOCK as well, in case the name was swapped for a pipe since the stat.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        opened.problem = describeOpenFailure(path, errno);
        return opened;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        opened.problem = failure(whatItIs(info.st_mode));
        ::close(fd);
        return opened;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        opened.problem = failure(QStringLiteral("It cannot be opened: %1.").arg(file->errorString()));
        return opened;
    }
    opened.file = std::move(file);
    opened.length = info.st_size;
    return opened;
}

#else

OpenProblem describeFileKind(unsigned)
{
    return failure(QStringLiteral("It is not a regular file."));
}

OpenProblem describeOpenFailure(const QString &, int error)
{
    return failure(QStringLiteral("It cannot be opened: %1.").arg(qt_error_string(error)));
}

OpenedFile openRegularFile(const QString &path)
{
    OpenedFile opened;
    const QFileInfo info(path);
    if (!info.exists()) {
        opened.problem = failure(QStringLiteral("The file no longer exists."));
        return opened;
    }
    if (info.isDir() || !info.isFile()) {
        opened.problem = failure(info.isDir() ? QStringLiteral("It is a folder, not a file.")
                                              : QStringLiteral("It is not a regular file."));
        return opened;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        opened.problem = failure(QStringLiteral("It cannot be opened: %1.").arg(file->errorString()));
        return opened;
    }
    opened.length = file->size();
    opened.file = std::move(file);
    return opened;
}

#endif

bool haveSpareFileHandles(int count)
{
#ifdef Q_OS_UNIX
    std::vector<int> taken;
    taken.reserve(std::size_t(std::max(count, 0)));
    while (int(taken.size()) < count) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        taken.push_back(fd);
    }
    const bool enough = int(taken.size()) == count;
    for (const int fd : taken)
        ::close(fd);
    return enough;
#else
    Q_UNUSED(count);
    return true;
#endif
}
