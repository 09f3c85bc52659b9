#pragma once

#include <QString>

class QLabel;

/** The window's labels size themselves to their caption, on one line. */
namespace Captions {

/** Sets label's caption and sizes the label to it, keeping its top-left corner. */
void set(QLabel *label, const QString &text);

} // namespace Captions
