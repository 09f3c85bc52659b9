#pragma once

#include <QTreeWidget>

/**
 * Dir1, the folder list. Like a classic folder list it shows the current
 * folder's ancestors from the root down, the current folder open, and its
 * sub-folders below it; a double-click or Enter on a folder opens it.
 * UI thread only.
 */
class FolderList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent);

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

protected:
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;

private:
    void open(QTreeWidgetItem *item);
    void rebuild();

    QString m_path;
};
