#include "AlbumMaking.h"

#include "clips/ClipTypes.h"
#include "formats/DecodeBudget.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QWaitCondition>

#include <QFuture>
#include <QPromise>
#include <QThread>
#include <QThreadPool>

#include <deque>

#include <memory>

namespace {

// What the pictures decoding at once may hold between them: a 24-megapixel
// progressive photograph takes 72 to 144 MB while it decodes, a 12-megapixel
// phone photo (HEIC) 85 MB, and two of those must decode at once on two
// cores; a run stays under 256 MB however many cores it has.
constexpr qint64 decodeBudgetBytes = 176 * 1024 * 1024;

// How soon a cancel reaches a task already running.
constexpr unsigned long cancelCheckMilliseconds = 100;

struct Made {
    ImagesMade made;
    bool tried = false; // false when the run stopped before this picture
};

/** What the tasks share; it outlives them all. */
struct Shared {
    Shared(const PictureFolder &pictures, const AlbumFolders &folders, const AlbumSizes &sizes,
           const std::atomic<bool> *cancel)
        : pictures(pictures), folders(folders), sizes(sizes), cancel(cancel)
    {
    }

    const PictureFolder &pictures;
    const AlbumFolders &folders;
    const AlbumSizes sizes;
    const std::atomic<bool> *cancel;
    DecodeBudget budget{decodeBudgetBytes};
    std::atomic<bool> stop{false}; // set by a failure or a cancel: the tasks left do nothing
    // A task tells the run's thread it finished, or how far a clip's copy came.
    QMutex mutex;
    QWaitCondition changed;
    QString clip; // the copy being made and how far, "a.mov 0:12 of 1:30"; under mutex

    void tell(const QString &text = {})
    {
        QMutexLocker lock(&mutex);
        if (!text.isNull())
            clip = text;
        changed.wakeAll();
    }
};

Made makeOne(const AlbumJob &job, Shared &shared)
{
    if (shared.cancel && shared.cancel->load())
        shared.stop.store(true);
    if (shared.stop.load())
        return {};
    // Told at most a few times a second: a copy's packets come by the thousand.
    QElapsedTimer sinceTold;
    const auto progress = [&](qint64 done, qint64 length) {
        if (sinceTold.isValid() && sinceTold.elapsed() < 250)
            return;
        sinceTold.start();
        shared.tell(QStringLiteral("%1 %2 of %3").arg(job.picture, clipLengthText(done), clipLengthText(length)));
    };
    Made made{makeAlbumImages(shared.pictures, job.picture, shared.folders, shared.sizes, shared.budget, &shared.stop,
                              progress),
              true};
    if (sinceTold.isValid())
        shared.tell(QStringLiteral(""));
    if (made.made.stopped)
        return {};
    if (made.made.fatal)
        shared.stop.store(true);
    return made;
}

// One picture per task (QPromise keeps the core on Qt Core alone); results
// are taken in order on the calling thread, so the notices come from it alone.
QFuture<Made> start(QThreadPool &pool, const AlbumJob &job, Shared &shared)
{
    auto promise = std::make_shared<QPromise<Made>>();
    promise->start(); // before the wait: a future not yet started has no result to wait for
    QFuture<Made> future = promise->future();
    pool.start([promise, job, &shared] {
        promise->addResult(makeOne(job, shared));
        promise->finish();
        shared.tell();
    });
    return future;
}

// Waits for a picture's images on the run's thread, telling notices how far
// a clip's copy has come while it is made.
void waitFor(const QFuture<Made> &future, Shared &shared, RunNotices &notices, QString &told)
{
    QMutexLocker lock(&shared.mutex);
    for (;;) {
        if (shared.clip != told) {
            told = shared.clip;
            lock.unlock();
            notices.clipProgress(told);
            lock.relock();
            continue;
        }
        if (future.isFinished())
            return;
        // A long clip's copy starts no new task to see a cancel: it is passed on from here.
        if (shared.cancel && shared.cancel->load())
            shared.stop.store(true);
        shared.changed.wait(&shared.mutex, cancelCheckMilliseconds);
    }
}

} // namespace

AlbumMade makeAlbum(const PictureFolder &pictures, const AlbumFolders &folders, const AlbumSizes &sizes,
                    const QList<AlbumJob> &jobs, qint64 ready, RunNotices &notices, const std::atomic<bool> *cancel)
{
    Shared shared(pictures, folders, sizes, cancel);
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    // Pictures are started a window ahead of the one taken: enough to keep
    // every core busy behind a slow one, while a hundred thousand pictures
    // hold a few hundred tasks and results, not one each (a kilobyte apiece).
    const qsizetype ahead = 128 * qsizetype(pool.maxThreadCount());
    std::deque<QFuture<Made>> window;
    qsizetype started = 0;
    const auto startNext = [&] {
        if (started < jobs.size())
            window.push_back(start(pool, jobs.at(started++), shared));
    };
    while (started < std::min(ahead, jobs.size()))
        startNext();
    notices.thumbnailed(ready);
    AlbumMade album;
    QString told;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        waitFor(window.front(), shared, notices, told);
        const Made result = window.front().result();
        window.pop_front();
        startNext();
        const ImagesMade &made = result.made;
        const QString &picture = jobs.at(i).picture;
        if (!result.tried) {
            album.cancelled = album.failure.isEmpty();
        } else if (made.fatal) {
            if (album.failure.isEmpty())
                album.failure = made.error;
        } else if (!made.error.isEmpty()) {
            album.skipped.append({picture, made.error});
        } else {
            album.records.insert(picture, {made.stamp, made.small, made.large, made.web, made.facts, 0});
            notices.thumbnailed(++ready);
        }
    }
    return album;
}
