#include "FocusMark.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QRegion>

namespace {

constexpr int ringWidth = 2; // pixels, all outside the control, none over its contents

} // namespace

FocusMark::FocusMark(QWidget *area)
    : QWidget(area)
{
    setObjectName(QStringLiteral("FocusMark"));
    // A screen reader walks every widget; this one says what it is.
    setAccessibleName(QStringLiteral("Focus mark"));
    setAccessibleDescription(QStringLiteral("Rings the control that has the keyboard focus"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { follow(now); });
}

void FocusMark::follow(QWidget *focused)
{
    if (m_target)
        m_target->removeEventFilter(this);
    m_target = focused && parentWidget()->isAncestorOf(focused) ? focused : nullptr;
    if (m_target)
        m_target->installEventFilter(this);
    place();
}

void FocusMark::place()
{
    if (!m_target || !m_target->isVisible()) {
        hide();
        return;
    }
    const QRect marked(m_target->mapTo(parentWidget(), QPoint(0, 0)), m_target->size());
    setGeometry(marked.adjusted(-ringWidth, -ringWidth, ringWidth, ringWidth));
    raise(); // a neighbour laid over the ring would hide part of it
    show();
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_target) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FocusMark::paintEvent(QPaintEvent *)
{
    // Only the ring is painted: the control inside shows through.
    QPainter painter(this);
    const QColor colour = palette().color(QPalette::Highlight);
    const QRegion ring = QRegion(rect()) - QRegion(rect().adjusted(ringWidth, ringWidth, -ringWidth, -ringWidth));
    for (const QRect &part : ring)
        painter.fillRect(part, colour);
}
