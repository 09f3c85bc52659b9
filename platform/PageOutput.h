#pragma once

#include <QByteArray>
#include <QString>

/**
 * Writes contents to the file at path whole or not at all: a temporary file
 * renamed into place, so a failed or interrupted write leaves any earlier
 * file as it was. A read-only file or folder is refused even where the
 * process could override it. Returns an empty text on success, else a
 * message naming the file and the reason.
 */
QString writeWholeFile(const QString &path, const QByteArray &contents);
