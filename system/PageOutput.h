#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

class FolderHandle;

/**
 * When what a write put in place is made durable: at once, or by a later
 * flushFileSystem() made before anything that vouches for it is written.
 */
enum class Flush { Now, Later };

/**
 * Writes the pages of one folder whole or not at all, with one flush for
 * all of them. Each page goes to a temporary file beside it; commit() makes
 * every temporary durable with one flush of the file system, renames each
 * over its page, then flushes the folder. A kill or a power cut at any point
 * leaves each page either as it was or whole and new, never half written.
 * Nothing is ever written through a link: a page name that is a link, a
 * folder, a pipe or a device is refused, and so is a read-only page or
 * folder (the owner's write bit counts, so the refusal holds for root too).
 * A page whose bytes would not change is left alone. Every message names
 * the page and the reason.
 */
class PageBatch
{
public:
    /** Bytes a temporary's name adds to its page's name: a dot and six letters. */
    static constexpr int temporarySuffixBytes = 7;

    /** Writes into the open folder; every page is named relative to it. */
    explicit PageBatch(const FolderHandle &folder);
    /** Writes into the folder at path, opened once, now. */
    explicit PageBatch(const QString &folder);
    ~PageBatch(); // removes temporaries never committed
    PageBatch(const PageBatch &) = delete;
    PageBatch &operator=(const PageBatch &) = delete;

    /** Writes contents for the page name to a temporary file; returns an empty text or the reason. */
    QString stage(const QString &name, const QByteArray &contents);

    /**
     * Opens a temporary for the page name, to be written piece by piece;
     * returns its descriptor, or -1 with the reason in error. The batch
     * owns the temporary (commit() puts it in place); the caller owns the
     * descriptor and closes it before commit().
     */
    int stageOpen(const QString &name, QString &error);

    /**
     * Puts every staged page in place; returns an empty text or the reason.
     * With Flush::Later, nothing is flushed: after a power cut a page put in
     * place may be empty until the caller's flushFileSystem() has run.
     */
    QString commit(Flush flush = Flush::Now);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/** Writes contents to the file at path whole or not at all, as a batch of one page. */
QString writeWholeFile(const QString &path, const QByteArray &contents);

/** Writes contents to the file name in folder as writeWholeFile() does. */
QString writeWholeFile(const FolderHandle &folder, const QString &name, const QByteArray &contents,
                       Flush flush = Flush::Now);

/** Makes everything written on folder's file system durable; returns an empty text or the reason. */
QString flushFileSystem(const FolderHandle &folder);
