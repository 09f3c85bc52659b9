#include "ClipImages.h"

#include "album/AlbumWriting.h"
#include "clips/ClipService.h"
#include "formats/DecodeBudget.h"
#include "formats/PictureMeasure.h"
#include "system/LargeBuffers.h"
#include "system/PictureFolder.h"
#include "system/StreamedFile.h"

#include <QFile>
#include <QScopeGuard>

namespace {

ImagesMade notMade(const FolderHandle &folder, const QString &name, const QString &reason, bool fatal = false)
{
    ImagesMade made;
    made.error = QStringLiteral("Cannot make the album's images of %1: %2").arg(folder.displayPath(name), reason);
    made.fatal = fatal;
    return made;
}

ImagesMade stopped()
{
    ImagesMade made;
    made.stopped = true;
    return made;
}

// The poster is seen where the clip plays: no larger than a made copy.
QSize posterSize(QSize displayed)
{
    return fittedSize(displayed, mostMadeSide);
}

// The copy's file as the clip module writes it.
class FileSink : public ClipSink
{
public:
    explicit FileSink(StreamedFile &file) : m_file(file) {}
    bool writeAt(qint64 offset, const char *data, qint64 size) override { return m_file.writeAt(offset, data, size); }
    qint64 readAt(qint64 offset, char *into, qint64 count) const override { return m_file.readAt(offset, into, count); }
    qint64 size() const override { return m_file.size(); }
    QString error() const override { return m_file.error(); }

private:
    StreamedFile &m_file;
};

} // namespace

QString clipCopyName(const QString &pictureName, const QString &kind)
{
    return fileStem(pictureName) + QLatin1Char('.') + kind;
}

ImagesMade makeClipImages(const PictureFolder &pictures, const QString &name, const AlbumFolders &folders,
                          const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop,
                          const std::function<void(qint64, qint64)> &progress)
{
    const OpenedPicture picture = pictures.open(name, false);
    const OpenedFile &opened = picture.opened;
    if (!opened.file)
        return notMade(pictures.handle(), name, opened.problem.reason, opened.problem.systemFailure);
    QString unloaded;
    const ClipService *clips = clipService(&unloaded);
    if (!clips)
        return notMade(pictures.handle(), name, unloaded);
    DeviceBytes bytes(*opened.file);
    ClipHeader header;
    ImagesWritten images;
    // What a clip's decoders and encoder freed is given back before the next clip takes its share.
    const auto giveBack = qScopeGuard([] { giveBackFreedMemory(); });
    {
        header = clips->readHeader(bytes, stop);
        if (header.stopped)
            return stopped();
        if (!header.problem.isEmpty())
            return notMade(pictures.handle(), name, header.problem);
        const auto target = [&sizes](QSize shown) {
            const QSize poster = posterSize(shown), large = fittedSize(shown, 2 * sizes.box);
            return poster.width() >= large.width() && poster.height() >= large.height() ? poster : large;
        };
        qint64 reserved = 0;
        const ClipPoster poster = clips->poster(bytes, header, stop, target, [&](qint64 cost) { return budget.take(cost, stop); },
                                                reserved);
        const BudgetHeld held(budget, reserved);
        if (poster.stopped)
            return stopped();
        if (poster.image.isNull())
            return notMade(pictures.handle(), name, poster.problem);
        images = writeImages(folders, thumbnailName(name), poster.image, header.displayed, posterSize(header.displayed), sizes.box);
        if (!images.error.isEmpty()) {
            ImagesMade made;
            made.error = images.error;
            made.fatal = images.fatal;
            return made;
        }
    }
    giveBackFreedMemory(); // the poster's decoder, before the copy's takes its share
    ImagesMade made;
    made.small = images.small;
    made.large = images.large;
    made.web = images.web; // the poster, until a copy is made
    made.facts = header.facts;
    made.facts.clipMilliseconds = header.milliseconds;
    made.stamp = picture.stamp;
    // The copy reads the clip again from its start, with what its making may cost held.
    const qint64 cost = copyCost(header);
    if (cost > budget.total())
        return made; // shown by its poster, the original offered: making a copy would cost more than a run may hold
    // A copy made anew is made alone: what the other decodes leave behind
    // and what it takes would otherwise pass 256 MB together, and x264
    // keeps every core busy on its own.
    const qint64 held = header.copy == ClipCopy::Mp4Made ? budget.total() : cost;
    if (!budget.take(held, stop))
        return stopped();
    const BudgetHeld holding(budget, held);
    const QString kind = copySuffix(header.copy);
    StreamedFile file(folders.web, clipCopyName(name, kind));
    FileSink sink(file);
    const CopyMade copy = clips->writeCopy(bytes, header, sink, stop, [&](qint64 done) {
        if (progress)
            progress(done, header.milliseconds);
    });
    if (copy.stopped)
        return stopped(); // the copy's temporary goes with file
    if (copy.fatal)
        return ImagesMade{{}, {}, {}, {}, {}, copy.problem, true};
    if (!copy.problem.isEmpty())
        return notMade(pictures.handle(), name, copy.problem);
    if (const QString error = file.commit(Flush::Later); !error.isEmpty())
        return ImagesMade{{}, {}, {}, {}, {}, error, true};
    made.web = copy.size;
    made.facts.clipCopy = kind;
    return made;
}
