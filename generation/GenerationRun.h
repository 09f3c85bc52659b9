#pragma once

#include "common/PageOptions.h"
#include "common/RunNotices.h"

#include <QString>

#include <atomic>

class SettingsStore;

/**
 * The generation run: measures the pictures of folder and writes its pages
 * index1.htm, index2.htm, ... ten pictures to a page. Ends with
 * notices.completed(), or notices.failed() naming the file and the reason,
 * or neither when cancelled. When settings is given, folder is saved as the
 * last folder used. Runs on any thread; cancel is checked between pictures
 * and between pages, so a cancelled run never leaves a page half written.
 * options.style chooses gallery pages with thumbnails instead (runGallery).
 */
RunOutcome runGeneration(const QString &folder, RunNotices &notices, SettingsStore *settings = nullptr,
                         const std::atomic<bool> *cancel = nullptr, const PageOptions &options = {});
