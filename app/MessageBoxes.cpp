#include "MessageBoxes.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(MessageBoxes::Icon icon)
{
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtMessageBoxes::show(QWidget *parent, Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}
