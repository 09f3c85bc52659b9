#pragma once

#include <QRect>

class DriveList;
class FolderList;
class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QListView;
class QMainWindow;
class QPushButton;
class QScrollBar;
class QWidget;

/**
 * The controls of the main window, under the names the rest of the program
 * uses, placed at their design geometry (pixels at 96 dots per inch, relative
 * to the client area below the menu bar). The window owns them all.
 */
struct Form1Controls {
    /** The client area's size below the menu bar. */
    static constexpr int clientWidth = 611;
    static constexpr int clientHeight = 408;

    DriveList *Drive1 = nullptr;
    FolderList *Dir1 = nullptr;
    QListView *List1 = nullptr; // the pictures of the folder shown; PictureListing gives it its model
    QFrame *Picture1 = nullptr;   // the viewport
    QLabel *Picture2 = nullptr;   // the picture holder, inside Picture1
    QLabel *PreviewFailure = nullptr; // inside Picture1, over the holder: why a picture is not shown
    QScrollBar *HScroll1 = nullptr;
    QScrollBar *VScroll1 = nullptr;
    QLabel *Label1 = nullptr; // number of pictures
    QLabel *Label2 = nullptr; // number of pages
    QLabel *Label3 = nullptr; // the previewed file's length, or why it cannot be shown
    QLabel *Label4 = nullptr; // "Picture size:"
    QLabel *Label5 = nullptr; // pictures read during a run
    QPushButton *Command1 = nullptr; // generate
    QPushButton *Command3 = nullptr; // close
    QAction *mnuAbout = nullptr;     // the menu bar's first item
    QAction *mnuClassicPages = nullptr; // in the "Pages" menu beside it, exclusive with
    QAction *mnuGalleryPages = nullptr; // the gallery item
    QAction *mnuOrderByName = nullptr;  // then the gallery's order, exclusive with
    QAction *mnuOrderByDate = nullptr;  // by date taken
    QAction *mnuSubFolders = nullptr;   // the gallery includes sub-folders as albums of their own

    /** Creates the controls on client and the menu item on window's menu bar, in tab order. */
    static Form1Controls create(QMainWindow *window, QWidget *client);

    /** Returns the design geometry of the control named objectName, or an empty rectangle. */
    static QRect designGeometry(const QString &objectName);

    /**
     * Sizes the labels to their captions, and grows the buttons to theirs
     * where the platform's font needs more than the design size, so that no
     * caption is clipped. Label3 stays just right of Label4. The labels that
     * show a value are renamed for screen readers after their new captions.
     */
    void fitCaptions();

private:
    void nameForScreenReaders();
    void nameValueLabels();
};
