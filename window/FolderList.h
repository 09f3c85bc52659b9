#pragma once

#include <QFutureWatcher>
#include <QTreeWidget>

/** The sub-folders of folder, as a worker thread listed them. */
struct SubFolders {
    QString folder;
    QStringList names; // in name order, case ignored; no hidden folders
};

/**
 * Dir1, the folder list. Like a classic folder list it shows the current
 * folder's ancestors from the root down, the current folder open, and its
 * sub-folders below it; a double-click or Enter on a folder opens it.
 * UI thread only; the sub-folders are listed on a worker thread, so a slow
 * or large folder never freezes the window, and only the newest listing asked
 * for is shown.
 */
class FolderList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent);
    ~FolderList() override;

    /** Returns the folder shown, with '/' separators and no trailing one except at a root. */
    QString path() const;

    /**
     * Shows folder. When it does not exist or cannot be read, returns false
     * with the reason in *reason and changes nothing. pathChanged() follows
     * only when the path changes.
     */
    bool setPath(const QString &folder, QString *reason = nullptr);

signals:
    /** The folder shown changed, opened by the user or assigned. */
    void pathChanged();

    /** The user opened a folder that cannot be shown; message names it and the reason. */
    void openFailed(const QString &message);

    /** The sub-folders of the folder shown are in place below it. */
    void subFoldersListed();

protected:
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;

private:
    void open(QTreeWidgetItem *item);
    void rebuild();
    void showSubFolders();

    QString m_path;
    QTreeWidgetItem *m_folderItem = nullptr; // the folder shown; replaced with every rebuild
    QFutureWatcher<SubFolders> m_listing;
};
