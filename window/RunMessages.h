#pragma once

#include "common/RunNotices.h"

#include <QString>

/** The texts of the boxes that end a generation run from the window. */
namespace RunMessages {

/** The title of the box that ends a completed run. */
inline QString completedTitle() { return QStringLiteral("HTML"); }

/**
 * Returns "Completed", then the older pages left as they were when there
 * are any (one line, as the command line says them), followed, when files were left off the pages, by a
 * line for each with its reason (the first few; then how many more). Control
 * characters in names are escaped, so each file takes exactly one line.
 */
QString completedText(const QList<SkippedFile> &skipped, const QString &olderPages = {}, const QString &albums = {});

} // namespace RunMessages
