#pragma once

#include "formats/HeifDecoding.h"

/**
 * The HEIF work itself, through libheif: readHeifHeader() and decodeHeif()
 * as HeifDecoding.h tells them. Linked into the HEIF module, which the
 * program loads the first time it meets a HEIC or AVIF photo, and straight
 * into the tests and the fuzz target.
 */
HeifHeader readHeifHeaderWithLibheif(ByteSource &source, qint64 workingBytes = 0, const std::atomic<bool> *stop = nullptr);
HeifDecoded decodeHeifWithLibheif(ByteSource &source, const HeifLimits &limits);
