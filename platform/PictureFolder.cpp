#include "PictureFolder.h"

#include "platform/NativeName.h"
#include "platform/PictureHeader.h"
#include "platform/RegularFile.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX

namespace {

// One pread a window: no seek, and no descriptor offset to share.
class DescriptorBytes : public ByteSource
{
public:
    DescriptorBytes(int fd, qint64 size) : m_fd(fd), m_size(size) {}

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
    qint64 size() const override { return m_size; }

private:
    int m_fd;
    qint64 m_size;
    QString m_error;
};

Measurement refused(const OpenProblem &problem)
{
    Measurement measurement;
    measurement.error = problem.reason;
    measurement.systemFailure = problem.systemFailure;
    return measurement;
}

} // namespace

PictureFolder::PictureFolder(const QString &folder)
    : m_folder(folder)
    , m_fd(::open(NativeName::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    , m_openError(m_fd < 0 ? errno : 0)
{
}

PictureFolder::~PictureFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Measurement PictureFolder::measure(const QString &name, bool listedRegular, const std::atomic<bool> *cancel) const
{
    // The path is only for the words of a refusal; most pictures never need it.
    const auto path = [&] { return QDir(m_folder).filePath(name); };
    if (m_fd < 0)
        return refused(describeOpenFailure(path(), m_openError));
    const QByteArray native = NativeName::encode(name);
    struct stat info;
    // A link or an entry of unknown kind is looked at before it is opened:
    // opening a device can have effects of its own.
    if (!listedRegular) {
        if (fstatat(m_fd, native.constData(), &info, 0) != 0)
            return refused(describeOpenFailure(path(), errno));
        if (!S_ISREG(info.st_mode))
            return refused(describeFileKind(info.st_mode));
    }
    // Non-blocking, in case the name was swapped for a pipe since the listing.
    const int fd = openat(m_fd, native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refused(describeOpenFailure(path(), errno));
    Measurement measurement;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        measurement = refused(describeFileKind(info.st_mode));
    } else {
        DescriptorBytes bytes(fd, info.st_size);
        const HeaderReading reading = readPictureHeader(bytes, cancel);
        measurement.length = info.st_size;
        measurement.cancelled = reading.cancelled;
        if (reading.error.isEmpty())
            measurement.size = reading.size;
        else
            measurement.error = reading.error;
    }
    ::close(fd);
    return measurement;
}

#else

PictureFolder::PictureFolder(const QString &folder)
    : m_folder(folder)
{
}

PictureFolder::~PictureFolder() = default;

Measurement PictureFolder::measure(const QString &name, bool, const std::atomic<bool> *cancel) const
{
    const OpenedFile opened = openRegularFile(QDir(m_folder).filePath(name));
    if (!opened.file) {
        Measurement refused;
        refused.error = opened.problem.reason;
        refused.systemFailure = opened.problem.systemFailure;
        return refused;
    }
    return measurePicture(*opened.file, cancel);
}

#endif
