#include "Form1Controls.h"

#include "preview/PicturePreview.h"
#include "window/CommandButton.h"
#include "window/DriveList.h"
#include "window/FolderList.h"

#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

#include <array>

namespace {

struct Design {
    const char *name;
    QRect geometry;
};

// Design places at 96 dots per inch. The scroll bars' places hold only until
// the preview's first resize puts them beside the viewport.
const std::array<Design, 14> designs = {{
    {"Drive1", {16, 8, 161, 21}},
    {"Dir1", {16, 40, 161, 81}},
    {"List1", {16, 128, 161, 173}},
    {"Command1", {18, 309, 158, 21}},
    {"Label2", {19, 339, 43, 13}},
    {"Label5", {20, 368, 117, 13}},
    {"Picture1", {192, 8, 401, 339}},
    {"Picture2", {0, 0, 34, 34}},
    {"HScroll1", {447, 349, 145, 17}},
    {"VScroll1", {600, 32, 17, 97}},
    {"Label4", {192, 367, 57, 13}},
    {"Label3", {255, 367, 3, 13}},
    {"Label1", {192, 381, 27, 13}},
    {"Command3", {511, 378, 81, 20}},
}};

const QColor viewportColour(192, 0, 192);
constexpr int captionGap = 6; // between Label4 and Label3, as designed

template<typename Control>
Control *place(Control *control, const char *name)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(Form1Controls::designGeometry(QLatin1String(name)));
    return control;
}

QFrame *makeViewport(QWidget *client)
{
    auto *viewport = place(new QFrame(client), "Picture1");
    viewport->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    viewport->setLineWidth(2);
    QPalette palette = viewport->palette();
    palette.setColor(QPalette::Window, viewportColour);
    viewport->setPalette(palette);
    viewport->setAutoFillBackground(true);
    // Only the scroll bars move the picture: a focus here would do nothing.
    viewport->setFocusPolicy(Qt::NoFocus);
    return viewport;
}

QLabel *makeHolder(QFrame *viewport)
{
    auto *holder = place(new QLabel(viewport), "Picture2");
    holder->setFrameStyle(QFrame::Box | QFrame::Plain);
    holder->setLineWidth(1);
    holder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The window's own background shows through a picture's transparent
    // pixels, not the viewport's purple that the holder would inherit.
    QPalette palette = holder->palette();
    palette.setColor(QPalette::Window, QApplication::palette(holder).color(QPalette::Window));
    palette.setColor(QPalette::WindowText, QApplication::palette(holder).color(QPalette::WindowText));
    holder->setPalette(palette);
    holder->setAutoFillBackground(true);
    holder->setFocusPolicy(Qt::NoFocus);
    return holder;
}

