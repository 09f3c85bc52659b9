#pragma once

#include "clips/ClipTypes.h"
#include "formats/PictureHeader.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>


/**
 * What the clip module does, through FFmpeg's libraries. The module is
 * loaded the first time a clip is met, so a run without clips (every
 * classic run) never loads FFmpeg's hundred libraries. Each operation reads
 * the clip from bytes, from its start, and notices stop between packets.
 */
struct ClipService {
    /** Raised when an operation's signature changes: a module of another version is not used. */
    static constexpr int version = 1;
    int moduleVersion = version;

    /** What the clip's header says; refuses one that claims too much. */
    ClipHeader (*readHeader)(ByteSource &bytes, const std::atomic<bool> *stop);

    /**
     * The clip's poster frame, upright, at the size target() gives for the
     * clip as displayed; reserve() is asked for its memory first, and
     * reserved says what it granted (the caller gives it back).
     */
    ClipPoster (*poster)(ByteSource &bytes, const ClipHeader &header, const std::atomic<bool> *stop,
                         const std::function<QSize(QSize)> &target, const std::function<bool(qint64)> &reserve,
                         qint64 &reserved);

    /** Writes into file the copy browsers play, as header.copy says; tells progress how far it got (ms). */
    CopyMade (*writeCopy)(ByteSource &bytes, const ClipHeader &header, ClipSink &file, const std::atomic<bool> *stop,
                          const std::function<void(qint64)> &progress);
};

/**
 * Returns the clip module, loaded from beside the program or from where it
 * is installed, once for the whole process; null when it cannot be loaded,
 * with the reason (naming the module) in problem. Safe on any thread.
 */
const ClipService *clipService(QString *problem = nullptr);

/** The name the module's one entry point is exported under. */
inline constexpr char clipServiceEntry[] = "vimbrelClipService";
