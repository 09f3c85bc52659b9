#pragma once

#include "preview/PictureDecoding.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class Beeper;
class QImage;
class QLabel;
class QMovie;
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
    ~PicturePreview() override;

    /** Shows the picture at path and "length Bytes"; an empty path means no selection. Beeps on failure. */
    void AfficheGif(const QString &path, qint64 length);

    /** Places the bars beside the viewport, puts the holder at its corner, updates the ranges. */
    void Form_Resize();

    /** Shows a picture that a generation run measured; label and bars stay as they are. */
    void showMeasured(const QString &path);

    /** Returns the holder's Left and Top, measured from the viewport's client area. */
    QPoint holderOffset() const;

private slots:
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);
    void measuredDecoded();

private:
    // The scroll bars' maxima for a holder of the given outer size, or
    // nothing when a difference does not fit a 16-bit scroll range.
    std::optional<QPoint> scrollMaxima(QSize holderSize) const;
    void applyRanges(QPoint maxima);
    void moveHolder(QPoint offset);
    void clipHolder();
    void showStill(const QImage &image);
    void showMovie(const QString &path);
    void startMeasuring();

    struct MeasuredPicture {
        quint64 ticket = 0;
        DecodedPicture picture;
    };

    Controls m_controls;
    Beeper &m_beeper;
    std::unique_ptr<QMovie> m_movie; // the animated GIF on view, if any

    // Measured pictures: one decode at a time, the newest request waits its
    // turn, and a result older than what is on view is dropped.
    QFutureWatcher<MeasuredPicture> m_measuring;
    bool m_measuringBusy = false;
    QString m_waitingPath;
    quint64 m_waitingTicket = 0;
    quint64 m_lastTicket = 0;  // the newest request, measured or previewed
    quint64 m_shownTicket = 0; // what is on view was requested as this one
};
