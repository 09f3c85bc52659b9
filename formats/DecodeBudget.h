#pragma once

#include <QMutex>
#include <QWaitCondition>

#include <atomic>

/**
 * Memory shared by the decodes that run at once: each takes what its header
 * says it will need before it takes it, and waits while others hold too much.
 * However many cores decode, together they hold no more than the budget; a
 * decode that alone needs more is refused. Safe on any thread.
 */
class DecodeBudget
{
public:
    explicit DecodeBudget(qint64 bytes) : m_total(bytes) {}

    qint64 total() const { return m_total; }

    /**
     * Takes bytes, waiting until they are free; returns false at once when
     * they are more than the whole budget, or once stop becomes true.
     */
    bool take(qint64 bytes, const std::atomic<bool> *stop = nullptr);

    /** Gives back bytes that take() granted. */
    void giveBack(qint64 bytes);

private:
    const qint64 m_total;
    qint64 m_taken = 0;
    QMutex m_mutex;
    QWaitCondition m_freed;
};
