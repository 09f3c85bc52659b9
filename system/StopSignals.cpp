#include "StopSignals.h"

#ifdef Q_OS_UNIX
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <thread>

namespace {
// How often the waiting thread looks whether it is to end.
constexpr long pollNanoseconds = 50 * 1000 * 1000;

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}
} // namespace

struct StopSignals::Watcher {
    sigset_t previous;
    std::atomic<bool> done{false};
    std::thread thread;
};

StopSignals::StopSignals(std::function<void(int)> onSignal)
    : m_watcher(std::make_unique<Watcher>())
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, &m_watcher->previous);
    // Waited for, not handled: nothing runs inside a signal handler, and the
    // run hears of it as of any cancel.
    m_watcher->thread = std::thread([this, set, onSignal = std::move(onSignal)] {
        const timespec poll{0, pollNanoseconds};
        while (!m_watcher->done.load()) {
            const int signal = sigtimedwait(&set, nullptr, &poll);
            if (signal <= 0)
                continue;
            int none = 0;
            m_received.compare_exchange_strong(none, signal);
            m_stop.store(true);
            if (onSignal)
                onSignal(signal);
        }
    });
}

StopSignals::~StopSignals()
{
    m_watcher->done.store(true);
    m_watcher->thread.join();
    // A signal still pending would end the program the moment it is let through.
    const sigset_t set = stopSet();
    const timespec now{0, 0};
    while (sigtimedwait(&set, nullptr, &now) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &m_watcher->previous, nullptr);
}

QString StopSignals::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

#else

struct StopSignals::Watcher {
};

StopSignals::StopSignals(std::function<void(int)>) {}

StopSignals::~StopSignals() = default;

QString StopSignals::name(int signal)
{
    return QStringLiteral("signal %1").arg(signal);
}

#endif
