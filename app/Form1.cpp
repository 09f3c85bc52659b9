#include "Form1.h"

#include "platform/ProgramInfo.h"

Form1::Form1(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(ProgramInfo::title());
}
