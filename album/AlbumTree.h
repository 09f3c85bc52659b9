#pragma once

#include "common/PageOptions.h"
#include "common/RunNotices.h"

#include <atomic>

class FolderHandle;
class SettingsStore;

/**
 * Writes a gallery album in the open folder root and in every folder under
 * it, at any depth, that holds pictures or holds such folders: the pages a
 * gallery run writes there, a breadcrumb on each page up to root, and on an
 * album's first index page its sub-albums, each with a cover, its name and
 * the number of pictures inside it. Sub-folders are opened relative to their
 * parent, never by path, and each is taken for this run (see
 * FolderHandle::lockForRun()) while it is written. Links to folders, hidden
 * folders, the album folders themselves and folders deeper than 64 levels are
 * not descended; links and the too deep are reported. A folder that cannot be
 * read or written is named in a failure; the others are still written, and
 * the run then fails rather than completes. root must already be taken for
 * this run. Runs on any thread; cancel stops the whole tree.
 */
RunOutcome runAlbumTree(const FolderHandle &root, RunNotices &notices, SettingsStore *settings,
                        const std::atomic<bool> *cancel, const PageOptions &options);
