#include "PageOutput.h"

#include "platform/NativeName.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

QString systemReason(int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("The folder no longer exists.");
    case ENAMETOOLONG:
        return QStringLiteral("Its path is longer than the system allows.");
    case ELOOP:
        return QStringLiteral("The folder's path leads round a loop of links.");
    default:
        return qt_error_string(error);
    }
}

// The owner's write bit counts as well, since an administrator's process
// would otherwise replace a file the user marked read-only.
bool isReadOnly(int folder, const char *name, const struct stat &info)
{
    return !(info.st_mode & S_IWUSR) || faccessat(folder, name, W_OK, 0) != 0;
}

// Why name, inside the open folder, must not be replaced; empty when it may.
// A page is never written through a link: the link's target may be any file
// the user owns, outside the folder.
QString refusal(int folder, const QByteArray &name, mode_t *mode)
{
    struct stat info;
    if (fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? QString() : systemReason(errno);
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("It is a symbolic link; a page is never written through a link.");
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("A folder of that name is in the way.");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("Something that is not a file (a pipe, socket or device) is in the way.");
    if (isReadOnly(folder, name.constData(), info))
        return QStringLiteral("The file is read-only.");
    *mode = info.st_mode & 07777;
    return {};
}

QString folderRefusal(int folder)
{
    struct stat info;
    if (fstat(folder, &info) != 0)
        return systemReason(errno);
    if (!(info.st_mode & S_IWUSR) || faccessat(folder, ".", W_OK, 0) != 0)
        return QStringLiteral("The folder is read-only.");
    return {};
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { if (m_fd >= 0) ::close(m_fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// A write cut short (a full disk, a file-size limit) returns the bytes it
// managed; writing the rest makes the system say why it stopped.
int writeAll(int fd, const QByteArray &contents)
{
    qint64 written = 0;
    while (written < contents.size()) {
        const ssize_t step = ::write(fd, contents.constData() + written, std::size_t(contents.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return step < 0 ? errno : EIO;
        written += step;
    }
    return 0;
}

// Creates a temporary file beside the page; never follows a link, never reuses a name.
int createTemporary(int folder, const QByteArray &name, QByteArray &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = openat(folder, temporary.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Writes the temporary file and renames it over the page; errno-style result.
QString replaceInFolder(int folder, const QByteArray &name, const QByteArray &contents, mode_t mode)
{
    QByteArray temporary;
    Descriptor file(createTemporary(folder, name, temporary));
    if (file.get() < 0)
        return systemReason(errno);
    int error = writeAll(file.get(), contents);
    if (!error && mode && fchmod(file.get(), mode) != 0)
        error = errno;
    // On disk before the rename: after a power cut the page is old or whole.
    if (!error && fdatasync(file.get()) != 0)
        error = errno;
    if (!error && ::close(file.release()) != 0)
        error = errno;
    mode_t unused = 0;
    QString reason = error ? systemReason(error) : refusal(folder, name, &unused);
    // renameat replaces whatever now has the name, a link included, never its target.
    if (reason.isEmpty() && renameat(folder, temporary.constData(), folder, name.constData()) != 0)
        reason = systemReason(errno);
    if (!reason.isEmpty())
        unlinkat(folder, temporary.constData(), 0);
    return reason;
}

} // namespace

QString writeWholeFile(const QString &path, const QByteArray &contents)
{
    const QFileInfo page(path);
    const QByteArray folderPath = NativeName::encode(page.path());
    const QByteArray name = NativeName::encode(page.fileName());
    Descriptor folder(::open(folderPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return cannotWrite(path, errno == ENOTDIR ? QStringLiteral("The folder no longer exists.") : systemReason(errno));
    mode_t mode = 0;
    QString reason = refusal(folder.get(), name, &mode);
    if (reason.isEmpty())
        reason = folderRefusal(folder.get());
    if (reason.isEmpty())
        reason = replaceInFolder(folder.get(), name, contents, mode);
    return reason.isEmpty() ? QString() : cannotWrite(path, reason);
}

#else

QString writeWholeFile(const QString &path, const QByteArray &contents)
{
    const QFileInfo file(path);
    if (file.isSymLink())
        return cannotWrite(path, QStringLiteral("It is a symbolic link; a page is never written through a link."));
    if (file.exists() && file.isDir())
        return cannotWrite(path, QStringLiteral("A folder of that name is in the way."));
    if (file.exists() && !file.isWritable())
        return cannotWrite(path, QStringLiteral("The file is read-only."));
    if (!QFileInfo(file.absolutePath()).isDir())
        return cannotWrite(path, QStringLiteral("The folder no longer exists."));
    QSaveFile out(path);
    // Unbuffered: a failed buffered write still lets commit() succeed (QTBUG-75077).
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(path, out.errorString());
    if (out.write(contents) != contents.size()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        return cannotWrite(path, reason);
    }
    if (!out.commit())
        return cannotWrite(path, out.errorString());
    return {};
}

#endif
