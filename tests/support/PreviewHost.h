#pragma once

// The preview's controls on a window of their own, placed where the main
// window puts them, and a record of what they show.

#include "common/Beeper.h"
#include "preview/PicturePreview.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

class RecordingBeeper final : public Beeper
{
public:
    void beep() override { ++count; }
    int count = 0;
};

// The preview's controls where the main window puts them.
struct Host {
    QWidget window;
    QFrame *picture1 = new QFrame(&window);
    QLabel *picture2 = new QLabel(picture1);
    QScrollBar *hScroll1 = new QScrollBar(Qt::Horizontal, &window);
    QScrollBar *vScroll1 = new QScrollBar(Qt::Vertical, &window);
    QLabel *label3 = new QLabel(&window);
    QLabel *failure = new QLabel(picture1);

    Host()
    {
        window.resize(611, 408);
        picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        picture1->setLineWidth(2);
        picture1->setGeometry(192, 8, 401, 339);
        hScroll1->setGeometry(447, 349, 145, 17);
        vScroll1->setGeometry(600, 32, 17, 97);
        label3->setGeometry(255, 367, 3, 13);
    }
    PicturePreview::Controls controls() { return {picture1, picture2, hScroll1, vScroll1, label3, failure}; }
};

// The bars and label the preview leaves behind, to show a failure changed nothing.
struct Snapshot {
    QSize holderSize;
    QPoint holderPos;
    qint64 pixmapKey;
    QString label;
    int hMax, vMax, hValue, vValue;
    bool hShown, vShown;

    explicit Snapshot(const Host &h)
        : holderSize(h.picture2->size())
        , holderPos(h.picture2->pos())
        , pixmapKey(h.picture2->pixmap().cacheKey())
        , label(h.label3->text())
        , hMax(h.hScroll1->maximum())
        , vMax(h.vScroll1->maximum())
        , hValue(h.hScroll1->value())
        , vValue(h.vScroll1->value())
        , hShown(h.hScroll1->isVisible())
        , vShown(h.vScroll1->isVisible())
    {
    }
    bool operator==(const Snapshot &) const = default;

    // All but the label, which says why a picture failed.
    bool samePicture(const Snapshot &other) const
    {
        Snapshot self = *this;
        self.label = other.label;
        return self == other;
    }
};

// The whole of a failure in the note over the viewport: a long name is
// shortened there, and the note's tool tip then holds the whole text.
inline QString failureText(const QLabel &failure)
{
    return failure.toolTip().isEmpty() ? failure.text() : failure.toolTip();
}

// Asks the preview for path and waits until it shows the picture or gives up
// on it; false when it did neither in a minute.
inline bool previewAndWait(PicturePreview &preview, const QString &path, qint64 length)
{
    QSignalSpy shown(&preview, &PicturePreview::shown);
    QSignalSpy failed(&preview, &PicturePreview::failed);
    preview.AfficheGif(path, length);
    return QTest::qWaitFor([&] { return !shown.isEmpty() || !failed.isEmpty(); }, 60000);
}
