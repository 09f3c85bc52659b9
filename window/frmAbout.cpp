#include "frmAbout.h"

#include "common/ProgramInfo.h"
#include "window/FocusMark.h"
#include "window/ProgramIcon.h"

#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextEdit>

namespace {

const QString crLf = QStringLiteral("\r\n");

QString freewareNotice()
{
    return QStringLiteral("This program is freeware, and its source code can be had on request "
                          "by e-mail from ")
        + QLatin1String(ProgramInfo::contactAddress);
}

QString disclaimer()
{
    return QStringLiteral(
        "This program is provided as it is, without warranty of any kind. You use it at your own "
        "risk: the author is not liable for any damage or loss of data that may come from using it. "
        "It writes its pages into the folder you choose and replaces any index pages of the same "
        "names there.");
}

// The text boxes show CR LF as one line break, as the text is composed.
void setText(QTextEdit *box, const QString &text)
{
    box->setPlainText(QString(text).replace(crLf, QStringLiteral("\n")));
}

QTextEdit *textBox(QWidget *parent, const char *name)
{
    auto *box = new QTextEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setAcceptRichText(false);
    box->setTabChangesFocus(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return box;
}

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , cmdOK(new QPushButton(QStringLiteral("OK"), this))
    , picIcon(new QLabel(this))
    , lblTitle(new QLabel(this))
    , lblVersion(new QLabel(this))
    , Text1(textBox(this, "Text1"))
    , Text2(textBox(this, "Text2"))
    , Line1(new QFrame(this))
{
    setModal(true);
    setFixedSize(382, 300);
    setWindowIcon(programIcon());
    placeControls();
    Form_Load();

    // OK is both the default and the cancel button: Enter and Esc close the
    // box, Enter only outside the text boxes.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
    setTabOrder(cmdOK, picIcon);
    setTabOrder(picIcon, Text1);
    setTabOrder(Text1, Text2);
    new FocusMark(this); // the icon takes the focus too, and no style marks a focused label
    cmdOK->setFocus();
}

void frmAbout::placeControls()
{
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(284, 266, 84, 23);

    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(16, 16, 36, 36);
    picIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picIcon->setLineWidth(2);
    picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picIcon->setFocusPolicy(Qt::TabFocus);
    const QImage icon(ProgramInfo::iconResource());
    picIcon->setPixmap(QPixmap::fromImage(icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(70, 16, 259, 32);
    QFont titleFont = lblTitle->font();
    if (titleFont.pointSizeF() > 0) // a font set in pixels has no point size
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont); // in the palette's text colour, readable in a dark theme too

    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(70, 52, 259, 15);

    Text1->setGeometry(16, 82, 319, 90);
    Text2->setGeometry(13, 199, 260, 89);

    // The etched separator between the two text boxes, its two lines at y 184
    // and 185 in the palette's shadow and light colours, as the theme has them.
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Line1->setLineWidth(1);
    Line1->setMidLineWidth(0);
    Line1->setGeometry(6, 184, 375, 2);
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + ProgramInfo::title());
    lblVersion->setText(QStringLiteral("Version ") + ProgramInfo::version());
    lblTitle->setText(ProgramInfo::title());
    setText(Text1, ProgramInfo::title()
                       + QStringLiteral(" produces HTML pages showing all GIF and/or JPG pictures from "
                                        "the directory you select (10 pictures/page).")
                       + crLf + crLf + freewareNotice());
    setText(Text2, QStringLiteral("Disclaimer:") + crLf + crLf + disclaimer());
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == Text1 || watched == Text2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true; // Enter in a text box does not close the box
    }
    return QDialog::eventFilter(watched, event);
}
