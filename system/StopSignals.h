#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>

/**
 * SIGINT, SIGTERM and SIGHUP turned into a request to stop, so that a run
 * ends as a cancelled one does (no temporary left, the pages all old or a
 * whole new chain) instead of dying where it stands. While an object of this
 * class lives the three signals are held back in every thread, and a thread
 * of its own waits for them and calls onSignal with the signal's number
 * (on that thread, not the caller's). Make it before any other thread
 * starts, so that every thread inherits the held-back signals. Elsewhere
 * than Unix it does nothing.
 */
class StopSignals
{
public:
    explicit StopSignals(std::function<void(int signal)> onSignal = {});
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    /** Returns the first signal received, or 0 when none has come. */
    int received() const { return m_received.load(); }

    /** Becomes true at the first signal: a run's cancel flag. */
    const std::atomic<bool> &stopRequested() const { return m_stop; }

    /** Returns the exit status of a program stopped by signal: 128 and its number (130 for SIGINT). */
    static int exitStatus(int signal) { return 128 + signal; }

    /** Returns the signal's name, "SIGINT", "SIGTERM" or "SIGHUP". */
    static QString name(int signal);

private:
    struct Watcher;
    std::unique_ptr<Watcher> m_watcher;
    std::atomic<int> m_received{0};
    std::atomic<bool> m_stop{false};
};
