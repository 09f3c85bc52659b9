#include "AlbumImages.h"

#include "album/AlbumWriting.h"
#include "album/ClipImages.h"
#include "catalogue/CandidateRule.h"

#include "common/ReadableBytes.h"
#include "formats/DecodeBudget.h"
#include "formats/HeifDecoding.h"
#include "formats/JpegDecoding.h"
#include "formats/PictureMeasure.h"
#include "system/FolderHandle.h"
#include "system/PageOutput.h"
#include "system/PictureFolder.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <tuple>
#include <utility>

namespace {

// Qt's readers of GIF, PNG, BMP and WebP may keep in memory what a file
// holds besides its pixels; a file far larger than any such picture is
// refused rather than allowed to cost gigabytes.
constexpr qint64 maxPictureBytes = 100 * 1024 * 1024;
// The usual file system limit on one name, less the room its temporary needs.
constexpr int maxNameBytes = 255 - PageBatch::temporarySuffixBytes;

QString cannotRead(const FolderHandle &folder, const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot make the album's images of %1: %2").arg(folder.displayPath(name), reason);
}

// Transparent GIF pixels would turn black in a JPEG; they show the page's white instead.
QImage onWhite(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

QImage inSrgb(QImage image)
{
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace::SRgb)
        image.convertToColorSpace(QColorSpace::SRgb);
    return image;
}




struct Decoded {
    QImage image; // upright, in sRGB, at a size that covers every image to be made
    PictureFacts facts;
    QSize displayed; // the picture's whole size as shown, of which image may be a fraction
    QString reason;
    bool overBudget = false;
    bool stopped = false;
    bool systemFailure = false; // the system failed, not the picture: the run cannot go on
    bool copied = false;        // a web copy is made of it
    BudgetHeld held;            // a full decode's memory, until its images are made
};

Decoded notDecoded(const QString &reason, bool overBudget = false, bool stopped = false, bool systemFailure = false)
{
    Decoded decoded;
    decoded.reason = reason;
    decoded.overBudget = overBudget;
    decoded.stopped = stopped;
    decoded.systemFailure = systemFailure;
    return decoded;
}

ImagesMade notMade(const QString &error, bool fatal = false)
{
    ImagesMade made;
    made.error = error;
    made.fatal = fatal;
    return made;
}

bool isJpeg(QIODevice &device)
{
    return device.seek(0) && device.peek(3) == QByteArrayView("\xFF\xD8\xFF", 3);
}


// The largest image to be made from a picture shown at displayed size.
QSize largestTarget(QSize displayed, const AlbumSizes &sizes, bool copied)
{
    const QSize large = fittedSize(displayed, 2 * sizes.box);
    const QSize web = copied ? fittedSize(displayed, sizes.webSize) : QSize();
    return web.width() > large.width() || web.height() > large.height() ? web : large;
}

// libjpeg decodes at the smallest scale in eighths that still covers the
// largest image to be made; the rest of the way down is smoothed here.
Decoded decodeJpegCovering(QIODevice &device, const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop)
{
    JpegLimits limits;
    limits.workingBytes = budget.total();
    limits.stop = stop;
    limits.reserve = [&budget, stop](qint64 bytes) { return budget.take(bytes, stop); };
    limits.release = [&budget](qint64 bytes) { budget.giveBack(bytes); };
    const bool copied = sizes.webSize > 0;
    JpegDecoded jpeg = decodeJpeg(device, [&](QSize displayed) { return largestTarget(displayed, sizes, copied); }, limits);
    if (jpeg.image.isNull())
        return notDecoded(jpeg.problem, jpeg.overBudget, jpeg.stopped);
    const QSize displayed = jpeg.orientation >= 5 ? jpeg.stored.transposed() : jpeg.stored;
    Decoded decoded;
    decoded.copied = copied;
    decoded.image = inSrgb(upright(std::move(jpeg.image), jpeg.orientation));
    decoded.facts = std::move(jpeg.facts);
    decoded.displayed = displayed;
    return decoded;
}

// The copy's size: a photo no browser shows (HEIC, AVIF) is copied whole
// when the album is asked for no copies.
QSize copySize(QSize displayed, const AlbumSizes &sizes)
{
    return sizes.webSize > 0 ? fittedSize(displayed, sizes.webSize) : displayed;
}

// HEIC and AVIF through libheif, which decodes at full size. Only the
// largest image to be made is turned into sRGB, and the full decode's memory
// is given back once that is made, unless it is that image.
Decoded decodeHeifCovering(QIODevice &device, const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop)
{
    DeviceBytes bytes(device);
    HeifLimits limits;
    limits.workingBytes = budget.total();
    limits.stop = stop;
    limits.reserve = [&budget, stop](qint64 taken) { return budget.take(taken, stop); };
    HeifDecoded heif = decodeHeif(bytes, limits);
    BudgetHeld held(budget, heif.reserved);
    if (heif.image.isNull())
        return notDecoded(heif.problem, heif.overBudget, heif.stopped);
    Decoded decoded;
    decoded.displayed = heif.image.size();
    const QSize web = copySize(decoded.displayed, sizes);
    const QSize large = fittedSize(decoded.displayed, 2 * sizes.box);
    const QSize target = web.width() >= large.width() && web.height() >= large.height() ? web : large;
    decoded.image = onWhite(inSrgb(scaledTo(heif.image, target)));
    if (target == decoded.displayed)
        decoded.held = std::move(held);
    decoded.facts = std::move(heif.facts);
    decoded.copied = true;
    return decoded;
}

// What the first bytes say a picture is, as Qt's readers name the format.
QByteArray formatOf(QIODevice &device)
{
    const QByteArray start = device.peek(12);
    if (start.startsWith("GIF8"))
        return "gif";
    if (start.startsWith("\x89PNG"))
        return "png";
    if (start.startsWith("BM"))
        return "bmp";
    if (start.startsWith("RIFF") && start.mid(8, 4) == "WEBP")
        return "webp";
    return {};
}

// Why Qt's reader could not read a picture, in a user's words.
Decoded unread(QIODevice &device, const QImageReader &reader)
{
    static const QString listed = QStringLiteral("; the classic pages, which decode nothing, still list it.");
    const QByteArray format = formatOf(device);
    if (reader.error() != QImageReader::UnsupportedFormatError)
        return notDecoded(QStringLiteral("It is damaged, or larger than the picture reader accepts") + listed);
    // GIF, PNG and BMP readers come with Qt itself: not finding one means
    // the system could not load it (no file handle left, say), which would
    // be the same for every picture after it.
    if (format == "gif" || format == "png" || format == "bmp")
        return notDecoded(QStringLiteral("The reader of %1 pictures could not be loaded: %2.")
                              .arg(QString::fromLatin1(format).toUpper(), reader.errorString()),
                          false, false, true);
    if (!format.isEmpty())
        return notDecoded(QStringLiteral("No reader of %1 pictures is installed here").arg(QString::fromLatin1(format).toUpper()) + listed);
    return notDecoded(reader.errorString() + listed);
}

// Other formats through Qt's readers, which decode in full: the memory that
// takes is held until every image is made from it.
Decoded decodeOther(QIODevice &device, DecodeBudget &budget, const std::atomic<bool> *stop)
{
    device.seek(0);
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return unread(device, reader);
    const qint64 held = qint64(stored.width()) * stored.height() * 4;
    if (!budget.take(held, stop)) {
        const bool stopped = stop && stop->load();
        return notDecoded(stopped ? QString()
                                  : QStringLiteral("Decoding it would take %1 of memory (%2 x %3 pixels), and at most %4 is allowed.")
                                        .arg(readableBytes(held)).arg(stored.width()).arg(stored.height())
                                        .arg(readableBytes(budget.total())),
                          true, stopped);
    }
    BudgetHeld taken(budget, held);
    QImage image = reader.read();
    if (image.isNull())
        return unread(device, reader);
    const QSize displayed = image.size();
    Decoded decoded;
    decoded.image = onWhite(inSrgb(std::move(image)));
    decoded.displayed = displayed;
    decoded.held = std::move(taken);
    return decoded;
}


} // namespace

