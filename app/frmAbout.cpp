#include "frmAbout.h"

#include "platform/ProgramInfo.h"

// Placeholder until the About box is built.
frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About ") + ProgramInfo::title());
}
