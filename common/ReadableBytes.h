#pragma once

#include <QString>

/**
 * Returns a number of bytes as a person reads it, in the decimal units
 * file managers show: "512 bytes", "820 kB", "1.4 MB", "96 MB", "3.1 GB".
 */
QString readableBytes(qint64 bytes);
