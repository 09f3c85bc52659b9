#include "Thumbnail.h"

#include "platform/DecodeBudget.h"
#include "platform/FolderHandle.h"
#include "platform/JpegDecoding.h"
#include "platform/PageOutput.h"
#include "platform/PictureFolder.h"
#include "platform/ReadableBytes.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace {

// Qt's readers of GIF, PNG, BMP and WebP may keep in memory what a file
// holds besides its pixels; a file far larger than any such picture is
// refused rather than allowed to cost gigabytes.
constexpr qint64 maxPictureBytes = 100 * 1024 * 1024;
// The usual file system limit on one name, less the room its temporary needs.
constexpr int maxNameBytes = 255 - PageBatch::temporarySuffixBytes;
// Fine texture (gravel, foliage) loses more to the thumbnail's own encoding
// than to the scaling: at 85 a blurred-noise photo falls just under 30 dB
// PSNR against a careful resize, at 92 just over, for thumbnails a third larger.
constexpr int thumbnailQuality = 92;

QString cannotRead(const FolderHandle &folder, const QString &name, const QString &reason)
{
    return QStringLiteral("Cannot make a thumbnail of %1: %2").arg(folder.displayPath(name), reason);
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

// The resolution a JPEG's header gives; fixed, so that the same picture makes
// the same bytes in every process (a new image takes the screen's).
constexpr int dotsPerMeter = 3780; // 96 dots an inch

QByteArray encodeJpeg(QImage image)
{
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(thumbnailQuality);
    return writer.write(image) ? bytes : QByteArray();
}

struct Decoded {
    QImage image;
    QString reason;
    bool overBudget = false;
    bool stopped = false;
};

ThumbnailMade notMade(const QString &error, bool fatal = false)
{
    ThumbnailMade made;
    made.error = error;
    made.fatal = fatal;
    return made;
}

bool isJpeg(QIODevice &device)
{
    return device.seek(0) && device.peek(3) == QByteArrayView("\xFF\xD8\xFF", 3);
}

// libjpeg decodes at the smallest scale in eighths that still covers the
// thumbnail, and the rest of the way down is smoothed here.
Decoded decodeJpegFitted(QIODevice &device, int box, DecodeBudget &budget, const std::atomic<bool> *stop)
{
    JpegLimits limits;
    limits.workingBytes = budget.total();
    limits.stop = stop;
    limits.reserve = [&budget, stop](qint64 bytes) { return budget.take(bytes, stop); };
    limits.release = [&budget](qint64 bytes) { budget.giveBack(bytes); };
    JpegDecoded jpeg = decodeJpeg(device, [box](QSize displayed) { return fittedSize(displayed, box); }, limits);
    if (jpeg.image.isNull())
        return {{}, jpeg.problem, jpeg.overBudget, jpeg.stopped};
    const bool turned = jpeg.orientation >= 5;
    QSize target = fittedSize(turned ? jpeg.stored.transposed() : jpeg.stored, box);
    if (turned)
        target.transpose();
    QImage image = std::move(jpeg.image);
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {upright(std::move(image), jpeg.orientation), {}};
}

// Other formats through Qt's readers, which decode a GIF in full before it is scaled.
Decoded decodeOtherFitted(QIODevice &device, int box, DecodeBudget &budget, const std::atomic<bool> *stop)
{
    device.seek(0);
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return {{}, reader.errorString()};
    const bool quarterTurn = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize target = fittedSize(quarterTurn ? stored.transposed() : stored, box);
    const qint64 held = qint64(stored.width()) * stored.height() * 4;
    if (!budget.take(held, stop))
        return {{}, stop && stop->load() ? QString()
                                         : QStringLiteral("Decoding it would take %1 of memory (%2 x %3 pixels), and at most %4 is allowed.")
                                               .arg(readableBytes(held)).arg(stored.width()).arg(stored.height())
                                               .arg(readableBytes(budget.total())),
                true, stop && stop->load()};
    QImage image = reader.read();
    budget.giveBack(held);
    if (image.isNull())
        return {{}, reader.errorString()};
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {std::move(image), {}};
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

QString thumbnailName(const QString &pictureName)
{
    const QString name = pictureName + QStringLiteral(".jpg");
    if (name.toUtf8().size() <= maxNameBytes)
        return name;
    return QString::fromLatin1(QCryptographicHash::hash(pictureName.toUtf8(), QCryptographicHash::Sha1).toHex())
        + QStringLiteral(".jpg");
}

ThumbnailMade makeThumbnail(const PictureFolder &pictures, const QString &name, const FolderHandle &thumbnails, int box,
                            DecodeBudget &budget, const std::atomic<bool> *stop)
{
    const OpenedPicture picture = pictures.open(name, false);
    const OpenedFile &opened = picture.opened;
    if (!opened.file)
        return notMade(cannotRead(pictures.handle(), name, opened.problem.reason), opened.problem.systemFailure);
    const bool jpeg = isJpeg(*opened.file);
    // Qt's readers of the other formats may keep what a file stuffs into
    // itself; libjpeg is never asked to keep anything but the colour profile.
    if (!jpeg && opened.length > maxPictureBytes)
        return notMade(cannotRead(pictures.handle(), name,
                                  QStringLiteral("The file is larger than a picture of this kind should be (%1); "
                                                 "the classic pages, which decode nothing, still list it.")
                                      .arg(readableBytes(opened.length))));
    Decoded decoded = jpeg ? decodeJpegFitted(*opened.file, box, budget, stop)
                           : decodeOtherFitted(*opened.file, box, budget, stop);
    if (decoded.stopped || (stop && stop->load())) {
        ThumbnailMade stopped;
        stopped.stopped = true;
        return stopped;
    }
    if (decoded.image.isNull()) {
        if (decoded.overBudget)
            decoded.reason += QStringLiteral(" The classic pages, which decode nothing, still list it.");
        return notMade(cannotRead(pictures.handle(), name, decoded.reason));
    }
    const QImage image = onWhite(inSrgb(std::move(decoded.image)));
    const QString thumbnail = thumbnailName(name);
    const QByteArray bytes = encodeJpeg(image);
    if (bytes.isEmpty())
        return notMade(QStringLiteral("Cannot write %1: The picture could not be encoded as JPEG.")
                           .arg(thumbnails.displayPath(thumbnail)),
                       true);
    if (QString error = writeWholeFile(thumbnails, thumbnail, bytes); !error.isEmpty())
        return notMade(error, true);
    return {image.size(), {}, false, false, picture.stamp};
}
