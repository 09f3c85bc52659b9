#pragma once

#include <QString>

/**
 * Returns true when an entry name may be a picture: its last three letters,
 * in any case, are "GIF" or "JPG". No dot is needed ("mygif" qualifies);
 * ".jpeg", ".png" and names shorter than three letters never do.
 */
bool isCandidateName(const QString &name);
