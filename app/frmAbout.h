#pragma once

#include <QDialog>

/** The About box: title, version, description, notice and disclaimer. */
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);
};
