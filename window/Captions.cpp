#include "Captions.h"

#include <QLabel>

namespace Captions {

void set(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

} // namespace Captions
