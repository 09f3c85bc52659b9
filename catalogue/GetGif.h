#pragma once

#include "catalogue/CandidateRule.h"
#include "catalogue/PictureCatalogue.h"
#include "common/FileStamp.h"
#include "common/RunNotices.h"

#include <QHash>
#include <QSet>

#include <atomic>

class FolderHandle;
class SettingsStore;

struct CatalogueBuild {
    PictureCatalogue catalogue;
    QList<SkippedFile> skipped; // candidates that could not be measured, with the reason
    QList<qint64> existingPages; // numbers of the index pages the folder held before the run
    QStringList pageTemporaries; // temporaries of pages that a killed run left, "index3.htm.Ab12Cd"
    QHash<QString, FileStamp> stamps; // the album's: each catalogued picture's identity and times when it was measured
    QSet<QString> converted;          // catalogued photos no browser shows as they are (HEIC, AVIF)
    QString error;              // set when the folder itself cannot be listed
    bool cancelled = false;
};

/**
 * Builds the catalogue of folder: every candidate file (which says which), in name order,
 * measured from its header. A file that cannot be measured is skipped and
 * the build goes on. When settings is given, folder is saved as the last
 * folder used before anything is read. Reports each measured picture through
 * notices.read(). Runs on any thread; stops early when cancel becomes true.
 */
CatalogueBuild GetGif(const FolderHandle &folder, RunNotices &notices, SettingsStore *settings = nullptr,
                      const std::atomic<bool> *cancel = nullptr,
                      Candidates which = Candidates::Classic);

/** As above, for the folder at path, opened once, now. */
CatalogueBuild GetGif(const QString &folder, RunNotices &notices, SettingsStore *settings = nullptr,
                      const std::atomic<bool> *cancel = nullptr,
                      Candidates which = Candidates::Classic);
