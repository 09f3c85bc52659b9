#include "MessageBoxes.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>

namespace {

// QMessageBox fits its width to its text alone: "Completed" under the title
// "HTML" made a box whose title bar had no room left for the title. These
// are logical pixels: the bar's icon and three buttons, and a width that
// looks like a box rather than a tag.
constexpr int titleBarExtras = 140;
constexpr int leastWidth = 260;

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
    makeRoomForTitle(box);
    box.exec();
}

void QtMessageBoxes::makeRoomForTitle(QMessageBox &box)
{
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int width = std::max(leastWidth, metrics.horizontalAdvance(box.windowTitle()) + titleBarExtras);
    // QMessageBox sets its own fixed size each time it is shown, from its
    // layout's minimum: a minimum width set on the box would be overridden.
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    // The layout owns the spacer.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}
