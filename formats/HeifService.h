#pragma once

#include "formats/HeifDecoding.h"

/**
 * What the HEIF module does, through libheif and its codecs. The module is
 * loaded the first time a HEIC or AVIF photo is met, so a run without them
 * (every classic run) never maps libheif, x265, libde265, libaom and dav1d.
 */
struct HeifService {
    /** Raised when an operation's signature changes: a module of another version is not used. */
    static constexpr int version = 1;
    int moduleVersion = version;

    HeifHeader (*readHeader)(ByteSource &source, qint64 workingBytes, const std::atomic<bool> *stop);
    HeifDecoded (*decode)(ByteSource &source, const HeifLimits &limits);
};

/**
 * Returns the HEIF module, loaded once for the whole process; null when it
 * cannot be loaded, with the reason (naming the module) in problem. Safe on
 * any thread.
 */
const HeifService *heifService(QString *problem = nullptr);

/** The name the module's one entry point is exported under. */
inline constexpr char heifServiceEntry[] = "vimbrelHeifService";
