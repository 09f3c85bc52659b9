#include "DecodeBudget.h"

namespace {
// A stop is noticed this often while a decode waits for memory.
constexpr unsigned long stopCheckMs = 50;
} // namespace

bool DecodeBudget::take(qint64 bytes, const std::atomic<bool> *stop)
{
    if (bytes > m_total)
        return false;
    QMutexLocker locker(&m_mutex);
    while (m_taken + bytes > m_total) {
        if (stop && stop->load())
            return false;
        m_freed.wait(&m_mutex, stopCheckMs);
    }
    m_taken += bytes;
    return true;
}

void DecodeBudget::giveBack(qint64 bytes)
{
    {
        QMutexLocker locker(&m_mutex);
        m_taken -= bytes;
    }
    m_freed.wakeAll();
}
