#pragma once

#include <QByteArray>
#include <QString>

/**
 * Returns a number of bytes as a person reads it, in the decimal units
 * file managers show: "512 bytes", "820 kB", "1.4 MB", "96 MB", "3.1 GB".
 */
QString readableBytes(qint64 bytes);

/** Appends readableBytes(bytes) to text, in ASCII: an album's captions are made without a string each. */
void appendReadableBytes(QByteArray &text, qint64 bytes);
