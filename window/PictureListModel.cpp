#include "PictureListModel.h"

#include "system/NativeName.h"

#include <QTextDocument>

namespace {

// The list is narrow and cuts long names: the tool tip gives the whole name,
// on one line, as text even when it looks like markup, as a tool tip would
// otherwise render "<b>x</b>.gif" in bold.
QString wholeName(const QString &name)
{
    return Qt::convertFromPlainText(NativeName::printable(name), Qt::WhiteSpaceNoWrap);
}

} // namespace

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
    case Qt::ToolTipRole:
        return wholeName(picture.name);
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
