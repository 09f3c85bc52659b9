#include "DriveList.h"

#include "window/DriveRoots.h"

#include <QDir>
#include <QSignalBlocker>

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::selectionMoved);
}

void DriveList::setDrives(const QStringList &roots)
{
    // At first the list shows the drive of the process's current folder.
    const QString shown = drive().isEmpty() ? QDir::currentPath() : drive();
    {
        const QSignalBlocker blocker(this);
        clear();
        for (const QString &root : roots)
            addItem(QDir::toNativeSeparators(root), root);
    }
    m_shown = m_previous = -1;
    selectQuietly(findData(DriveRoots::driveHolding(roots, shown)));
}

QStringList DriveList::drives() const
{
    QStringList roots;
    for (int i = 0; i < count(); ++i)
        roots.append(itemData(i).toString());
    return roots;
}

QString DriveList::drive() const
{
    return currentData().toString();
}

bool DriveList::setDrive(const QString &path)
{
    const int index = findData(DriveRoots::driveHolding(drives(), path));
    if (index < 0)
        return false;
    setCurrentIndex(index); // selectionMoved() tells the change, if any
    return true;
}

void DriveList::followFolder(const QString &path)
{
    const int index = findData(DriveRoots::driveHolding(drives(), path));
    if (index >= 0 && index != m_shown)
        selectQuietly(index);
}

QString DriveList::currentFolder(const QString &drive) const
{
    return m_currentFolders.value(drive, drive);
}

void DriveList::rememberFolder(const QString &folder)
{
    const QString root = DriveRoots::driveHolding(drives(), folder);
    if (!root.isEmpty())
        m_currentFolders.insert(root, QDir::fromNativeSeparators(folder));
}

void DriveList::revert()
{
    if (m_previous >= 0)
        selectQuietly(m_previous);
}

void DriveList::selectionMoved(int index)
{
    if (index == m_shown)
        return;
    m_previous = m_shown;
    m_shown = index;
    emit driveChanged();
}

void DriveList::selectQuietly(int index)
{
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
    m_previous = m_shown;
    m_shown = index;
}
