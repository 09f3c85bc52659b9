#pragma once

#include <QList>
#include <QString>

/**
 * Returns the index pages of existing, by number, above the last one written,
 * as one line for a report: "index4.htm, index5.htm", or for many
 * "index626.htm … index3000.htm, 2,375 pages"; empty when there are none.
 */
QString olderPagesSummary(const QList<qint64> &existing, qint64 written);
