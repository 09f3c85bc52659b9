#include "Form1.h"

#include "common/ProgramInfo.h"
#include "common/SettingsStore.h"
#include "preview/PicturePreview.h"
#include "system/NativeName.h"
#include "window/Captions.h"
#include "window/DriveList.h"
#include "window/DriveRoots.h"
#include "window/FocusMark.h"
#include "window/FolderList.h"
#include "window/MessageBoxes.h"
#include "window/PictureListing.h"
#include "window/ProgramIcon.h"
#include "window/RunController.h"
#include "window/RunMessages.h"
#include "window/frmAbout.h"

#include <QCloseEvent>
#include <QDir>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <utility>

Form1::Form1(const Form1Services &services, QWidget *parent)
    : QMainWindow(parent)
    , m_settings(services.settings)
    , m_boxes(services.boxes)
    , m_client(new QWidget(this))
    , m_controls(Form1Controls::create(this, m_client))
{
    setUpWindow();

    const Form1Controls &c = m_controls;
    m_preview = new PicturePreview({c.Picture1, c.Picture2, c.HScroll1, c.VScroll1, c.Label3, c.PreviewFailure}, services.beeper, this);
    m_listing = new PictureListing(c.List1, c.Label1, c.Label2, this);
    m_run = new RunController(m_settings, this);

    // The controls open on the process's current drive and folder.
    c.Drive1->setDrives(services.drives.isEmpty() ? DriveRoots::mountedDrives() : services.drives);
    c.Dir1->setPath(QDir::currentPath());
    c.Drive1->followFolder(c.Dir1->path());
    c.Drive1->rememberFolder(c.Dir1->path());

    (m_settings.pageStyle() == PageStyle::Gallery ? c.mnuGalleryPages : c.mnuClassicPages)->setChecked(true);
    (m_settings.pictureOrder() == PictureOrder::Date ? c.mnuOrderByDate : c.mnuOrderByName)->setChecked(true);
    c.mnuSubFolders->setChecked(m_settings.includeSubFolders());
    followStyle();
    connectHandlers();
    new FocusMark(m_client); // Enter presses Command1 at start-up: it must show that it has the focus
    c.Command1->setFocus();
}

Form1::~Form1() = default;

void Form1::setUpWindow()
{
    setWindowTitle(ProgramInfo::title());
    setWindowIcon(programIcon());
    // A fixed border: a close box and a system menu, no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    m_client->setObjectName(QStringLiteral("Form1Client"));
    m_client->setFixedSize(Form1Controls::clientWidth, Form1Controls::clientHeight);
    setCentralWidget(m_client);
    setFixedSize(Form1Controls::clientWidth, Form1Controls::clientHeight + menuBar()->sizeHint().height());
    // The preview writes Label3 itself; the labels are fitted when a caption changes.
    m_client->installEventFilter(this);

    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
}

