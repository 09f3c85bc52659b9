#include "ProgramIcon.h"

namespace {

QIcon embeddedIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/vimbrel/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

QIcon programIcon()
{
    return QIcon::fromTheme(programIconName(), embeddedIcon());
}

QString programIconName()
{
    return QStringLiteral(VIMBREL_APP_ID);
}
