#pragma once

#include "pages/PageOptions.h"
#include "platform/RunNotices.h"

#include <QString>

#include <atomic>

class SettingsStore;

enum class RunOutcome { Completed, Failed, Cancelled };

/**
 * The generation run: measures the pictures of folder and writes its pages
 * index1.htm, index2.htm, ... ten pictures to a page. Ends with
 * notices.completed(), or notices.failed() naming the file and the reason,
 * or neither when cancelled. When settings is given, folder is saved as the
 * last folder used. Runs on any thread; cancel is checked between pictures
 * and between pages, so a cancelled run never leaves a page half written.
 * options.style chooses gallery pages with thumbnails instead (runGallery).
 */
/**
 * Returns the index pages of existing, by number, above the last one written,
 * as one line for a report: "index4.htm, index5.htm", or for many
 * "index626.htm … index3000.htm, 2,375 pages"; empty when there are none.
 */
QString olderPagesSummary(const QList<qint64> &existing, qint64 written);

RunOutcome runGeneration(const QString &folder, RunNotices &notices, SettingsStore *settings = nullptr,
                         const std::atomic<bool> *cancel = nullptr, const PageOptions &options = {});
