#pragma once

#include "album/AlbumImages.h"
#include "album/AlbumIndex.h"
#include "common/RunNotices.h"
#include "system/PictureFolder.h"

#include <QList>

#include <atomic>

/** A picture whose album images are to be made. */
struct AlbumJob {
    QString picture; // file name in the picture folder
};

/** What making a run's album images came to. */
struct AlbumMade {
    QHash<QString, AlbumRecord> records; // each picture made, by name
    QList<SkippedFile> skipped;          // pictures that could not be made, with the reason
    QString failure;                     // the run must stop: a file could not be written
    bool cancelled = false;
};

/**
 * Makes the album images of every job on a pool of all cores, one picture a
 * task, the decodes running at once sharing one memory budget; tells notices
 * the count ready so far (starting from ready), in order, from this thread.
 * Stops taking new pictures at the first failure or once cancel becomes
 * true. The images are not flushed: the caller flushes before it records them.
 */
AlbumMade makeAlbum(const PictureFolder &pictures, const AlbumFolders &folders, const AlbumSizes &sizes,
                    const QList<AlbumJob> &jobs, qint64 ready, RunNotices &notices, const std::atomic<bool> *cancel);
