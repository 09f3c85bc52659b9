#pragma once

#include "common/RunNotices.h"

#include <QMutex>
#include <QObject>

#include <atomic>

/**
 * Carries a generation run's notices from the worker thread to the window.
 *
 * read(), completed() and failed() are called on the worker thread; they only
 * store what they are told. A run can measure thousands of pictures a second,
 * so only the latest count and path are kept and at most one progressed()
 * signal waits in the window's event queue at any time: a fast run cannot
 * flood the event loop. The window's thread reads everything back with
 * takeProgress(), skipped() and failure().
 */
class WindowNotices : public QObject, public RunNotices
{
    Q_OBJECT

public:
    struct Progress {
        qint64 count = 0;
        QString path; // the last picture measured
        qint64 thumbnails = -1; // gallery pages: thumbnails ready; -1 before any
        QString clip;           // a clip's copy being made and how far; empty when none
    };

    explicit WindowNotices(QObject *parent = nullptr);

    void read(qint64 count, const QString &path) override;
    void thumbnailed(qint64 count) override;
    void clipProgress(const QString &text) override;
    void olderPagesLeft(const QString &pages) override;
    void albumsWritten(qint64 albums, qint64 pictures) override;
    void albumsUnfinished(const QString &line) override;
    void completed(const QList<SkippedFile> &skipped) override;
    void failed(const QString &message) override;

    /** Forgets everything told before; call before the next run starts. */
    void reset();

    /** Returns the latest progress and allows the next progressed() signal. */
    Progress takeProgress();

    /** Returns the files the run left off the pages, with the reasons. */
    QList<SkippedFile> skipped() const;

    /** Returns the message of a failed run, or an empty text. */
    QString failure() const;

    /** Returns the older pages the run left as they were, one line a folder, or an empty text. */
    QString olderPages() const;

    /** Returns what a tree of albums came to, as one line, or an empty text. */
    QString albums() const;

signals:
    /** Emitted on the worker thread; connect it queued to the window. */
    void progressed();

private:
    mutable QMutex m_mutex;
    Progress m_progress;
    QList<SkippedFile> m_skipped;
    QString m_failure;
    QString m_olderPages;
    QString m_albums;
    void signalProgress();

    std::atomic<bool> m_signalPending{false};
};
