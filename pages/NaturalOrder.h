#pragma once

#include <QString>

/**
 * Returns true when a comes before b as a person orders names: letters
 * without regard to case, runs of digits by their value ("IMG_2" before
 * "IMG_10"), and names that only differ in case or leading zeros by their
 * exact text, so that no two names tie.
 */
bool naturalLess(const QString &a, const QString &b);
