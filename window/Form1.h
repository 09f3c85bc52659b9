#pragma once

#include "generation/GenerationRun.h"
#include "window/Form1Controls.h"

#include <QMainWindow>

class Beeper;
class MessageBoxes;
class PicturePreview;
class PictureListing;
class RunController;
class SettingsStore;

/** What the main window needs from outside; tests pass their own. */
struct Form1Services {
    SettingsStore &settings;
    MessageBoxes &boxes;
    Beeper &beeper;
    QStringList drives; // the drives offered; empty means the mounted ones
};

/**
 * The main window: drive, folder and picture lists, the preview, and the
 * generation run. Its handlers are named after the control and the event.
 * UI thread only; the listing and the run do their reading on worker threads.
 */
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(const Form1Services &services, QWidget *parent = nullptr);
    ~Form1() override;

    /**
     * Opens requestedFolder, or the folder of the last generation run, and
     * lists its pictures. A requested folder that cannot be opened is said
     * in a box once the window is shown, and the last run's folder opened in
     * its place; that one, when it cannot be opened, is passed over silently:
     * the window stays on the process's current folder, and lists that.
     */
    void Form_Load(const QString &requestedFolder = {});

    /** Returns the window's controls. */
    const Form1Controls &controls() const { return m_controls; }

    /** Returns true while a generation run is in progress. */
    bool isRunning() const;

signals:
    /** A listing of folder began (the list is empty until it is filled). */
    void listingStarted(const QString &folder);

    /** The picture list holds the pictures of folder, or says why it could not be read. */
    void listingFinished(const QString &folder);

    /** A generation run ended and its message, if any, was dismissed. */
    void runEnded(RunOutcome outcome);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpWindow();
    void connectHandlers();

    void Drive1_Change();
    void Dir1_Change();
    void ListGiff();
    void List1_Click();
    void Command1_Click();
    void Command3_Click();
    void mnuAbout_Click();
    void mnuPages_Click();
    void followStyle();

    void openFolder(const QString &requestedFolder);
    void tellStartProblemOnceShown();
    void tellStartProblem();
    void showReadCount(qint64 count);
    void showThumbnailCount(qint64 count);
    void showClipProgress(const QString &text);
    void runFinished(RunOutcome outcome, const QList<SkippedFile> &skipped, const QString &failure);
    void setRunning(bool running);

    SettingsStore &m_settings;
    MessageBoxes &m_boxes;
    QWidget *m_client = nullptr;
    Form1Controls m_controls;
    PicturePreview *m_preview = nullptr;
    PictureListing *m_listing = nullptr;
    RunController *m_run = nullptr;
    bool m_shown = false; // Form_Resize runs once, at the first show
    QString m_startProblem; // why the folder asked for at start-up cannot be opened, until it is said
    qint64 m_thumbnailCount = 0; // the gallery run's count shown, with a clip's progress after it
    QString m_clipProgress;
};