void Form1::connectHandlers()
{
    const Form1Controls &c = m_controls;
    connect(c.Drive1, &DriveList::driveChanged, this, &Form1::Drive1_Change);
    connect(c.Dir1, &FolderList::pathChanged, this, &Form1::Dir1_Change);
    connect(c.Dir1, &FolderList::openFailed, this, [this](const QString &message) {
        m_boxes.show(this, MessageBoxes::Icon::Warning, ProgramInfo::title(), NativeName::printable(message));
    });
    // The listing gave List1 its model, and with it this selection model.
    connect(c.List1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &Form1::List1_Click);
    connect(c.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(c.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(c.mnuAbout, &QAction::triggered, this, &Form1::mnuAbout_Click);
    connect(c.mnuClassicPages, &QAction::triggered, this, &Form1::mnuPages_Click);
    connect(c.mnuGalleryPages, &QAction::triggered, this, &Form1::mnuPages_Click);
    connect(c.mnuOrderByName, &QAction::triggered, this, &Form1::mnuPages_Click);
    connect(c.mnuOrderByDate, &QAction::triggered, this, &Form1::mnuPages_Click);
    connect(c.mnuSubFolders, &QAction::triggered, this, &Form1::mnuPages_Click);

    connect(m_listing, &PictureListing::started, this, &Form1::listingStarted);
    connect(m_listing, &PictureListing::listed, this, &Form1::listingFinished);
    connect(m_run, &RunController::counted, this, &Form1::showReadCount);
    connect(m_run, &RunController::thumbnailed, this, &Form1::showThumbnailCount);
    connect(m_run, &RunController::clipProgress, this, &Form1::showClipProgress);
    connect(m_run, &RunController::measured, m_preview, &PicturePreview::showMeasured);
    connect(m_run, &RunController::finished, this, &Form1::runFinished);
}

bool Form1::isRunning() const
{
    return m_run->isRunning();
}

void Form1::Form_Load(const QString &requestedFolder)
{
    openFolder(requestedFolder);
    m_controls.Drive1->setDrive(m_controls.Dir1->path());
    // Opening the folder shown since the window was made fires no change,
    // so nothing has listed it yet.
    if (m_listing->folder() != m_controls.Dir1->path())
        ListGiff();
}

void Form1::openFolder(const QString &requestedFolder)
{
    QString reason;
    if (!requestedFolder.isEmpty()) {
        if (m_controls.Dir1->setPath(requestedFolder, &reason))
            return;
        // The terminal may be hidden, or there may be none: the window says it too.
        m_startProblem = QStringLiteral("Cannot open %1: %2").arg(QDir::toNativeSeparators(requestedFolder), reason);
        tellStartProblemOnceShown();
    }
    // A remembered folder that no longer exists leaves the window where it is, silently.
    m_controls.Dir1->setPath(m_settings.path());
}

// Queued, so that the window is on the screen behind the box.
void Form1::tellStartProblemOnceShown()
{
    if (m_shown && !m_startProblem.isEmpty())
        QTimer::singleShot(0, this, &Form1::tellStartProblem);
}

void Form1::tellStartProblem()
{
    const QString message = std::exchange(m_startProblem, QString());
    if (!message.isEmpty())
        m_boxes.show(this, MessageBoxes::Icon::Warning, ProgramInfo::title(), NativeName::printable(message));
}

void Form1::Drive1_Change()
{
    DriveList *drive1 = m_controls.Drive1;
    FolderList *dir1 = m_controls.Dir1;
    const QString drive = drive1->drive();
    const QString before = dir1->path();
    QString reason;
    // The folder last shown on the drive may have gone since; then its root.
    if (!dir1->setPath(drive1->currentFolder(drive), &reason) && !dir1->setPath(drive, &reason)) {
        drive1->revert();
        const QString message = QStringLiteral("Cannot read the drive %1: %2").arg(QDir::toNativeSeparators(drive), reason);
        m_boxes.show(this, MessageBoxes::Icon::Warning, ProgramInfo::title(), NativeName::printable(message));
        return;
    }
    if (dir1->path() == before)
        ListGiff(); // otherwise Dir1_Change has listed the new folder
}

void Form1::Dir1_Change()
{
    const QString path = m_controls.Dir1->path();
    // The ancestors in the folder list may lie on another drive than the one shown.
    m_controls.Drive1->followFolder(path);
    m_controls.Drive1->rememberFolder(path);
    ListGiff();
}

void Form1::ListGiff()
{
    m_listing->ListGiff(m_controls.Dir1->path());
}

void Form1::List1_Click()
{
    const QModelIndex current = m_controls.List1->currentIndex();
    if (!current.isValid() || !m_controls.List1->selectionModel()->isSelected(current)) {
        m_preview->AfficheGif({}, 0);
        return;
    }
    const QString path = QDir(m_listing->folder()).filePath(current.data().toString());
    m_preview->AfficheGif(path, current.data(PictureListing::lengthRole).toLongLong());
}

void Form1::Command1_Click()
{
    PageOptions options;
    options.style = m_controls.mnuGalleryPages->isChecked() ? PageStyle::Gallery : PageStyle::Classic;
    options.order = m_controls.mnuOrderByDate->isChecked() ? PictureOrder::Date : PictureOrder::Name;
    options.recursive = options.style == PageStyle::Gallery && m_controls.mnuSubFolders->isChecked();
    if (!m_run->start(m_controls.Dir1->path(), options))
        return;
    setRunning(true);
}

void Form1::Command3_Click()
{
    close();
}

void Form1::mnuAbout_Click()
{
    frmAbout about(this);
    about.exec();
}

void Form1::mnuPages_Click()
{
    // A settings failure costs only the choice at the next start.
    m_settings.savePageStyle(m_controls.mnuGalleryPages->isChecked() ? PageStyle::Gallery : PageStyle::Classic);
    m_settings.savePictureOrder(m_controls.mnuOrderByDate->isChecked() ? PictureOrder::Date : PictureOrder::Name);
    m_settings.saveIncludeSubFolders(m_controls.mnuSubFolders->isChecked());
    followStyle();
}

// The gallery's own items and page count go with the gallery.
void Form1::followStyle()
{
    const bool gallery = m_controls.mnuGalleryPages->isChecked();
    for (QAction *item : {m_controls.mnuOrderByName, m_controls.mnuOrderByDate, m_controls.mnuSubFolders})
        item->setEnabled(gallery);
    m_listing->setPicturesPerPage(gallery ? PageOptions::defaultGalleryPageSize : picturesPerPage);
    m_listing->setCandidates(gallery ? Candidates::Album : Candidates::Classic);
}

void Form1::showThumbnailCount(qint64 count)
{
    m_thumbnailCount = count;
    const QString clip = m_clipProgress.isEmpty() ? QString() : QStringLiteral(" (making the copy of %1)").arg(m_clipProgress);
    Captions::set(m_controls.Label5, QStringLiteral("Thumbnails: ") + QString::number(count) + clip);
}

void Form1::showClipProgress(const QString &text)
{
    m_clipProgress = text;
    showThumbnailCount(m_thumbnailCount);
}

void Form1::showReadCount(qint64 count)
{
    m_clipProgress.clear(); // a new run: a clip a stopped run was copying is not

    Captions::set(m_controls.Label5, QStringLiteral("Read: ") + QString::number(count));
}

void Form1::runFinished(RunOutcome outcome, const QList<SkippedFile> &skipped, const QString &failure)
{
    setRunning(false); // ready for another run before the box is dismissed
    if (outcome == RunOutcome::Completed)
        m_boxes.show(this, MessageBoxes::Icon::Information, RunMessages::completedTitle(),
                     RunMessages::completedText(skipped, m_run->olderPages(), m_run->albums()));
    else if (outcome == RunOutcome::Failed) // one line, whatever the names in it hold
        m_boxes.show(this, MessageBoxes::Icon::Critical, ProgramInfo::title(), NativeName::printable(failure));
    emit runEnded(outcome);
}

void Form1::setRunning(bool running)
{
    // Nothing may start a second run or move the folder under the one running;
    // the list, the preview and the About box stay usable.
    const bool hadFocus = m_controls.Command1->hasFocus();
    for (QWidget *control : {static_cast<QWidget *>(m_controls.Command1), static_cast<QWidget *>(m_controls.Drive1),
                             static_cast<QWidget *>(m_controls.Dir1)})
        control->setEnabled(!running);
    if (running && hadFocus)
        m_controls.List1->setFocus();
    if (!running && !focusWidget())
        m_controls.Command1->setFocus();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        m_controls.fitCaptions();
        m_preview->Form_Resize();
        tellStartProblemOnceShown();
    }
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The run stops between two pictures or two pages; pages are written whole,
    // so none is left half written.
    m_run->cancelAndWait();
    event->accept();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::LayoutRequest)
        m_controls.fitCaptions();
    return QMainWindow::eventFilter(watched, event);
}
