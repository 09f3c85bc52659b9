#include "PictureListModel.h"

PictureListModel::PictureListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int PictureListModel::rowCount(const QModelIndex &parent) const
{
    // A list has no children; the views ask with a row as parent too.
    return parent.isValid() ? 0 : int(m_pictures.size());
}

QVariant PictureListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ListedPicture &picture = m_pictures.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return picture.name;
    case lengthRole:
        return picture.length;
    default:
        return {};
    }
}

void PictureListModel::clear()
{
    beginResetModel();
    m_pictures.clear();
    endResetModel();
}

void PictureListModel::append(const QList<ListedPicture> &pictures)
{
    if (pictures.isEmpty())
        return;
    const int first = int(m_pictures.size());
    beginInsertRows({}, first, first + int(pictures.size()) - 1);
    m_pictures.append(pictures);
    endInsertRows();
}