QSize fittedSize(QSize size, int box)
{
    if (size.width() <= box && size.height() <= box)
        return size;
    // Rounded, not truncated: 300 x 200 gives 256 x 171, as other thumbnailers make it.
    const auto shorter = [box](int side, int longer) { return std::max(1, int((qint64(side) * box * 2 + longer) / (2 * longer))); };
    if (size.width() >= size.height())
        return {box, shorter(size.height(), size.width())};
    return {shorter(size.width(), size.height()), box};
}

namespace {

// Every suffix the album gives a picture's files is four bytes (".jpg", ".htm").
constexpr qsizetype suffixBytes = 4;

// The name with a suffix, or a digest of it when that would not fit.
QString nameWithin(const QString &pictureName, const QString &suffix)
{
    return fileStem(pictureName) + suffix;
}

} // namespace

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

QString fileStem(const QString &pictureName)
{
    // Three bytes of UTF-8 at most for each UTF-16 unit: most names need no count.
    if ((pictureName.size() + suffixBytes) * 3 <= maxNameBytes || pictureName.toUtf8().size() + suffixBytes <= maxNameBytes)
        return pictureName;
    return QString::fromLatin1(QCryptographicHash::hash(pictureName.toUtf8(), QCryptographicHash::Sha1).toHex());
}

