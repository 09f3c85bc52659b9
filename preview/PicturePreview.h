#pragma once

#include <QObject>
#include <QString>

class Beeper;
class QLabel;
class QScrollBar;
class QWidget;

/**
 * The picture preview: shows a picture at full size in the holder Picture2
 * inside the viewport Picture1, keeps the scroll bars' ranges and the
 * holder's offset in step, and shows the length in Label3. The window owns
 * the controls; the preview drives them. UI thread only.
 */
class PicturePreview : public QObject
{
    Q_OBJECT

public:
    struct Controls {
        QWidget *picture1 = nullptr;    // the viewport
        QLabel *picture2 = nullptr;     // the holder, a child of picture1
        QScrollBar *hScroll1 = nullptr; // on the window, placed by Form_Resize
        QScrollBar *vScroll1 = nullptr;
        QLabel *label3 = nullptr;       // "N Bytes"
    };

    PicturePreview(const Controls &controls, Beeper &beeper, QObject *parent);

    /** Shows the picture at path and "length Bytes"; an empty path means no selection. Beeps on failure. */
    void AfficheGif(const QString &path, qint64 length);

    /** Places the bars beside the viewport, puts the holder at its corner, updates the ranges. */
    void Form_Resize();

    /** Shows a picture that a generation run measured; label and bars stay as they are. */
    void showMeasured(const QString &path);

private:
    Controls m_controls;
    Beeper &m_beeper;
};
