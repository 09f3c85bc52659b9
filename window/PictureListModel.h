#pragma once

#include "catalogue/FolderListing.h"

#include <QAbstractListModel>

/**
 * The pictures List1 shows: each row a file name, with its length in bytes
 * under lengthRole. Filled a batch at a time, so that a folder of a hundred
 * thousand pictures never costs one item object a row. UI thread only.
 */
class PictureListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int lengthRole = Qt::UserRole;

    explicit PictureListModel(QObject *parent);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /** Removes every row. */
    void clear();

    /** Adds pictures after the last row. */
    void append(const QList<ListedPicture> &pictures);

private:
    QList<ListedPicture> m_pictures;
};
