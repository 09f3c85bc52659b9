#include "NonRegularFiles.h"

#include <QFile>

#include <chrono>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

namespace NonRegularFiles {

bool makeFifo(const QString &path)
{
#ifdef Q_OS_UNIX
    return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool makeSocket(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (std::size_t(name.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
#else
    Q_UNUSED(path);
    return false;
#endif
}

PipeRelease::PipeRelease(const QString &path, int timeoutMs)
    : m_thread(&PipeRelease::run, this, QFile::encodeName(path), timeoutMs)
{
}

PipeRelease::~PipeRelease()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_stopped.notify_all();
    m_thread.join();
}

bool PipeRelease::released() const
{
    std::lock_guard lock(m_mutex);
    return m_released;
}

void PipeRelease::run(const QByteArray &path, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (m_stopped.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_stop; }))
        return;
#ifdef Q_OS_UNIX
    // Without blocking: it succeeds only when a reader is waiting, and wakes it.
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        m_released = true;
    }
#else
    Q_UNUSED(path);
#endif
}

} // namespace NonRegularFiles
