#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTextEdit;

/**
 * The About box: title, version, description, freeware notice and
 * disclaimer. Its texts are composed when it is built, so each showing
 * starts from a fresh box: `frmAbout about(window); about.exec();`.
 */
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeControls();
    void Form_Load();

    QPushButton *cmdOK;
    QLabel *picIcon;   // the program icon in a sunken frame
    QLabel *lblTitle;
    QLabel *lblVersion;
    QTextEdit *Text1;  // description and freeware notice
    QTextEdit *Text2;  // disclaimer
    QFrame *Line1;     // the etched line between them
};
