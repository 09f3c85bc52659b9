#pragma once

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

/**
 * Runs work(i) for every i in [0, count) on the calling thread and on up to
 * threads - 1 more (by default one thread a core), and hands every result to
 * take(i, result) on the calling thread in the order of i, as a loop would.
 * When take returns false, no further work starts and take is not called
 * again; work already started ends first. Items go out in chunks, so a
 * hundred thousand small files cost a few thousand hand-offs, and the calling
 * thread takes a chunk itself rather than wait idle. Work runs at most
 * aheadChunks chunks ahead of take, which bounds the results held.
 * work must be safe to run on several threads at once.
 */
template <typename Result>
class OrderedWork
{
public:
    using Work = std::function<Result(qsizetype)>;
    using Take = std::function<bool(qsizetype, Result &&)>;

    static void run(qsizetype count, const Work &work, const Take &take, qsizetype chunkSize = 128,
                    int threads = QThread::idealThreadCount())
    {
        OrderedWork shared(count, work, chunkSize);
        std::vector<std::thread> helpers;
        const qsizetype wanted = std::min<qsizetype>(threads - 1, shared.m_chunks - 1);
        for (qsizetype i = 0; i < wanted; ++i)
            helpers.emplace_back([&shared] { shared.help(); });
        shared.deliver(take);
        shared.stop();
        for (std::thread &helper : helpers)
            helper.join();
    }

private:
    static constexpr qsizetype aheadChunks = 32; // chunks that may wait, done, for take

    OrderedWork(qsizetype count, const Work &work, qsizetype chunkSize)
        : m_count(count)
        , m_chunkSize(std::max<qsizetype>(chunkSize, 1))
        , m_chunks((count + m_chunkSize - 1) / m_chunkSize)
        , m_work(work)
        , m_results(std::size_t(std::min(m_chunks, aheadChunks) * m_chunkSize))
        , m_finished(std::size_t(aheadChunks), -1)
    {
    }

    // Chunk k lives in slot k % aheadChunks: no chunk is claimed before the
    // one aheadChunks earlier has been taken.
    std::optional<Result> &result(qsizetype i)
    {
        const qsizetype chunk = i / m_chunkSize;
        return m_results[std::size_t((chunk % aheadChunks) * m_chunkSize + i % m_chunkSize)];
    }

    void help()
    {
        for (;;) {
            qsizetype chunk = -1;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stop || m_nextChunk >= m_chunks || mayClaim(); });
                if (m_stop || m_nextChunk >= m_chunks)
                    return;
                chunk = m_nextChunk++;
            }
            runChunk(chunk);
        }
    }

    bool mayClaim() const { return m_nextChunk < m_chunks && m_nextChunk < m_delivering + aheadChunks; }

    void runChunk(qsizetype chunk)
    {
        const qsizetype end = std::min(m_count, (chunk + 1) * m_chunkSize);
        for (qsizetype i = chunk * m_chunkSize; i < end; ++i)
            result(i).emplace(m_work(i));
        {
            const std::lock_guard lock(m_mutex);
            m_finished[std::size_t(chunk % aheadChunks)] = chunk;
        }
        m_changed.notify_all();
    }

    // Waits for chunk to be done, doing chunks nobody has claimed meanwhile.
    void waitFor(qsizetype chunk)
    {
        std::unique_lock lock(m_mutex);
        while (m_finished[std::size_t(chunk % aheadChunks)] != chunk) {
            if (mayClaim()) {
                const qsizetype mine = m_nextChunk++;
                lock.unlock();
                runChunk(mine);
                lock.lock();
            } else {
                m_changed.wait(lock);
            }
        }
    }

    void stop()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
    }

    void deliver(const Take &take)
    {
        for (qsizetype chunk = 0; chunk < m_chunks; ++chunk) {
            {
                const std::lock_guard lock(m_mutex);
                m_delivering = chunk;
            }
            m_changed.notify_all();
            waitFor(chunk);
            const qsizetype end = std::min(m_count, (chunk + 1) * m_chunkSize);
            for (qsizetype i = chunk * m_chunkSize; i < end; ++i) {
                std::optional<Result> &slot = result(i);
                const bool more = take(i, std::move(*slot));
                slot.reset(); // a delivered result is not kept for the rest of the run
                if (!more) {
                    stop();
                    return;
                }
            }
        }
    }

    const qsizetype m_count;
    const qsizetype m_chunkSize;
    const qsizetype m_chunks;
    const Work &m_work;
    std::vector<std::optional<Result>> m_results; // aheadChunks chunks, reused in turn
    // Guarded by m_mutex:
    std::vector<qsizetype> m_finished; // the chunk each slot last finished, or -1
    qsizetype m_nextChunk = 0; // the first chunk nobody has claimed
    qsizetype m_delivering = 0; // the chunk take is at
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_changed; // a chunk finished, take moved on, or the run stopped
};
