#pragma once

#include "preview/PictureDecoding.h"
#include "preview/PictureLoader.h"

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

class Beeper;
class QImage;
class QLabel;
class QScrollBar;
class QWidget;
struct PlayingMovie;

/**
 * The picture preview: shows a picture at full size in the holder Picture2
 * inside the viewport Picture1, keeps the scroll bars' ranges and the
 * holder's offset in step, and shows the length in Label3. The window owns
 * the controls; the preview drives them. UI thread only: files are opened
 * and decoded on pool threads, and the newest request wins.
 */
class PicturePreview : public QObject
{
    Q_OBJECT

public:
    /** The scroll bars' steps: an arrow click, and a click on the track. */
    static constexpr int arrowStep = 5;
    static constexpr int trackStep = 10;

    struct Controls {
        QWidget *picture1 = nullptr;    // the viewport
        QLabel *picture2 = nullptr;     // the holder, a child of picture1
        QScrollBar *hScroll1 = nullptr; // on the window, placed by Form_Resize
        QScrollBar *vScroll1 = nullptr;
        QLabel *label3 = nullptr;       // "N Bytes" of the picture on view
        QLabel *failure = nullptr;      // a child of picture1: why the picture asked for is not on view
    };

    PicturePreview(const Controls &controls, Beeper &beeper, QObject *parent);
    ~PicturePreview() override;

    /**
     * Asks for the picture at path, then shows it with "length Bytes" and
     * emits shown(); an empty path means no selection. On failure it beeps,
     * keeps the picture on view, says why over the viewport, empties the
     * byte label and emits failed(). Returns at once; a later request makes
     * this one void.
     */
    void AfficheGif(const QString &path, qint64 length);

    /** Places the bars beside the viewport, puts the holder at its corner, updates the ranges. */
    void Form_Resize();

    /**
     * Asks for a picture that a generation run measured, shown once decoded
     * with label and bars as they are; one the preview cannot decode is the
     * run's to report, so it is passed over silently.
     */
    void showMeasured(const QString &path);

    /** Returns the holder's Left and Top, measured from the viewport's client area. */
    QPoint holderOffset() const;

signals:
    /** The picture at path is on view. */
    void shown(const QString &path);

    /** The picture at path, asked for by AfficheGif(), cannot be shown, for reason. */
    void failed(const QString &path, const QString &reason);

private slots:
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);
    // A slot so that a test can hand it a decoded picture of its own making.
    void previewDecoded(quint64 ticket, const QString &path, const DecodedPicture &picture);

private:
    // The scroll bars' maxima for a holder of the given outer size, or
    // nothing when a difference does not fit a 16-bit scroll range.
    std::optional<QPoint> scrollMaxima(QSize holderSize) const;
    void applyRanges(QPoint maxima);
    void moveHolder(QPoint offset);
    void clipHolder();
    void showStill(const QImage &image);
    void showMovie(const QByteArray &animation);
    void measuredDecoded(quint64 ticket, const QString &path, const DecodedPicture &picture);
    bool isOutdated(quint64 ticket) const;
    void refuse(const QString &path, const QString &reason);
    void showFailure(const QString &name, const QString &reason);
    void clearFailure();
    void showLength(bool incomplete);

    Controls m_controls;
    Beeper &m_beeper;
    std::unique_ptr<PlayingMovie> m_movie; // the animated GIF on view, if any

    // Each request takes the next ticket. A result older than what is on
    // view, or than the newest AfficheGif(), is dropped; a newer AfficheGif()
    // stops the decodes it makes void.
    PictureLoader m_previewing;
    PictureLoader m_measuring;
    qint64 m_length = 0;        // of the newest AfficheGif()
    quint64 m_lastTicket = 0;   // the newest request, measured or previewed
    quint64 m_previewTicket = 0; // the newest AfficheGif()
    quint64 m_shownTicket = 0;  // what is on view was requested as this one
};
