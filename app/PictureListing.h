#pragma once

#include "catalogue/FolderListing.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <memory>

class QLabel;
class QListWidget;

/**
 * ListGiff: fills List1 with the pictures of a folder, each entry carrying
 * the file's length in bytes (its ItemData, under Qt::UserRole), and shows
 * the count in Label1 and the page estimate in Label2. The folder is read on
 * a worker thread (listPictures from the core); the list is filled on the
 * window's thread. A newer listing supersedes one still in progress.
 */
class PictureListing : public QObject
{
    Q_OBJECT

public:
    PictureListing(QListWidget *list1, QLabel *label1, QLabel *label2, QObject *parent);
    ~PictureListing() override;

    /** The role under which each List1 entry keeps its length in bytes. */
    static constexpr int lengthRole = Qt::UserRole;

    /** Returns "Number of pictures: " and count. */
    static QString picturesCaption(qint64 count);

    /** Returns "Number of HTML pages: " and the number of pages count pictures fill. */
    static QString pagesCaption(qint64 count);

    /** Empties the list and lists folder's pictures into it. */
    void ListGiff(const QString &folder);

    /** Returns the folder of the latest listing. */
    QString folder() const;

    /** Returns true while a listing is being read. */
    bool isBusy() const;

signals:
    /** A listing of folder began; the list is empty. */
    void started(const QString &folder);

    /** The list holds the pictures of folder (or nothing, when it could not be read). */
    void listed(const QString &folder);

private:
    void fill();
    void showCount(qint64 count);

    QListWidget *m_list1;
    QLabel *m_label1;
    QLabel *m_label2;
    QFutureWatcher<FolderListing> m_watcher;
    // Each listing has its own flag: a superseded one is told to stop and its
    // result is never looked at, while the newer one runs on.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QString m_folder;
};
