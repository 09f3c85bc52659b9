#include "PictureMeasure.h"

#include "platform/PictureHeader.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QIODevice>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

namespace {

class DeviceBytes : public ByteSource
{
public:
    explicit DeviceBytes(QIODevice &device)
        : m_device(device)
    {
    }

    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        if (!m_device.seek(offset))
            return 0; // past the end
        return m_device.read(into, count);
    }

    QString errorString() const override { return m_device.errorString(); }
    qint64 size() const override { return m_device.size(); }

private:
    QIODevice &m_device;
};

#ifdef Q_OS_UNIX
// One pread a window: no seek, and the descriptor's offset is never shared.
class DescriptorBytes : public ByteSource
{
public:
    DescriptorBytes(int fd, qint64 size)
        : m_fd(fd)
        , m_size(size)
    {
    }

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
#endif

Measurement fromReading(const HeaderReading &reading, qint64 length)
{
    Measurement measurement;
    measurement.length = length;
    measurement.cancelled = reading.cancelled;
    if (reading.error.isEmpty())
        measurement.size = reading.size;
    else
        measurement.error = reading.error;
    return measurement;
}

} // namespace

Measurement measurePicture(const QString &path, const std::atomic<bool> *cancel)
{
    const OpenedFile opened = openRegularFile(path);
    if (!opened.file) {
        Measurement refused;
        refused.error = opened.problem.reason;
        refused.systemFailure = opened.problem.systemFailure;
        return refused;
    }
#ifdef Q_OS_UNIX
    DescriptorBytes bytes(opened.file->handle(), opened.length);
    return fromReading(readPictureHeader(bytes, cancel), opened.length);
#else
    return measurePicture(*opened.file, cancel);
#endif
}

Measurement measurePicture(QIODevice &device, const std::atomic<bool> *cancel)
{
    DeviceBytes bytes(device);
    return fromReading(readPictureHeader(bytes, cancel), device.size());
}
