#include "PicturePreview.h"

#include "platform/Beeper.h"

// Placeholder until the preview is built: it only beeps.
PicturePreview::PicturePreview(const Controls &controls, Beeper &beeper, QObject *parent)
    : QObject(parent)
    , m_controls(controls)
    , m_beeper(beeper)
{
}

void PicturePreview::AfficheGif(const QString &, qint64)
{
    m_beeper.beep();
}

void PicturePreview::Form_Resize()
{
}

void PicturePreview::showMeasured(const QString &)
{
}
