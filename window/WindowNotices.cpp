#include "WindowNotices.h"

#include <QMutexLocker>

WindowNotices::WindowNotices(QObject *parent)
    : QObject(parent)
{
}

void WindowNotices::read(qint64 count, const QString &path)
{
    {
        QMutexLocker lock(&m_mutex);
        m_progress.count = count;
        m_progress.path = path;
    }
    signalProgress();
}

void WindowNotices::thumbnailed(qint64 count)
{
    {
        QMutexLocker lock(&m_mutex);
        m_progress.thumbnails = count;
    }
    signalProgress();
}

void WindowNotices::clipProgress(const QString &text)
{
    {
        QMutexLocker lock(&m_mutex);
        m_progress.clip = text;
    }
    signalProgress();
}

void WindowNotices::signalProgress()
{
    // Stored before the flag is tested: a reader that cleared the flag either
    // sees this progress now or gets another signal for it.
    if (!m_signalPending.exchange(true))
        emit progressed();
}

void WindowNotices::completed(const QList<SkippedFile> &skipped)
{
    QMutexLocker lock(&m_mutex);
    m_skipped = skipped;
}

void WindowNotices::olderPagesLeft(const QString &pages)
{
    QMutexLocker lock(&m_mutex);
    m_olderPages += (m_olderPages.isEmpty() ? QString() : QStringLiteral("\n")) + pages;
}

void WindowNotices::albumsWritten(qint64 albums, qint64 pictures)
{
    QMutexLocker lock(&m_mutex);
    m_albums = albumsLine(albums, pictures);
}

void WindowNotices::albumsUnfinished(const QString &line)
{
    QMutexLocker lock(&m_mutex);
    if (!m_failure.isEmpty()) // a stopped run closes the window: nothing is shown
        m_failure += QStringLiteral("\n\n") + line;
}

void WindowNotices::failed(const QString &message)
{
    QMutexLocker lock(&m_mutex);
    m_failure = message;
}

void WindowNotices::reset()
{
    QMutexLocker lock(&m_mutex);
    m_progress = {};
    m_skipped.clear();
    m_failure.clear();
    m_olderPages.clear();
    m_albums.clear();
}

WindowNotices::Progress WindowNotices::takeProgress()
{
    m_signalPending.store(false);
    QMutexLocker lock(&m_mutex);
    return m_progress;
}

QList<SkippedFile> WindowNotices::skipped() const
{
    QMutexLocker lock(&m_mutex);
    return m_skipped;
}

QString WindowNotices::failure() const
{
    QMutexLocker lock(&m_mutex);
    return m_failure;
}

QString WindowNotices::olderPages() const
{
    QMutexLocker lock(&m_mutex);
    return m_olderPages;
}

QString WindowNotices::albums() const
{
    QMutexLocker lock(&m_mutex);
    return m_albums;
}
