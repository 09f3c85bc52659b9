#pragma once

#include <QString>

/**
 * Returns true when a comes before b as a person orders names: letters
 * without regard to case, runs of digits by their value ("IMG_2" before
 * "IMG_10"), and names that only differ in case or leading zeros by their
 * exact text, so that no two names tie.
 */
bool naturalLess(const QString &a, const QString &b);

/**
 * Returns a key of name that compares, as plain text, as naturalLess()
 * orders names up to its tie-break: sorting many names by their keys costs
 * one key each rather than a walk through both names at every comparison.
 */
QString naturalKey(const QString &name);