QString thumbnailName(const QString &pictureName)
{
    return nameWithin(pictureName, QStringLiteral(".jpg"));
}

QString pageName(const QString &pictureName)
{
    return nameWithin(pictureName, QStringLiteral(".htm"));
}

ImagesMade makeAlbumImages(const PictureFolder &pictures, const QString &name, const AlbumFolders &folders,
                           const AlbumSizes &sizes, DecodeBudget &budget, const std::atomic<bool> *stop,
                           const std::function<void(qint64, qint64)> &clipProgress)
{
    if (isClipName(name))
        return makeClipImages(pictures, name, folders, sizes, budget, stop, clipProgress);
    const OpenedPicture picture = pictures.open(name, false);
    const OpenedFile &opened = picture.opened;
    if (!opened.file)
        return notMade(cannotRead(pictures.handle(), name, opened.problem.reason), opened.problem.systemFailure);
    const bool jpeg = isJpeg(*opened.file);
    const bool heif = !jpeg && opened.file->seek(0) && isHeif(opened.file->peek(32));
    // Qt's readers of the other formats may keep what a file stuffs into
    // itself; libjpeg is never asked to keep more than a few segments.
    if (!jpeg && !heif && opened.length > maxPictureBytes)
        return notMade(cannotRead(pictures.handle(), name,
                                  QStringLiteral("The file is larger than a picture of this kind should be (%1); "
                                                 "the classic pages, which decode nothing, still list it.")
                                      .arg(readableBytes(opened.length))));
    Decoded decoded = jpeg   ? decodeJpegCovering(*opened.file, sizes, budget, stop)
                      : heif ? decodeHeifCovering(*opened.file, sizes, budget, stop)
                             : decodeOther(*opened.file, budget, stop);
    ImagesMade made;
    if (decoded.stopped || (stop && stop->load())) {
        made.stopped = true;
        return made;
    }
    if (decoded.image.isNull()) {
        if (decoded.overBudget)
            decoded.reason += QStringLiteral(" The classic pages, which decode nothing, still list it.");
        return notMade(cannotRead(pictures.handle(), name, decoded.reason), decoded.systemFailure);
    }
    const QSize shown = decoded.displayed;
    const ImagesWritten written = writeImages(folders, thumbnailName(name), decoded.image, shown,
                                              decoded.copied ? copySize(shown, sizes) : QSize(), sizes.box);
    if (!written.error.isEmpty())
        return notMade(written.error, written.fatal);
    made.small = written.small;
    made.large = written.large;
    made.web = written.web; // none: the page shows the picture itself
    made.facts = std::move(decoded.facts);
    made.stamp = picture.stamp;
    return made;
}
