#pragma once

// Files that are not regular files, named like pictures, for the tests of a
// hostile folder. Unix only: elsewhere the makers return false.

#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace NonRegularFiles {

/** Makes a named pipe (FIFO) at path; false when it cannot. */
bool makeFifo(const QString &path);

/** Makes a Unix domain socket file at path, with nothing listening; false when it cannot. */
bool makeSocket(const QString &path);

/**
 * Opens the pipe at path for writing and closes it again after a timeout,
 * unless stopped before: a reader that blocked on opening it is then let go
 * with an empty file, so a test of old code fails instead of hanging.
 */
class PipeRelease
{
public:
    PipeRelease(const QString &path, int timeoutMs);
    ~PipeRelease();
    PipeRelease(const PipeRelease &) = delete;
    PipeRelease &operator=(const PipeRelease &) = delete;

    /** Returns true when the timeout passed and the pipe was opened for writing. */
    bool released() const;

private:
    void run(const QByteArray &path, int timeoutMs);

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stop = false;
    bool m_released = false;
    std::thread m_thread;
};

} // namespace NonRegularFiles
