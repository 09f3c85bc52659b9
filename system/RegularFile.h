#pragma once

#include <QString>

#include <memory>

class QFile;

/** Why a file could not be opened as a picture. */
struct OpenProblem {
    QString reason;           // in a user's words; empty when the file is open
    bool systemFailure = false; // the system ran out of something: a run cannot go on
};

/** A regular file open for reading, or why it is not. */
struct OpenedFile {
    std::unique_ptr<QFile> file; // open for reading, unbuffered; null on failure
    qint64 length = 0;           // bytes, from the same open file
    OpenProblem problem;
};

/**
 * Opens the file at path for reading, following a link to it, and only when
 * it is a regular file: a pipe, socket or device is refused with a reason
 * that says what it is, and opening never blocks. Safe on any thread.
 */
OpenedFile openRegularFile(const QString &path);

/**
 * Returns the reason the system gave, errno on Unix, in a user's words for
 * the file at path: a dangling link, a loop of links, a name too long.
 */
OpenProblem describeOpenFailure(const QString &path, int error);

/** Returns why a file of the given kind (st_mode on Unix) is not a picture file. */
OpenProblem describeFileKind(unsigned mode);

/**
 * Returns true when this process can open count more files now. A run that
 * starts threads and decoders checks first: past the system's limit some of
 * them give up on their own (a picture reader not loaded, a thread that
 * cannot wait), where a check names the reason. Always true elsewhere than Unix.
 */
bool haveSpareFileHandles(int count);
