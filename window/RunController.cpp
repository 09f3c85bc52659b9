#include "RunController.h"

#include "common/SettingsStore.h"

#include <QtConcurrent>

namespace {
// Often enough for the pictures to be seen passing, rarely enough that
// showing them costs the run nothing.
constexpr int pictureInterval = 200; // ms
} // namespace

RunController::RunController(SettingsStore &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    m_pictureTimer.setInterval(pictureInterval);
    connect(&m_pictureTimer, &QTimer::timeout, this, &RunController::showLatestPicture);
    connect(&m_watcher, &QFutureWatcher<RunOutcome>::finished, this, &RunController::runEnded);
    // The notices are emitted on the worker thread; the window reads them on its own.
    connect(&m_notices, &WindowNotices::progressed, this, &RunController::takeProgress,
            Qt::QueuedConnection);
}

RunController::~RunController()
{
    cancelAndWait();
}

bool RunController::isRunning() const
{
    return m_running;
}

bool RunController::start(const QString &folder, const PageOptions &options)
{
    if (isRunning())
        return false;
    m_running = true;
    m_discarded = false;
    m_cancel.store(false);
    m_notices.reset();
    m_latestCount = 0;
    m_latestThumbnails = -1;
    m_latestClip.clear();
    m_latestPath.clear();
    m_shownPath.clear();

    SettingsStore *settings = &m_settings;
    WindowNotices *notices = &m_notices;
    const std::atomic<bool> *cancel = &m_cancel;
    m_watcher.setFuture(QtConcurrent::run([folder, settings, notices, cancel, options] {
        return runGeneration(folder, *notices, settings, cancel, options);
    }));
    m_pictureTimer.start();
    return true;
}

void RunController::cancelAndWait()
{
    if (!isRunning())
        return;
    m_running = false;
    m_discarded = true;
    m_cancel.store(true);
    m_watcher.waitForFinished();
    m_pictureTimer.stop();
}

void RunController::takeProgress()
{
    if (m_discarded)
        return;
    const WindowNotices::Progress progress = m_notices.takeProgress();
    // With nothing new measured the label keeps what it shows.
    if (progress.count > m_latestCount) {
        m_latestCount = progress.count;
        m_latestPath = progress.path;
        emit counted(progress.count);
        if (m_shownPath.isEmpty())
            showLatestPicture(); // the first picture at once, the others on the timer
    }
    // Thumbnails come after the reading, so their count is the one left showing.
    if (progress.thumbnails > m_latestThumbnails) {
        m_latestThumbnails = progress.thumbnails;
        emit thumbnailed(progress.thumbnails);
    }
    if (progress.clip != m_latestClip) {
        m_latestClip = progress.clip;
        emit clipProgress(progress.clip);
    }
}

void RunController::showLatestPicture()
{
    if (m_latestPath.isEmpty() || m_latestPath == m_shownPath)
        return;
    m_shownPath = m_latestPath;
    emit measured(m_shownPath);
}

void RunController::runEnded()
{
    m_pictureTimer.stop();
    if (m_discarded)
        return;
    m_running = false;
    // Progress still queued is read here, so the window ends on the last picture.
    takeProgress();
    showLatestPicture();
    emit finished(m_watcher.result(), m_notices.skipped(), m_notices.failure());
}
