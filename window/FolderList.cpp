#include "FolderList.h"

#include "system/FolderEnumeration.h"
#include "system/NativeName.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>
#include <QtConcurrent>

namespace {

constexpr int pathRole = Qt::UserRole;

// The folders from the root down to folder, folder included.
QStringList chainTo(const QString &folder)
{
    QStringList chain;
    QDir dir(folder);
    do {
        chain.prepend(dir.absolutePath());
    } while (dir.cdUp());
    return chain;
}

QString caption(const QString &folder)
{
    const QString name = QFileInfo(folder).fileName();
    return NativeName::printable(name.isEmpty() ? QDir::toNativeSeparators(folder) : name); // a root has no name
}

// Runs on a pool thread: it touches no widget.
SubFolders listSubFolders(const QString &folder)
{
    return {folder, subFolderNames(folder)};
}

} // namespace

FolderList::FolderList(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(8);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(false);
    // itemActivated is a double-click or Enter, as the platform defines them.
    connect(this, &QTreeWidget::itemActivated, this, &FolderList::open);
    connect(&m_listing, &QFutureWatcher<SubFolders>::finished, this, &FolderList::showSubFolders);
}

FolderList::~FolderList()
{
    // A listing cannot be stopped midway; no pool thread may outlive the list it was for.
    m_listing.waitForFinished();
}

QString FolderList::path() const
{
    return m_path;
}

bool FolderList::setPath(const QString &folder, QString *reason)
{
    const QString wanted = folder.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    const QString problem = wanted.isEmpty() ? QStringLiteral("No folder was given.") : folderProblem(wanted);
    if (!problem.isEmpty()) {
        if (reason)
            *reason = problem;
        return false;
    }
    if (wanted == m_path)
        return true;
    m_path = wanted;
    rebuild();
    emit pathChanged();
    return true;
}

void FolderList::drawBranches(QPainter *, const QRect &, const QModelIndex &) const
{
    // No fold arrows: every folder shown stays open, as in a classic folder list.
}

void FolderList::open(QTreeWidgetItem *item)
{
    const QString folder = item->data(0, pathRole).toString();
    QString reason;
    if (!setPath(folder, &reason))
        emit openFailed(QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(folder), reason));
}

void FolderList::rebuild()
{
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QTreeWidgetItem *parent = nullptr;
    for (const QString &folder : chainTo(m_path)) {
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, caption(folder));
        item->setIcon(0, openIcon);
        item->setData(0, pathRole, folder);
        if (parent)
            parent->setExpanded(true); // an item without children yet would stay folded
        parent = item;
    }
    m_folderItem = parent;
    setCurrentItem(m_folderItem);
    scrollToItem(m_folderItem);
    // setFuture() drops the superseded listing's signals: its result never arrives here.
    m_listing.setFuture(QtConcurrent::run(listSubFolders, m_path));
}

void FolderList::showSubFolders()
{
    const SubFolders listed = m_listing.result();
    if (listed.folder != m_path)
        return;
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QDir dir(listed.folder);
    for (const QString &name : listed.names) {
        auto *item = new QTreeWidgetItem(m_folderItem);
        item->setText(0, NativeName::printable(name));
        item->setIcon(0, closedIcon);
        item->setData(0, pathRole, dir.filePath(name));
    }
    m_folderItem->setExpanded(true);
    // Centred, so that some ancestors show above the current folder and some sub-folders below.
    scrollToItem(m_folderItem, QAbstractItemView::PositionAtCenter);
    emit subFoldersListed();
}
