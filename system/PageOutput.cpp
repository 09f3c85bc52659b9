#include "PageOutput.h"

#include "system/FolderHandle.h"
#include "system/NativeName.h"

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

QString cannotWrite(const FolderHandle &folder, const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(folder.displayPath(name), reason);
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

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// A write cut short (a full disk, a file-size limit) returns the bytes it
// managed; writing the rest makes the system say why it stopped.
int writeAll(int fd, const char *data, qint64 size)
{
    qint64 written = 0;
    while (written < size) {
        const ssize_t step = ::write(fd, data + written, std::size_t(size - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return step < 0 ? errno : EIO;
        written += step;
    }
    return 0;
}

bool sameBytes(int folder, const char *name, const QByteArray &contents)
{
    Descriptor file(openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        return false;
    QByteArray now(contents.size() + 1, Qt::Uninitialized);
    qint64 got = 0;
    while (got < now.size()) {
        const ssize_t step = ::read(file.get(), now.data() + got, std::size_t(now.size() - got));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            break;
        got += step;
    }
    return got == contents.size() && QByteArrayView(now.constData(), got) == contents;
}

} // namespace

struct PageBatch::Private {
    struct Staged {
        QByteArray temporary;
        QByteArray name;
    };

    FolderHandle folder;
    int dir = -1; // the folder's descriptor, owned by folder
    uid_t user = geteuid();
    QString openError;
    bool folderChecked = false;
    QList<Staged> staged;

    // Why name must not be replaced; empty when it may. A page is never
    // written through a link: its target may be any file the user owns.
    QString refusal(const QByteArray &name, struct stat &info, bool &exists) const
    {
        exists = false;
        if (fstatat(dir, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? QString() : systemReason(errno);
        exists = true;
        if (S_ISLNK(info.st_mode))
            return QStringLiteral("It is a symbolic link; a page is never written through a link.");
        if (S_ISDIR(info.st_mode))
            return QStringLiteral("A folder of that name is in the way.");
        if (!S_ISREG(info.st_mode))
            return QStringLiteral("Something that is not a file (a pipe, socket or device) is in the way.");
        // The owner's write bit counts too: root would otherwise replace a page the user marked read-only.
        if (!(info.st_mode & S_IWUSR) || (info.st_uid != user && faccessat(dir, name.constData(), W_OK, 0) != 0))
            return QStringLiteral("The file is read-only.");
        return {};
    }

    QString folderRefusal() const
    {
        struct stat info;
        if (fstat(dir, &info) != 0)
            return systemReason(errno);
        if (info.st_nlink == 0)
            return QStringLiteral("The folder no longer exists.");
        if (!(info.st_mode & S_IWUSR) || faccessat(dir, ".", W_OK, 0) != 0)
            return QStringLiteral("The folder is read-only.");
        return {};
    }

    // Creates a temporary beside the page; never follows a link, never reuses a name.
    int createTemporary(const QByteArray &name, QByteArray &temporary, int access = O_WRONLY) const
    {
        static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            temporary = name + '.';
            for (int i = 1; i < temporarySuffixBytes; ++i)
                temporary += letters[QRandomGenerator::global()->bounded(62)];
            const int fd = openat(dir, temporary.constData(),
                                  access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0 || errno != EEXIST)
                return fd;
        }
        errno = EEXIST;
        return -1;
    }

    QString writeTemporary(const QByteArray &name, const QByteArray &contents, const struct stat *existing)
    {
        QByteArray temporary;
        Descriptor file(createTemporary(name, temporary));
        if (file.get() < 0)
            return systemReason(errno);
        int error = writeAll(file.get(), contents.constData(), contents.size());
        if (!error && existing && fchmod(file.get(), existing->st_mode & 07777) != 0)
            error = errno;
        if (!error && ::close(file.release()) != 0)
            error = errno;
        if (error) {
            unlinkat(dir, temporary.constData(), 0);
            return systemReason(error);
        }
        staged.append({temporary, name});
        return {};
    }

    // One flush for the whole file system when there are many; a single
    // file (a thumbnail, a one-page run) is flushed on its own, which costs
    // less than flushing everything else on the disk with it.
    bool flushStaged() const
    {
        if (staged.size() == 1) {
            Descriptor file(openat(dir, staged.first().temporary.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            return file.get() >= 0 && fdatasync(file.get()) == 0;
        }
#ifdef Q_OS_LINUX
        return syncfs(dir) == 0;
#else
        ::sync();
        return true;
#endif
    }

    void removeStaged()
    {
        for (const Staged &page : std::as_const(staged))
            unlinkat(dir, page.temporary.constData(), 0);
        staged.clear();
    }
};

PageBatch::PageBatch(const FolderHandle &folder)
    : d(std::make_unique<Private>())
{
    d->folder = folder;
    d->dir = folder.descriptor();
    if (!folder.isOpen())
        d->openError = folder.error();
}

PageBatch::~PageBatch()
{
    d->removeStaged();
}

QString PageBatch::stage(const QString &name, const QByteArray &contents)
{
    if (!d->openError.isEmpty())
        return cannotWrite(d->folder, name, d->openError);
    const QByteArray native = NativeName::encode(name);
    struct stat info;
    bool exists = false;
    QString reason = d->refusal(native, info, exists);
    if (reason.isEmpty() && !d->folderChecked) {
        reason = d->folderRefusal(); // once a batch: the folder does not change its mode between pages
        d->folderChecked = reason.isEmpty();
    }
    if (!reason.isEmpty())
        return cannotWrite(d->folder, name, reason);
    // An unchanged page keeps its file, and its modification time.
    if (exists && info.st_size == contents.size() && sameBytes(d->dir, native.constData(), contents))
        return {};
    reason = d->writeTemporary(native, contents, exists ? &info : nullptr);
    return reason.isEmpty() ? QString() : cannotWrite(d->folder, name, reason);
}

int PageBatch::stageOpen(const QString &name, QString &error)
{
    if (!d->openError.isEmpty()) {
        error = cannotWrite(d->folder, name, d->openError);
        return -1;
    }
    const QByteArray native = NativeName::encode(name);
    struct stat info;
    bool exists = false;
    QString reason = d->refusal(native, info, exists);
    if (reason.isEmpty())
        reason = d->folderRefusal();
    QByteArray temporary;
    // Read as well as written: a file written piece by piece may be read back while it is made.
    Descriptor file(reason.isEmpty() ? d->createTemporary(native, temporary, O_RDWR) : -1);
    if (reason.isEmpty() && file.get() < 0)
        reason = systemReason(errno);
    if (reason.isEmpty() && exists && fchmod(file.get(), info.st_mode & 07777) != 0) {
        reason = systemReason(errno);
        unlinkat(d->dir, temporary.constData(), 0);
    }
    if (!reason.isEmpty()) {
        error = cannotWrite(d->folder, name, reason);
        return -1;
    }
    d->staged.append({temporary, native});
    return file.release();
}

// The order keeps the promise: every temporary is on disk before any page is
// renamed, so after a power cut a renamed page is whole; a page not yet
// renamed keeps its old bytes; the folder is flushed before the caller says
// "Completed", so the renames themselves survive.
QString PageBatch::commit(Flush flush)
{
    if (d->staged.isEmpty())
        return {};
    if (flush == Flush::Now && !d->flushStaged()) {
        const QString reason = systemReason(errno);
        const QString name = NativeName::decode(d->staged.first().name);
        d->removeStaged();
        return cannotWrite(d->folder, name, reason);
    }
    while (!d->staged.isEmpty()) {
        const Private::Staged page = d->staged.takeFirst();
        struct stat info;
        bool exists = false;
        // Checked again just before the rename; renameat replaces whatever has
        // the name by then, a link included, and never its target.
        QString reason = d->refusal(page.name, info, exists);
        if (reason.isEmpty() && renameat(d->dir, page.temporary.constData(), d->dir, page.name.constData()) != 0)
            reason = systemReason(errno);
        if (!reason.isEmpty()) {
            unlinkat(d->dir, page.temporary.constData(), 0);
            d->removeStaged();
            return cannotWrite(d->folder, NativeName::decode(page.name), reason);
        }
    }
    if (flush == Flush::Now && fsync(d->dir) != 0 && errno != EINVAL)
        return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(d->folder.path()), systemReason(errno));
    return {};
}

QString flushFileSystem(const FolderHandle &folder)
{
#ifdef Q_OS_LINUX
    if (folder.isOpen() && syncfs(folder.descriptor()) != 0)
        return QStringLiteral("Cannot write in %1: %2").arg(QDir::toNativeSeparators(folder.path()), systemReason(errno));
#else
    Q_UNUSED(folder);
    ::sync();
#endif
    return {};
}

#else

struct PageBatch::Private {
    FolderHandle folder;
};

PageBatch::PageBatch(const FolderHandle &folder)
    : d(std::make_unique<Private>())
{
    d->folder = folder;
}

PageBatch::~PageBatch() = default;

// Elsewhere each page is saved on its own, at once.
QString PageBatch::stage(const QString &name, const QByteArray &contents)
{
    const QString path = QDir(d->folder.path()).filePath(name);
    const QFileInfo file(path);
    if (!d->folder.isOpen())
        return cannotWrite(d->folder, name, d->folder.error());
    if (file.isSymLink())
        return cannotWrite(d->folder, name, QStringLiteral("It is a symbolic link; a page is never written through a link."));
    if (file.exists() && file.isDir())
        return cannotWrite(d->folder, name, QStringLiteral("A folder of that name is in the way."));
    if (file.exists() && !file.isWritable())
        return cannotWrite(d->folder, name, QStringLiteral("The file is read-only."));
    if (!QFileInfo(d->folder.path()).isDir())
        return cannotWrite(d->folder, name, QStringLiteral("The folder no longer exists."));
    QSaveFile out(path);
    // Unbuffered: a failed buffered write still lets commit() succeed (QTBUG-75077).
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannotWrite(d->folder, name, out.errorString());
    if (out.write(contents) != contents.size()) {
        const QString reason = out.errorString();
        out.cancelWriting();
        return cannotWrite(d->folder, name, reason);
    }
    if (!out.commit())
        return cannotWrite(d->folder, name, out.errorString());
    return {};
}

int PageBatch::stageOpen(const QString &name, QString &error)
{
    error = cannotWrite(d->folder, name, QStringLiteral("Writing a file piece by piece is not supported on this system."));
    return -1;
}

QString PageBatch::commit(Flush)
{
    return {};
}

QString flushFileSystem(const FolderHandle &)
{
    return {};
}

#endif

PageBatch::PageBatch(const QString &folder)
    : PageBatch(FolderHandle::open(folder))
{
}

QString writeWholeFile(const FolderHandle &folder, const QString &name, const QByteArray &contents, Flush flush)
{
    PageBatch batch(folder);
    if (QString error = batch.stage(name, contents); !error.isEmpty())
        return error;
    return batch.commit(flush);
}

QString writeWholeFile(const QString &path, const QByteArray &contents)
{
    const QFileInfo page(path);
    return writeWholeFile(FolderHandle::open(page.path()), page.fileName(), contents);
}
