#include "PicturePreview.h"

#include "platform/Beeper.h"

#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QRegion>
#include <QScrollBar>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace {

constexpr int holderBorder = 1; // flat, on each side of the holder
constexpr int iconSide = 32;    // the program icon at the standard icon size
constexpr int arrowStep = 5;
constexpr int trackStep = 10;

bool fitsScrollRange(qint64 difference)
{
    return difference >= -32768 && difference <= 32767;
}

void prepareBar(QScrollBar *bar)
{
    bar->setRange(0, 0);
    bar->setSingleStep(arrowStep);
    bar->setPageStep(trackStep);
    // The picture moves when the thumb is let go, not while it is dragged.
    bar->setTracking(false);
}

// Qt moves a bar's minimum down when the maximum goes below it; the preview's
// arithmetic needs the minimum at 0, so a negative maximum becomes an empty
// range. Narrowing the range brings the value back into it and reports the
// change, which moves the holder.
void setBarMaximum(QScrollBar *bar, int maximum)
{
    bar->setRange(0, qMax(0, maximum));
}

} // namespace

PicturePreview::PicturePreview(const Controls &controls, Beeper &beeper, QObject *parent)
    : QObject(parent)
    , m_controls(controls)
    , m_beeper(beeper)
{
    limitPictureDecoding();

    QLabel *holder = m_controls.picture2;
    holder->setFrameStyle(QFrame::Box | QFrame::Plain);
    holder->setLineWidth(holderBorder);
    holder->setMidLineWidth(0);
    holder->setMargin(0);
    holder->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    holder->setScaledContents(false);
    holder->setAutoFillBackground(true);
    const QImage icon(QStringLiteral(":/vimbrel/vimbrel.ico"));
    showStill(icon.scaled(iconSide, iconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    holder->resize(iconSide + 2 * holderBorder, iconSide + 2 * holderBorder);
    moveHolder({0, 0});

    prepareBar(m_controls.hScroll1);
    prepareBar(m_controls.vScroll1);
    connect(m_controls.hScroll1, &QScrollBar::valueChanged, this, &PicturePreview::HScroll1_Change);
    connect(m_controls.vScroll1, &QScrollBar::valueChanged, this, &PicturePreview::VScroll1_Change);
    connect(&m_measuring, &QFutureWatcher<MeasuredPicture>::finished, this,
            &PicturePreview::measuredDecoded);
}

PicturePreview::~PicturePreview()
{
    // A decode cannot be interrupted; wait so that no pool thread is still
    // working for a preview that is gone.
    m_measuring.waitForFinished();
}

void PicturePreview::AfficheGif(const QString &path, qint64 length)
{
    DecodedPicture picture = decodePicture(path);
    if (picture.image.isNull()) {
        m_beeper.beep();
        return;
    }
    const QSize holderSize = picture.image.size() + QSize(2 * holderBorder, 2 * holderBorder);
    const std::optional<QPoint> maxima = scrollMaxima(holderSize);
    if (!maxima) {
        m_beeper.beep();
        return;
    }

    // A measured picture still decoding was asked for before this one.
    m_shownTicket = ++m_lastTicket;
    m_waitingPath.clear();

    if (picture.animated)
        showMovie(path);
    else
        showStill(picture.image);
    m_controls.picture2->resize(holderSize);
    m_controls.label3->setText(QString::number(length) + QStringLiteral(" Bytes"));
    m_controls.label3->adjustSize();
    applyRanges(*maxima);
}

void PicturePreview::Form_Resize()
{
    moveHolder({0, 0});

    const QRect viewport = m_controls.picture1->frameGeometry();
    QScrollBar *h = m_controls.hScroll1;
    QScrollBar *v = m_controls.vScroll1;
    h->setGeometry(viewport.left(), viewport.top() + viewport.height(), viewport.width(), h->height());
    v->setGeometry(viewport.left() + viewport.width(), viewport.top(), v->width(), viewport.height());

    // The window has a fixed size, so this runs once, with the small icon on
    // view; should it ever meet a picture too large to scroll, it beeps as a
    // preview does.
    const std::optional<QPoint> maxima = scrollMaxima(m_controls.picture2->frameGeometry().size());
    if (!maxima) {
        m_beeper.beep();
        return;
    }
    applyRanges(*maxima);
}

void PicturePreview::showMeasured(const QString &path)
{
    m_waitingPath = path;
    m_waitingTicket = ++m_lastTicket;
    if (!m_measuringBusy)
        startMeasuring();
}

QPoint PicturePreview::holderOffset() const
{
    return m_controls.picture2->pos() - m_controls.picture1->contentsRect().topLeft();
}

void PicturePreview::HScroll1_Change(int value)
{
    moveHolder({-value, holderOffset().y()});
}

void PicturePreview::VScroll1_Change(int value)
{
    moveHolder({holderOffset().x(), -value});
}

std::optional<QPoint> PicturePreview::scrollMaxima(QSize holderSize) const
{
    // Both sides are outer sizes, borders included.
    const QSize viewport = m_controls.picture1->frameGeometry().size();
    const qint64 across = qint64(holderSize.width()) - viewport.width();
    const qint64 down = qint64(holderSize.height()) - viewport.height();
    if (!fitsScrollRange(across) || !fitsScrollRange(down))
        return std::nullopt;
    return QPoint(int(across), int(down));
}

void PicturePreview::applyRanges(QPoint maxima)
{
    setBarMaximum(m_controls.hScroll1, maxima.x());
    setBarMaximum(m_controls.vScroll1, maxima.y());
    m_controls.vScroll1->setVisible(maxima.y() > 0);
    m_controls.hScroll1->setVisible(maxima.x() > 0);
    // The bars report only values that changed; the holder must follow them
    // whatever moved it before (a resize, a measured picture).
    moveHolder({-m_controls.hScroll1->value(), -m_controls.vScroll1->value()});
}

void PicturePreview::moveHolder(QPoint offset)
{
    m_controls.picture2->move(m_controls.picture1->contentsRect().topLeft() + offset);
    clipHolder();
}

// A child widget is clipped to its parent's whole rectangle, border included;
// the viewport shows the holder only inside its client area, so the holder is
// masked to that part of itself.
void PicturePreview::clipHolder()
{
    QLabel *holder = m_controls.picture2;
    const QRect client = m_controls.picture1->contentsRect();
    const QRect visible = client.intersected(holder->geometry()).translated(-holder->pos());
    if (visible == holder->rect())
        holder->clearMask();
    else if (visible.isEmpty())
        holder->setMask(QRegion(-1, -1, 1, 1)); // an empty region would mean no mask at all
    else
        holder->setMask(visible);
}

void PicturePreview::showStill(const QImage &image)
{
    m_controls.picture2->setPixmap(QPixmap::fromImage(image));
    m_movie.reset();
}

void PicturePreview::showMovie(const QString &path)
{
    auto movie = std::make_unique<QMovie>(path);
    m_controls.picture2->setMovie(movie.get());
    movie->start();
    m_movie = std::move(movie);
}

void PicturePreview::startMeasuring()
{
    if (m_waitingPath.isEmpty())
        return;
    m_measuringBusy = true;
    const QString path = std::exchange(m_waitingPath, QString());
    const quint64 ticket = m_waitingTicket;
    // Runs on a pool thread: decodes into its own image and touches no widget.
    m_measuring.setFuture(QtConcurrent::run([path, ticket] {
        return MeasuredPicture{ticket, decodePicture(path)};
    }));
}

void PicturePreview::measuredDecoded()
{
    m_measuringBusy = false;
    const MeasuredPicture measured = m_measuring.result();
    // Shown unless something asked for later is already on view. A picture
    // the run cannot decode is its to report, not the preview's.
    if (measured.ticket > m_shownTicket && !measured.picture.image.isNull()) {
        m_shownTicket = measured.ticket;
        showStill(measured.picture.image);
        m_controls.picture2->resize(measured.picture.image.size()
                                    + QSize(2 * holderBorder, 2 * holderBorder));
        clipHolder();
    }
    startMeasuring();
}
