#include "PictureLoader.h"

#include <QtConcurrent/QtConcurrentRun>

#include <utility>

PictureLoader::PictureLoader(QObject *parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<Result>::finished, this, &PictureLoader::finished);
}

PictureLoader::~PictureLoader()
{
    // The watcher's destructor does not wait, and the worker owns its copies.
    if (m_stop)
        m_stop->store(true);
}

void PictureLoader::load(quint64 ticket, const QString &path)
{
    m_waiting = Request{ticket, path};
    if (!m_stop)
        startWaiting();
}

void PictureLoader::cancel()
{
    m_waiting.reset();
    if (m_stop)
        m_stop->store(true);
}

void PictureLoader::startWaiting()
{
    if (!m_waiting)
        return;
    const Request request = *std::exchange(m_waiting, std::nullopt);
    m_stop = std::make_shared<std::atomic<bool>>(false);
    // Runs on a pool thread with values only, so it may outlive this object.
    m_watcher.setFuture(QtConcurrent::run([request, stop = m_stop] {
        return Result{request, decodePicture(request.path, stop.get())};
    }));
}

void PictureLoader::finished()
{
    const bool stopped = std::exchange(m_stop, nullptr)->load();
    if (!stopped) {
        const Result result = m_watcher.result();
        emit decoded(result.request.ticket, result.request.path, result.picture);
    }
    // A slot of decoded() may have started the next decode already.
    if (!m_stop)
        startWaiting();
}
