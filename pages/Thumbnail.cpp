#include "Thumbnail.h"

#include "platform/PageOutput.h"
#include "platform/RegularFile.h"

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

// Qt's JPEG reader keeps every comment segment in memory; a file far larger
// than any photograph is refused rather than allowed to cost gigabytes.
constexpr qint64 maxPictureBytes = 100 * 1024 * 1024;
// Several pictures decode at once; each decoded image is held to this.
constexpr qint64 maxDecodedBytes = 128 * 1024 * 1024;
// The usual file system limit on one name, less the room its temporary needs.
constexpr int maxNameBytes = 255 - PageBatch::temporarySuffixBytes;
// Fine texture (gravel, foliage) loses more to the thumbnail's own encoding
// than to the scaling: at 85 a blurred-noise photo falls just under 30 dB
// PSNR against a careful resize, at 92 just over, for thumbnails a third larger.
constexpr int thumbnailQuality = 92;

QString cannotRead(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot make a thumbnail of %1: %2").arg(QDir::toNativeSeparators(path), reason);
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

QByteArray encodeJpeg(const QImage &image)
{
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
};

// The reader is asked for the thumbnail's size: for a JPEG, libjpeg then
// decodes at the smallest DCT scale that still covers it, and Qt smooths the
// rest of the way down.
Decoded decodeFitted(QIODevice &device, int box)
{
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return {{}, reader.errorString()};
    const bool quarterTurn = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize target = fittedSize(quarterTurn ? stored.transposed() : stored, box);
    const QSize decoded = quarterTurn ? target.transposed() : target;
    // A GIF decodes in full before it is scaled.
    const QSize held = reader.format() == "jpeg" ? decoded : stored;
    if (qint64(held.width()) * held.height() * 4 > maxDecodedBytes)
        return {{}, QStringLiteral("The picture is too large to decode (%1 x %2 pixels).")
                        .arg(stored.width()).arg(stored.height())};
    if (decoded != stored)
        reader.setScaledSize(decoded);
    QImage image = reader.read();
    if (image.isNull())
        return {{}, reader.errorString()};
    if (image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return {onWhite(inSrgb(std::move(image))), {}};
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

ThumbnailMade makeThumbnail(const QString &picturePath, const QString &thumbnailPath, int box)
{
    const OpenedFile opened = openRegularFile(picturePath);
    if (!opened.file)
        return {{}, cannotRead(picturePath, opened.problem.reason), opened.problem.systemFailure};
    if (opened.length > maxPictureBytes)
        return {{}, cannotRead(picturePath, QStringLiteral("The file is larger than a picture of this kind should be (%1 bytes).")
                                                .arg(opened.length))};
    const Decoded decoded = decodeFitted(*opened.file, box);
    if (decoded.image.isNull())
        return {{}, cannotRead(picturePath, decoded.reason)};
    const QByteArray bytes = encodeJpeg(decoded.image);
    if (bytes.isEmpty())
        return {{}, QStringLiteral("Cannot write %1: The picture could not be encoded as JPEG.")
                        .arg(QDir::toNativeSeparators(thumbnailPath)), true};
    const QFileInfo thumbnailFolder(QFileInfo(thumbnailPath).path());
    if (QString error = writeWholeFileIn(thumbnailFolder.path(), thumbnailFolder.fileName(), QFileInfo(thumbnailPath).fileName(), bytes);
        !error.isEmpty())
        return {{}, error, true};
    return {decoded.image.size(), {}};
}
