#include "PictureFolder.h"

#include "system/NativeName.h"
#include "system/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX

namespace {

// One pread a window: no seek, and no descriptor offset to share.
class DescriptorBytes : public PictureBytes
{
public:
    explicit DescriptorBytes(int fd) : m_fd(fd) {}
    ~DescriptorBytes() override { ::close(m_fd); }
    DescriptorBytes(const DescriptorBytes &) = delete;
    DescriptorBytes &operator=(const DescriptorBytes &) = delete;

    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        for (;;) {
            const ssize_t got = ::pread(m_fd, into, std::size_t(count), off_t(offset));
            if (got >= 0)
                return got;
            if (errno != EINTR) {
                m_error = qt_error_string(errno);
                return -1;
            }
        }
    }
    QString errorString() const override { return m_error; }

private:
    int m_fd;
    QString m_error;
};

FileStamp stampOf(const struct stat &info)
{
    return {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
            qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec, quint64(info.st_ino)};
}

OpenProblem changedMeanwhile()
{
    return {QStringLiteral("It was changed or replaced while it was being read."), false};
}

// The rule the kernel applies to links in shared sticky folders, applied
// in every folder: someone who may write here must not be able to make the
// run read, and publish, a file that is the user's and not theirs.
bool mayFollow(const struct stat &link, const struct stat &target)
{
    return link.st_uid == geteuid() || link.st_uid == target.st_uid;
}

// Returns the open descriptor of the regular file name, with what fstat
// says of it in info, or -1 with the reason in problem.
int openPictureFile(const FolderHandle &folder, const QString &name, bool listedRegular, struct stat &info,
                           OpenProblem &problem)
{
    // The path is only for the words of a refusal; most pictures never need it.
    const auto path = [&] { return QDir(folder.path()).filePath(name); };
    if (!folder.isOpen()) {
        problem = {folder.error(), false};
        return -1;
    }
    const int dir = folder.descriptor();
    const QByteArray native = NativeName::encode(name);
    struct stat link {};
    bool throughLink = false;
    // A link or an entry of unknown kind is looked at before it is opened:
    // opening a device can have effects of its own.
    if (!listedRegular) {
        if (fstatat(dir, native.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0) {
            problem = describeOpenFailure(path(), errno);
            return -1;
        }
        throughLink = S_ISLNK(link.st_mode);
        if (throughLink && fstatat(dir, native.constData(), &info, 0) != 0) {
            problem = describeOpenFailure(path(), errno);
            return -1;
        }
        const mode_t kind = throughLink ? info.st_mode : link.st_mode;
        if (!S_ISREG(kind)) {
            problem = describeFileKind(kind);
            return -1;
        }
    }
    // Non-blocking, in case the name was swapped for a pipe since it was
    // looked at; a name that was no link then must not be one now.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (throughLink ? 0 : O_NOFOLLOW);
    const int fd = openat(dir, native.constData(), flags);
    if (fd < 0) {
        if (errno == ELOOP && listedRegular)
            return openPictureFile(folder, name, false, info, problem); // it became a link: look at it
        problem = errno == ELOOP && !throughLink ? changedMeanwhile() : describeOpenFailure(path(), errno);
        return -1;
    }
    struct stat now {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        problem = describeFileKind(info.st_mode);
    else if (throughLink
             && (fstatat(dir, native.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(now.st_mode)
                 || now.st_ino != link.st_ino || now.st_uid != link.st_uid))
        problem = changedMeanwhile();
    else if (throughLink && !mayFollow(link, info))
        problem = {QStringLiteral("It is a link that another user made to a file that is not theirs; "
                                  "such a link is not followed."),
                   false};
    else
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

OpenedPicture openFileIn(const FolderHandle &folder, const QString &name, bool listedRegular)
{
    OpenedPicture picture;
    struct stat info {};
    const int fd = openPictureFile(folder, name, listedRegular, info, picture.opened.problem);
    if (fd < 0)
        return picture;
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        picture.opened.problem = {QStringLiteral("It cannot be opened: %1.").arg(file->errorString()), false};
        return picture;
    }
    picture.opened.file = std::move(file);
    picture.opened.length = info.st_size;
    picture.stamp = stampOf(info);
    return picture;
}

OpenedBytes PictureFolder::openBytes(const QString &name, bool listedRegular) const
{
    OpenedBytes opened;
    struct stat info {};
    const int fd = openPictureFile(m_folder, name, listedRegular, info, opened.problem);
    if (fd < 0)
        return opened;
    opened.bytes = std::make_unique<DescriptorBytes>(fd);
    opened.length = info.st_size;
    opened.stamp = stampOf(info);
    return opened;
}

#else

OpenedPicture openFileIn(const FolderHandle &folder, const QString &name, bool)
{
    OpenedPicture picture;
    picture.opened = openRegularFile(QDir(folder.path()).filePath(name));
    if (picture.opened.file) {
        const QFileInfo info(*picture.opened.file);
        picture.stamp = {picture.opened.length, info.lastModified().toMSecsSinceEpoch() * 1000000,
                         info.metadataChangeTime().toMSecsSinceEpoch() * 1000000, 0};
    }
    return picture;
}

namespace {

class FileBytes : public PictureBytes
{
public:
    explicit FileBytes(std::unique_ptr<QFile> file) : m_file(std::move(file)) {}

    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        return m_file->seek(offset) ? m_file->read(into, count) : 0;
    }
    QString errorString() const override { return m_file->errorString(); }

private:
    std::unique_ptr<QFile> m_file;
};

} // namespace

OpenedBytes PictureFolder::openBytes(const QString &name, bool listedRegular) const
{
    OpenedPicture picture = open(name, listedRegular);
    OpenedBytes opened;
    opened.problem = picture.opened.problem;
    if (!picture.opened.file)
        return opened;
    opened.length = picture.opened.length;
    opened.stamp = picture.stamp;
    opened.bytes = std::make_unique<FileBytes>(std::move(picture.opened.file));
    return opened;
}

#endif

PictureFolder::PictureFolder(const FolderHandle &folder)
    : m_folder(folder)
{
}

PictureFolder::PictureFolder(const QString &folder)
    : m_folder(FolderHandle::open(folder))
{
}

OpenedPicture PictureFolder::open(const QString &name, bool listedRegular) const
{
    return openFileIn(m_folder, name, listedRegular);
}
