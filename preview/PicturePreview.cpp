#include "PicturePreview.h"

#include "catalogue/Class1.h"
#include "common/Beeper.h"
#include "common/ProgramInfo.h"
#include "system/NativeName.h"

#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPixmap>
#include <QRegion>
#include <QScrollBar>

/** An animated GIF playing from the bytes a worker read, so the movie never touches the file. */
struct PlayingMovie {
    explicit PlayingMovie(const QByteArray &animation)
        : bytes(animation)
    {
        buffer.open(QIODevice::ReadOnly);
    }

    // Declared in the order they depend on each other, so the movie goes first.
    QByteArray bytes;
    QBuffer buffer{&bytes};
    QMovie movie{&buffer, "gif"};
};

namespace {

constexpr int iconSide = 32;    // the program icon at the standard icon size
constexpr int failureInset = 4; // between the failure note and the viewport's border
constexpr int failureMargin = 3; // inside the note, around its text
constexpr int roundingSlack = 2; // measured and laid-out text may differ by a pixel

bool fitsScrollRange(qint64 difference)
{
    return difference >= -32768 && difference <= 32767;
}

void prepareBar(QScrollBar *bar)
{
    bar->setRange(0, 0);
    bar->setSingleStep(PicturePreview::arrowStep);
    bar->setPageStep(PicturePreview::trackStep);
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

QString failureText(const QString &name, const QString &reason)
{
    return name.isEmpty() ? reason : QStringLiteral("Cannot show %1: %2").arg(name, reason);
}

// The failure for lines of room pixels: a long name is shortened in the
// middle, keeping its start and its extension, so that "Cannot show name:"
// fits one line, where a word too long to wrap would be cut at the edge.
QString fittedFailureText(const QString &name, const QString &reason, const QFontMetrics &metrics, int room)
{
    if (name.isEmpty())
        return reason;
    const int nameRoom = qMax(room - metrics.horizontalAdvance(QStringLiteral("Cannot show :")) - roundingSlack,
                              metrics.averageCharWidth() * 8);
    return failureText(metrics.elidedText(name, Qt::ElideMiddle, nameRoom), reason);
}

// Drawn over the picture on view, so it needs a background of its own: the
// window's, not the viewport's purple it would inherit.
void prepareFailureNote(QLabel *note)
{
    note->setFrameStyle(QFrame::Box | QFrame::Plain);
    note->setLineWidth(1);
    note->setMargin(failureMargin);
    note->setIndent(0);
    note->setWordWrap(true);
    // A name such as "<b>x</b>.gif" is shown as it is, not as markup.
    note->setTextFormat(Qt::PlainText);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = note->palette();
    palette.setColor(QPalette::Window, QApplication::palette(note).color(QPalette::Window));
    palette.setColor(QPalette::WindowText, QApplication::palette(note).color(QPalette::WindowText));
    note->setPalette(palette);
    note->setAutoFillBackground(true);
    note->hide();
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
    const QImage icon(ProgramInfo::iconResource());
    showStill(icon.scaled(iconSide, iconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    holder->resize(iconSide + 2 * holderBorder, iconSide + 2 * holderBorder);
    moveHolder({0, 0});
    prepareFailureNote(m_controls.failure);

    prepareBar(m_controls.hScroll1);
    prepareBar(m_controls.vScroll1);
    connect(m_controls.hScroll1, &QScrollBar::valueChanged, this, &PicturePreview::HScroll1_Change);
    connect(m_controls.vScroll1, &QScrollBar::valueChanged, this, &PicturePreview::VScroll1_Change);
    connect(&m_previewing, &PictureLoader::decoded, this, &PicturePreview::previewDecoded);
    connect(&m_measuring, &PictureLoader::decoded, this, &PicturePreview::measuredDecoded);
}

// The loaders stop their decodes without waiting for them.
PicturePreview::~PicturePreview() = default;

void PicturePreview::AfficheGif(const QString &path, qint64 length)
{
    m_previewTicket = ++m_lastTicket;
    m_length = length;
    // Whatever is decoding now would be dropped on arrival.
    m_measuring.cancel();
    m_previewing.cancel();
    m_previewing.load(m_previewTicket, path);
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
    m_measuring.load(++m_lastTicket, path);
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

void PicturePreview::showMovie(const QByteArray &animation)
{
    auto playing = std::make_unique<PlayingMovie>(animation);
    m_controls.picture2->setMovie(&playing->movie);
    playing->movie.start();
    m_movie = std::move(playing);
}

bool PicturePreview::isOutdated(quint64 ticket) const
{
    return ticket < m_shownTicket || ticket < m_previewTicket;
}

void PicturePreview::previewDecoded(quint64 ticket, const QString &path, const DecodedPicture &picture)
{
    if (isOutdated(ticket))
        return;
    if (picture.image.isNull()) {
        refuse(path, picture.problem);
        return;
    }
    const QSize holderSize = picture.image.size() + QSize(2 * holderBorder, 2 * holderBorder);
    const std::optional<QPoint> maxima = scrollMaxima(holderSize);
    if (!maxima) {
        refuse(path, QStringLiteral("It is too large: %1 x %2 pixels.")
                         .arg(picture.image.width())
                         .arg(picture.image.height()));
        return;
    }

    m_shownTicket = ticket;
    if (picture.animation.isEmpty())
        showStill(picture.image);
    else
        showMovie(picture.animation);
    m_controls.picture2->resize(holderSize);
    clearFailure();
    showLength(picture.incomplete);
    applyRanges(*maxima);
    emit shown(path);
}

void PicturePreview::measuredDecoded(quint64 ticket, const QString &path, const DecodedPicture &picture)
{
    // A picture the run cannot decode is its to report, not the preview's.
    if (isOutdated(ticket) || picture.image.isNull())
        return;
    m_shownTicket = ticket;
    showStill(picture.image);
    m_controls.picture2->resize(picture.image.size() + QSize(2 * holderBorder, 2 * holderBorder));
    clipHolder();
    clearFailure(); // it was about another picture than the one now on view
    emit shown(path);
}

// The picture on view stays; a note over it says why the new one is not
// there, and the byte label, which would name the length of the new one, is
// emptied.
void PicturePreview::refuse(const QString &path, const QString &reason)
{
    m_beeper.beep();
    const QString name = path.isEmpty() ? QString() : NativeName::printable(QFileInfo(path).fileName());
    showFailure(name, reason);
    m_controls.label3->clear();
    m_controls.label3->adjustSize();
    emit failed(path, reason);
}

// Across the foot of the viewport's client area, as tall as its lines need,
// where the byte label beside "Picture size:" had room for a few words only.
void PicturePreview::showFailure(const QString &name, const QString &reason)
{
    QLabel *note = m_controls.failure;
    const QRect client = m_controls.picture1->contentsRect().adjusted(failureInset, failureInset, -failureInset,
                                                                       -failureInset);
    note->resize(client.width(), note->height());
    const int room = note->contentsRect().width() - 2 * note->margin();
    const QString text = fittedFailureText(name, reason, note->fontMetrics(), room);
    note->setText(text);
    const QString full = failureText(name, reason);
    note->setToolTip(text == full ? QString() : full);
    const int height = qMin(note->heightForWidth(client.width()), client.height());
    note->setGeometry(client.left(), client.bottom() + 1 - height, client.width(), height);
    note->raise();
    note->show();
}

void PicturePreview::clearFailure()
{
    m_controls.failure->hide();
    m_controls.failure->clear();
    m_controls.failure->setToolTip({});
}

void PicturePreview::showLength(bool incomplete)
{
    QString text = QString::number(m_length) + QStringLiteral(" Bytes");
    // Browsers show what there is of such a picture, so the pages keep it;
    // the preview says why its lower part may be grey.
    if (incomplete)
        text += QStringLiteral(" (incomplete: the file ends early)");
    m_controls.label3->setText(text);
    m_controls.label3->adjustSize();
}
