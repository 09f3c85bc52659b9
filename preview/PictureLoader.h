#pragma once

#include "preview/PictureDecoding.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

/**
 * Decodes pictures for the preview on a pool thread, one at a time: a request
 * made while one decodes waits its turn and replaces any request already
 * waiting. UI thread only; decoded() is emitted on it.
 */
class PictureLoader : public QObject
{
    Q_OBJECT

public:
    explicit PictureLoader(QObject *parent = nullptr);

    /**
     * Stops the decode in progress without waiting for it: the worker holds
     * nothing of this object and ends on its own, at the latest a band of a
     * large JPEG later.
     */
    ~PictureLoader() override;

    /** Decodes path once the decode in progress is done; ticket comes back with the result. */
    void load(quint64 ticket, const QString &path);

    /** Forgets the waiting request and stops the decode in progress; neither is reported. */
    void cancel();

signals:
    /** The picture asked for under ticket, or why it cannot be shown. */
    void decoded(quint64 ticket, const QString &path, const DecodedPicture &picture);

private:
    struct Request {
        quint64 ticket = 0;
        QString path;
    };
    struct Result {
        Request request;
        DecodedPicture picture;
    };

    void startWaiting();
    void finished();

    QFutureWatcher<Result> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_stop; // the decode in progress, shared with its worker; null when idle
    std::optional<Request> m_waiting;
};
