#include "GetGif.h"

#include "catalogue/CandidateRule.h"
#include "catalogue/PictureMeasuring.h"
#include "common/OrderedWork.h"
#include "common/SettingsStore.h"
#include "system/FolderEnumeration.h"
#include "system/FolderHandle.h"
#include "system/PageOutput.h"
#include "system/PictureFolder.h"

#include <QDir>

#include <algorithm>

namespace {


struct Measured {
    Class1 record;
    FileStamp stamp;
    bool converted = false;
    QString reason; // empty when record is complete
    bool systemFailure = false; // the system, not the file, failed: the run cannot go on
    bool cancelled = false;
};

Measured measureRecord(const PictureFolder &folder, const FolderEntry &entry, Candidates which,
                       const std::atomic<bool> *cancel)
{
    const QString &name = entry.name;
    Measured result;
    result.record.FileName = name;
    // A name whose bytes are not valid text cannot be written into a page
    // that the browser would resolve back to the same file.
    if (!entry.representable) {
        result.reason = QStringLiteral("Its name is not valid text, so no page can refer to it.");
        return result;
    }
    const Measurement measurement = measureIn(folder, name, entry.isRegular, cancel, which);
    result.systemFailure = measurement.systemFailure;
    result.cancelled = measurement.cancelled;
    if (!measurement.error.isEmpty()) {
        result.reason = measurement.error;
        return result;
    }
    result.stamp = measurement.stamp;
    result.converted = measurement.converted;
    result.record.FileSize = QString::number(measurement.length);
    result.record.imHauteur = qint64(measurement.size.height()) + 2 * holderBorder;
    result.record.imLargeur = qint64(measurement.size.width()) + 2 * holderBorder;
    return result;
}

// The number of an index page the program writes ("index7.htm" is 7), or 0.
qint64 pageNumber(const QString &name)
{
    if (!name.startsWith(QLatin1String("index")) || !name.endsWith(QLatin1String(".htm")))
        return 0;
    const QStringView digits = QStringView(name).mid(5, name.size() - 9);
    bool ok = false;
    const qint64 number = digits.toLongLong(&ok);
    return ok && number > 0 && QStringLiteral("index%1.htm").arg(number) == name ? number : 0;
}

// A page's temporary as a run makes it: the page's name, a dot and six letters or digits.
bool isPageTemporary(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QStringView suffix = QStringView(name).mid(dot + 1);
    return dot > 0 && suffix.size() == PageBatch::temporarySuffixBytes - 1
        && std::all_of(suffix.begin(), suffix.end(), [](QChar c) { return c.isDigit() || (c.unicode() < 128 && c.isLetter()); })
        && pageNumber(name.left(dot)) > 0;
}

} // namespace

CatalogueBuild GetGif(const QString &folder, RunNotices &notices, SettingsStore *settings,
                      const std::atomic<bool> *cancel, Candidates which)
{
    return GetGif(FolderHandle::open(folder), notices, settings, cancel, which);
}

CatalogueBuild GetGif(const FolderHandle &folder, RunNotices &notices, SettingsStore *settings,
                      const std::atomic<bool> *cancel, Candidates which)
{
    CatalogueBuild build;
    if (settings)
        settings->savePath(folder.path()); // a settings failure must not cost the user the pages

    QList<FolderEntry> candidates;
    {
        // The listing's own list goes before the pictures are measured.
        FolderEnumeration entries(folder);
        if (!entries.error().isEmpty()) {
            build.error = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(folder.path()), entries.error());
            return build;
        }
        while (auto entry = entries.next()) {
            if (entry->isFolder)
                continue;
            if (const qint64 page = pageNumber(entry->name); page > 0)
                build.existingPages.append(page);
            else if (isPageTemporary(entry->name))
                build.pageTemporaries.append(entry->name);
            if (isCandidateName(entry->name, which))
                candidates.append(std::move(*entry));
        }
    }
    if (which == Candidates::Album)
        build.stamps.reserve(candidates.size()); // sized once
    const PictureFolder pictures(folder);
    const QDir dir(folder.path()); // for the paths the notices show, never to reach a file
    // Measuring is mostly waiting on the system, one file at a time: the
    // cores share it, and the records still come in name order.
    qint64 read = 0;
    const auto measure = [&](qsizetype i) {
        if (cancel && cancel->load()) {
            Measured stopped;
            stopped.cancelled = true;
            return stopped;
        }
        return measureRecord(pictures, candidates.at(i), which, cancel);
    };
    const auto take = [&](qsizetype i, Measured &&measured) {
        const QString &name = candidates.at(i).name;
        if (measured.cancelled) {
            build.cancelled = true;
            return false;
        }
        if (measured.systemFailure) {
            build.error = QStringLiteral("Cannot read %1: %2").arg(folder.displayPath(name), measured.reason);
            return false;
        }
        if (!measured.reason.isEmpty()) {
            build.skipped.append({name, measured.reason});
            return true;
        }
        // Only the album compares stamps; the classic pages need none of them.
        if (which == Candidates::Album)
            build.stamps.insert(name, measured.stamp);
        if (measured.converted)
            build.converted.insert(name);
        build.catalogue.append(std::move(measured.record));
        notices.read(++read, dir.filePath(name));
        return true;
    };
    OrderedWork<Measured>::run(candidates.size(), measure, take);
    return build;
}
