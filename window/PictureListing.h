#pragma once

#include "catalogue/FolderListing.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <memory>

class PictureListModel;
class QLabel;
class QListView;

/**
 * ListGiff: fills List1 with the pictures of a folder, each entry carrying
 * the file's length in bytes (under lengthRole), and shows the count in
 * Label1 and the page estimate in Label2. The folder is read on a worker
 * thread (listPicturesInBatches from the core), which hands the pictures over
 * in batches; each batch is added to List1's model and counted on the
 * window's thread, so a large folder fills and counts up without stalling
 * the window. A newer listing supersedes one still in progress.
 */
class PictureListing : public QObject
{
    Q_OBJECT

public:
    /** Gives list1 the model this listing fills. */
    PictureListing(QListView *list1, QLabel *label1, QLabel *label2, QObject *parent);
    ~PictureListing() override;

    /** The role under which each List1 entry keeps its length in bytes. */
    static constexpr int lengthRole = Qt::UserRole;

    /** Returns "Number of pictures: " and count. */
    static QString picturesCaption(qint64 count);

    /** Returns "Number of HTML pages: " and the number of pages count pictures fill, perPage a page. */
    static QString pagesCaption(qint64 count, qint64 perPage = picturesPerPage);

    /** Counts the pages at perPage pictures a page from now on (the gallery's pages hold more than ten). */
    void setPicturesPerPage(qint64 perPage);

    /** Lists which files from now on (the gallery shows phone photos too), listing the folder again when that changes. */
    void setCandidates(Candidates which);

    /** Empties the list and lists folder's pictures into it. */
    void ListGiff(const QString &folder);

    /** Returns the folder of the latest listing. */
    QString folder() const;

signals:
    /** A listing of folder began; the list is empty. */
    void started(const QString &folder);

    /** The list holds the first pictures of the folder so far, and the counts show them. */
    void counted(qint64 pictures);

    /**
     * The list holds the pictures of folder; or, when it could not be read,
     * nothing, and Label1 says why.
     */
    void listed(const QString &folder);

private:
    void takeBatches(int begin, int end);
    void finish();
    void showCount(qint64 count);
    void showError(const QString &error);
    bool isSuperseded() const;

    PictureListModel *m_model;
    QLabel *m_label1;
    QLabel *m_label2;
    QFutureWatcher<FolderListing> m_watcher; // each result is a batch of pictures, or the error
    // Each listing has its own flag: a superseded one is told to stop and its
    // results are never looked at, while the newer one runs on.
    std::shared_ptr<std::atomic<bool>> m_cancel;
    QString m_folder;
    QString m_error;
    qint64 m_perPage = picturesPerPage;
    Candidates m_candidates = Candidates::Classic;
};
