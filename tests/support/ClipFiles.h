#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace ClipFiles {

/**
 * Makes the clip at path with ffmpeg from a still picture held for seconds
 * (its four quadrants tell every turn apart) and a tone, encoded with args
 * ("-c:v", "libx264", ...); then sets tags with exiftool ("-Rotation=90").
 * Returns an empty text or what went wrong. Each tool has a deadline.
 */
QString makeClip(const QString &path, const QImage &picture, double seconds, const QStringList &args,
                 const QStringList &tags = {});

/** Runs ffmpeg with args after "-v error -y"; returns an empty text or what went wrong. */
QString ffmpeg(const QStringList &args);

/** Returns what ffprobe says of the file's streams and tags, "key=value" a line. */
QString probe(const QString &path);

} // namespace ClipFiles