QScrollBar *makeScrollBar(QWidget *client, Qt::Orientation orientation, const char *name)
{
    auto *bar = place(new QScrollBar(orientation, client), name);
    bar->setRange(0, 0);
    bar->setSingleStep(PicturePreview::arrowStep);
    bar->setPageStep(PicturePreview::trackStep);
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

void describe(QWidget *control, const QString &name, const QString &description)
{
    if (!name.isEmpty())
        control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

// A label showing a value is named after what it shows, so that a screen
// reader says "Number of pictures: 12" rather than a bare number, and names
// what it will show while it is still empty. Renaming is announced, so only a
// new name is set.
void nameAfterText(QLabel *label, const QString &whenEmpty, const QString &prefix = {})
{
    const QString name = label->text().isEmpty() ? whenEmpty : prefix + label->text();
    if (label->accessibleName() != name)
        label->setAccessibleName(name);
}

QLabel *makeLabel(QWidget *client, const char *name, const QString &caption = {})
{
    auto *label = place(new QLabel(caption, client), name);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

QListView *makePictureList(QWidget *client)
{
    auto *list = place(new QListView(client), "List1");
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is one line of text: the view need not measure a hundred
    // thousand rows to lay them out.
    list->setUniformItemSizes(true);
    return list;
}

// The page style: two exclusive items; the window checks the stored one.
void addPagesMenu(QMainWindow *window, Form1Controls &c)
{
    QMenu *pages = window->menuBar()->addMenu(QStringLiteral("&Pages"));
    pages->setObjectName(QStringLiteral("mnuPages"));
    auto *styles = new QActionGroup(pages);
    styles->setExclusive(true);
    c.mnuClassicPages = pages->addAction(QStringLiteral("Classic pages"));
    c.mnuClassicPages->setObjectName(QStringLiteral("mnuClassicPages"));
    c.mnuGalleryPages = pages->addAction(QStringLiteral("Gallery pages with thumbnails"));
    c.mnuGalleryPages->setObjectName(QStringLiteral("mnuGalleryPages"));
    for (QAction *item : {c.mnuClassicPages, c.mnuGalleryPages}) {
        item->setCheckable(true);
        styles->addAction(item);
    }
    c.mnuClassicPages->setChecked(true);
    // The gallery's order: natural name order, or by date taken.
    pages->addSeparator();
    auto *orders = new QActionGroup(pages);
    orders->setExclusive(true);
    c.mnuOrderByName = pages->addAction(QStringLiteral("Gallery in name order"));
    c.mnuOrderByName->setObjectName(QStringLiteral("mnuOrderByName"));
    c.mnuOrderByDate = pages->addAction(QStringLiteral("Gallery in order of date taken"));
    c.mnuOrderByDate->setObjectName(QStringLiteral("mnuOrderByDate"));
    for (QAction *item : {c.mnuOrderByName, c.mnuOrderByDate}) {
        item->setCheckable(true);
        orders->addAction(item);
    }
    c.mnuOrderByName->setChecked(true);
    c.mnuSubFolders = pages->addAction(QStringLiteral("Include sub-folders"));
    c.mnuSubFolders->setObjectName(QStringLiteral("mnuSubFolders"));
    c.mnuSubFolders->setCheckable(true);
}

} // namespace

QRect Form1Controls::designGeometry(const QString &objectName)
{
    for (const Design &design : designs) {
        if (objectName == QLatin1String(design.name))
            return design.geometry;
    }
    return {};
}

Form1Controls Form1Controls::create(QMainWindow *window, QWidget *client)
{
    Form1Controls c;
    // Created in tab order, which QWidget::setTabOrder then confirms.
    c.Command1 = place(new CommandButton(QStringLiteral("Genarate Html"), client), "Command1");
    c.Drive1 = place(new DriveList(client), "Drive1");
    c.Dir1 = place(new FolderList(client), "Dir1");
    c.Label1 = makeLabel(client, "Label1");
    c.Label2 = makeLabel(client, "Label2");
    c.List1 = makePictureList(client);
    c.Picture1 = makeViewport(client);
    c.Picture2 = makeHolder(c.Picture1);
    c.PreviewFailure = makeLabel(c.Picture1, "PreviewFailure"); // the preview places it
    c.HScroll1 = makeScrollBar(client, Qt::Horizontal, "HScroll1");
    c.VScroll1 = makeScrollBar(client, Qt::Vertical, "VScroll1");
    c.Label3 = makeLabel(client, "Label3");
    c.Command3 = place(new CommandButton(QStringLiteral("&Close"), client), "Command3");
    c.Label4 = makeLabel(client, "Label4", QStringLiteral("Picture size:"));
    c.Label5 = makeLabel(client, "Label5");

    const QList<QWidget *> tabOrder = {c.Command1, c.Drive1,   c.Dir1,    c.List1,
                                       c.HScroll1, c.VScroll1, c.Command3};
    for (qsizetype i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    c.mnuAbout = window->menuBar()->addAction(QStringLiteral("&About"));
    c.mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    addPagesMenu(window, c);

    c.nameForScreenReaders();
    c.fitCaptions();
    return c;
}

void Form1Controls::nameForScreenReaders()
{
    // The lists and the scroll bars have no caption on the window to take a
    // name from; the buttons are named by their captions.
    describe(Drive1, QStringLiteral("Drive"), QStringLiteral("The drive whose folders are listed"));
    describe(Dir1, QStringLiteral("Folders"), QStringLiteral("Press Enter or double-click to open a folder"));
    describe(List1, QStringLiteral("Pictures"),
             QStringLiteral("The GIF and JPEG pictures of the folder; select one to preview it"));
    describe(Picture1, QStringLiteral("Preview"), {});
    describe(Picture2, QStringLiteral("Previewed picture"), {});
    describe(PreviewFailure, {}, QStringLiteral("Why the picture selected is not shown"));
    describe(HScroll1, QStringLiteral("Horizontal picture scroll"), QStringLiteral("Moves the picture left and right"));
    describe(VScroll1, QStringLiteral("Vertical picture scroll"), QStringLiteral("Moves the picture up and down"));
    describe(Command1, {}, QStringLiteral("Writes the index pages into the folder shown"));
    describe(Command3, {}, QStringLiteral("Closes the window"));
    describe(Label1, {}, QStringLiteral("How many pictures the folder holds"));
    describe(Label2, {}, QStringLiteral("How many index pages the pictures fill"));
    describe(Label3, {}, QStringLiteral("The length of the previewed picture"));
    describe(Label5, {}, QStringLiteral("How many pictures the run has read"));
    Label4->setBuddy(Label3);
    nameValueLabels();
}

void Form1Controls::nameValueLabels()
{
    nameAfterText(Label1, QStringLiteral("Number of pictures"));
    nameAfterText(Label2, QStringLiteral("Number of HTML pages"));
    nameAfterText(Label3, QStringLiteral("Picture size"), Label4->text() + QLatin1Char(' '));
    nameAfterText(Label5, QStringLiteral("Pictures read"));
}

void Form1Controls::fitCaptions()
{
    nameValueLabels();
    // On top of their neighbours: a long count may reach past its design space,
    // and must then not vanish under the viewport.
    for (QLabel *label : {Label1, Label2, Label3, Label4, Label5}) {
        label->adjustSize();
        label->raise();
    }
    const QRect designed = designGeometry(QStringLiteral("Label3"));
    Label3->move(std::max(designed.left(), Label4->geometry().right() + 1 + captionGap), designed.top());

    for (QPushButton *button : {Command1, Command3}) {
        const QRect design = designGeometry(button->objectName());
        const QSize needed = button->sizeHint();
        button->resize(std::max(design.width(), needed.width()), std::max(design.height(), needed.height()));
    }
}
