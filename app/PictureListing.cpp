#include "PictureListing.h"

#include "app/Captions.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QtConcurrent>

PictureListing::PictureListing(QListWidget *list1, QLabel *label1, QLabel *label2, QObject *parent)
    : QObject(parent)
    , m_list1(list1)
    , m_label1(label1)
    , m_label2(label2)
{
    connect(&m_watcher, &QFutureWatcher<FolderListing>::finished, this, &PictureListing::fill);
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

QString PictureListing::pagesCaption(qint64 count)
{
    return QStringLiteral("Number of HTML pages: ") + QString::number(pageEstimate(count));
}

void PictureListing::ListGiff(const QString &folder)
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_folder = folder;
    {
        // Emptying the list is not a selection: the preview keeps its picture.
        const QSignalBlocker blocker(m_list1);
        m_list1->clear();
    }
    showCount(0);
    emit started(folder);

    // setFuture() drops the superseded listing's signals: its result never arrives here.
    m_watcher.setFuture(QtConcurrent::run([folder, cancel = m_cancel] { return listPictures(folder, cancel.get()); }));
}

QString PictureListing::folder() const
{
    return m_folder;
}

bool PictureListing::isBusy() const
{
    return m_watcher.isRunning();
}

void PictureListing::fill()
{
    const FolderListing listing = m_watcher.result();
    if (m_cancel->load())
        return;
    {
        const QSignalBlocker blocker(m_list1);
        m_list1->setUpdatesEnabled(false);
        for (const ListedPicture &picture : listing.pictures) {
            auto *item = new QListWidgetItem(picture.name, m_list1);
            item->setData(lengthRole, picture.length);
        }
        m_list1->setUpdatesEnabled(true);
    }
    showCount(listing.pictures.size());
    emit listed(m_folder);
}

void PictureListing::showCount(qint64 count)
{
    Captions::set(m_label1, picturesCaption(count));
    Captions::set(m_label2, pagesCaption(count));
}
