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
#include <vector>

namespace {


struct Measured {
    QString FileSize; // the record's, as in Class1
    QSize size;       // the picture's as shown
    FileStamp stamp;
    bool converted = false;
    QString reason; // empty when it was measured
    bool systemFailure = false; // the system, not the file, failed: the run cannot go on
    bool cancelled = false;
};

// What the listing said of a file to measure; its name is its record's.
struct Candidate {
    bool representable = true;
    bool isRegular = false;
    bool measured = false; // its record is complete: it stays in the catalogue
};

Measured measureRecord(const PictureFolder &folder, const QString &name, Candidate entry, Candidates which,
                       const std::atomic<bool> *cancel)
{
    Measured result;
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
    result.FileSize = QString::number(measurement.length);
    result.size = measurement.size;
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

    // Each file to measure becomes its record where it stands, filled in
    // once measured; those that could not be are taken out at the end. No
    // second list of a hundred thousand names is held while they are measured.
    PictureCatalogue &catalogue = build.catalogue;
    std::vector<Candidate> candidates;
    {
        // The listing's own list goes before the pictures are measured.
        FolderEnumeration entries(folder);
        if (!entries.error().isEmpty()) {
            build.error = QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(folder.path()), entries.error());
            return build;
        }
        candidates.reserve(std::size_t(entries.count()));
        while (auto entry = entries.next()) {
            if (entry->isFolder)
                continue;
            if (const qint64 page = pageNumber(entry->name); page > 0)
                build.existingPages.append(page);
            else if (isPageTemporary(entry->name))
                build.pageTemporaries.append(entry->name);
            if (isCandidateName(entry->name, which)) {
                catalogue.append({std::move(entry->name), {}, 0, 0});
                candidates.push_back({entry->representable, entry->isRegular});
            }
        }
        candidates.shrink_to_fit();
    }
    if (which == Candidates::Album)
        build.stamps.reserve(catalogue.count()); // sized once
    const PictureFolder pictures(folder);
    const QDir dir(folder.path()); // for the paths the notices show, never to reach a file
    // Measuring is mostly waiting on the system, one file at a time: the
    // cores share it, and the records still come in name order. The helpers
    // only read names; records are filled in on this thread alone.
    qint64 read = 0;
    const auto measure = [&](qsizetype i) {
        if (cancel && cancel->load()) {
            Measured stopped;
            stopped.cancelled = true;
            return stopped;
        }
        return measureRecord(pictures, std::as_const(catalogue).at(i).FileName, candidates[std::size_t(i)], which, cancel);
    };
    const auto take = [&](qsizetype i, Measured &&measured) {
        Class1 &record = catalogue.at(i);
        const QString &name = record.FileName;
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
        record.FileSize = std::move(measured.FileSize);
        record.imHauteur = qint64(measured.size.height()) + 2 * holderBorder;
        record.imLargeur = qint64(measured.size.width()) + 2 * holderBorder;
        candidates[std::size_t(i)].measured = true;
        notices.read(++read, dir.filePath(name));
        return true;
    };
    OrderedWork<Measured>::run(catalogue.count(), measure, take);
    catalogue.keepOnly([&candidates](qint64 i) { return candidates[std::size_t(i)].measured; });
    return build;
}
