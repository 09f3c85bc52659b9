#include "StreamedFile.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

// The temporary is one of a batch of one page: the same refusals, the same
// rename, and the batch removes it when it is never committed.
struct StreamedFile::Batch {
    explicit Batch(const FolderHandle &folder) : pages(folder) {}
    PageBatch pages;
};

StreamedFile::StreamedFile(const FolderHandle &folder, const QString &name)
    : m_folder(folder), m_name(name), m_batch(std::make_unique<Batch>(folder))
{
    m_fd = m_batch->pages.stageOpen(name, m_error);
}

StreamedFile::~StreamedFile()
{
    closeFile();
}

void StreamedFile::closeFile()
{
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
}

void StreamedFile::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("Cannot write %1: %2").arg(m_folder.displayPath(m_name), reason);
}

bool StreamedFile::writeAt(qint64 offset, const char *data, qint64 size)
{
    if (!m_error.isEmpty() || m_fd < 0)
        return false;
#ifdef Q_OS_UNIX
    qint64 written = 0;
    while (written < size) {
        const ssize_t step = ::pwrite(m_fd, data + written, std::size_t(size - written), off_t(offset + written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0) {
            // A write cut short (a full disk) says why when asked again.
            fail(qt_error_string(step < 0 ? errno : EIO));
            return false;
        }
        written += step;
    }
    m_size = std::max(m_size, offset + size);
    return true;
#else
    Q_UNUSED(offset); Q_UNUSED(data); Q_UNUSED(size);
    return false;
#endif
}

qint64 StreamedFile::readAt(qint64 offset, char *into, qint64 count) const
{
    if (m_fd < 0)
        return -1;
#ifdef Q_OS_UNIX
    for (;;) {
        const ssize_t got = ::pread(m_fd, into, std::size_t(count), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
#else
    Q_UNUSED(offset); Q_UNUSED(into); Q_UNUSED(count);
    return -1;
#endif
}

QString StreamedFile::commit(Flush flush)
{
    if (!m_error.isEmpty())
        return m_error;
    int closed = 0;
#ifdef Q_OS_UNIX
    closed = ::close(m_fd) == 0 ? 0 : errno;
#endif
    m_fd = -1;
    if (closed != 0) {
        fail(qt_error_string(closed));
        return m_error;
    }
    return m_batch->pages.commit(flush);
}
