#pragma once

#include "generation/GenerationRun.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include "window/WindowNotices.h"

#include <atomic>

class SettingsStore;

/**
 * The generation run started from the window. The run itself goes on a
 * worker thread (runGeneration from the core); everything this class emits
 * is emitted on the window's thread. One run at a time.
 */
class RunController : public QObject
{
    Q_OBJECT

public:
    RunController(SettingsStore &settings, QObject *parent);
    ~RunController() override;

    /** Returns true while a run is in progress. */
    bool isRunning() const;

    /** Starts a run over folder; returns false when a run is already in progress. */
    bool start(const QString &folder, const PageOptions &options = {});

    /**
     * Stops a run in progress and waits for it. The run stops between two
     * pictures or two pages, so no page is left half written. Nothing more is
     * emitted for that run.
     */
    void cancelAndWait();

    /** Returns the older pages the last run left as they were, as one line, or an empty text. */
    QString olderPages() const { return m_notices.olderPages(); }

    /** Returns what the last run's tree of albums came to, as one line, or an empty text. */
    QString albums() const { return m_notices.albums(); }

signals:
    /** The number of pictures measured so far. */
    void counted(qint64 count);

    /** A measured picture to show: a few a second at most, ending on the last one measured. */
    void measured(const QString &path);

    /** Gallery pages: the number of pictures whose thumbnail is ready. */
    void thumbnailed(qint64 count);

    /** Gallery pages: a clip's copy being made and how far ("a.mov 0:12 of 1:30"); empty once none is. */
    void clipProgress(const QString &text);

    /** The run ended. skipped lists what is not on the pages; failure is set when it failed. */
    void finished(RunOutcome outcome, const QList<SkippedFile> &skipped, const QString &failure);

private:
    void takeProgress();
    void showLatestPicture();
    void runEnded();

    SettingsStore &m_settings;
    QFutureWatcher<RunOutcome> m_watcher;
    QTimer m_pictureTimer;
    // Read by the worker; the destructor waits for it, so they outlive every run.
    WindowNotices m_notices;
    std::atomic<bool> m_cancel{false};
    qint64 m_latestCount = 0;
    qint64 m_latestThumbnails = -1;
    QString m_latestClip;
    QString m_latestPath;
    QString m_shownPath;
    bool m_running = false;   // from start() until finished() or cancelAndWait()
    bool m_discarded = false; // results after cancelAndWait() are ignored
};
