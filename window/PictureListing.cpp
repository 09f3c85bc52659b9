#include "PictureListing.h"

#include "system/NativeName.h"
#include "window/Captions.h"
#include "window/PictureListModel.h"

#include <QLabel>
#include <QListView>
#include <QPromise>
#include <QtConcurrent>

static_assert(PictureListing::lengthRole == PictureListModel::lengthRole);

namespace {

// Runs on a pool thread: each batch becomes a result as soon as it is read,
// and a folder that cannot be read, one result holding only the reason.
void readFolder(QPromise<FolderListing> &promise, const QString &folder, const std::atomic<bool> *cancel,
                Candidates which)
{
    const QString error = listPicturesInBatches(
        folder, [&promise](QList<ListedPicture> &&batch) { promise.addResult(FolderListing{std::move(batch), {}}); },
        cancel, listingBatchSize, which);
    if (!error.isEmpty())
        promise.addResult(FolderListing{{}, error});
}

} // namespace

PictureListing::PictureListing(QListView *list1, QLabel *label1, QLabel *label2, QObject *parent)
    : QObject(parent)
    , m_model(new PictureListModel(this))
    , m_label1(label1)
    , m_label2(label2)
{
    list1->setModel(m_model);
    connect(&m_watcher, &QFutureWatcher<FolderListing>::resultsReadyAt, this, &PictureListing::takeBatches);
    connect(&m_watcher, &QFutureWatcher<FolderListing>::finished, this, &PictureListing::finish);
}

PictureListing::~PictureListing()
{
    if (m_cancel)
        m_cancel->store(true);
    m_watcher.waitForFinished();
}

QString PictureListing::picturesCaption(qint64 count)
{
    return QStringLiteral("Number of pictures: ") + QString::number(count);
}

QString PictureListing::pagesCaption(qint64 count, qint64 perPage)
{
    const qint64 pages = perPage == picturesPerPage ? pageEstimate(count) : (count + perPage - 1) / perPage;
    return QStringLiteral("Number of HTML pages: ") + QString::number(pages);
}

void PictureListing::setPicturesPerPage(qint64 perPage)
{
    m_perPage = std::max<qint64>(1, perPage);
    if (m_error.isEmpty())
        showCount(m_model->rowCount());
}

void PictureListing::ListGiff(const QString &folder)
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_folder = folder;
    m_error.clear();
    // Emptying the list is not a selection: a reset clears the selection
    // without a signal, so the preview keeps its picture.
    m_model->clear();
    showCount(0);
    emit started(folder);

    // setFuture() drops the superseded listing's pending signals: none of its batches arrives here.
    m_watcher.setFuture(QtConcurrent::run([folder, cancel = m_cancel, which = m_candidates](QPromise<FolderListing> &promise) {
        readFolder(promise, folder, cancel.get(), which);
    }));
}

void PictureListing::setCandidates(Candidates which)
{
    if (which == m_candidates)
        return;
    m_candidates = which;
    if (!m_folder.isEmpty())
        ListGiff(m_folder);
}

QString PictureListing::folder() const
{
    return m_folder;
}

bool PictureListing::isSuperseded() const
{
    return !m_cancel || m_cancel->load();
}

void PictureListing::takeBatches(int begin, int end)
{
    if (isSuperseded())
        return;
    const int before = m_model->rowCount();
    for (int i = begin; i < end; ++i) {
        const FolderListing part = m_watcher.resultAt(i);
        if (!part.error.isEmpty())
            m_error = part.error;
        m_model->append(part.pictures);
    }
    if (m_model->rowCount() == before)
        return;
    showCount(m_model->rowCount());
    emit counted(m_model->rowCount());
}

void PictureListing::finish()
{
    if (isSuperseded())
        return;
    if (!m_error.isEmpty())
        showError(m_error);
    emit listed(m_folder);
}

void PictureListing::showCount(qint64 count)
{
    Captions::set(m_label1, picturesCaption(count));
    Captions::set(m_label2, pagesCaption(count, m_perPage));
}

void PictureListing::showError(const QString &error)
{
    // "0 pictures" would pass an unreadable folder off as an empty one.
    Captions::set(m_label1, NativeName::printable(error));
    Captions::set(m_label2, QString());
}
