#include "AlbumWriting.h"

#include "formats/DecodeBudget.h"
#include "system/PageOutput.h"

#include <QBuffer>
#include <QImageWriter>

#include <tuple>

namespace {

// Fine texture (gravel, foliage) loses more to the thumbnail's own encoding
// than to the scaling: at 85 a blurred-noise photo falls just under 30 dB
// PSNR against a careful resize, at 92 just over, for thumbnails a third larger.
constexpr int thumbnailQuality = 92;
// A copy is seen at about its own size, where 85 is what photo sites serve.
constexpr int webQuality = 85;

// The resolution a JPEG's header gives; fixed, so that the same picture makes
// the same bytes in every process (a new image takes the screen's).
constexpr int dotsPerMeter = 3780; // 96 dots an inch

// Qt writes a JPEG's header, its pixels and, for an image in sRGB, the sRGB
// profile: nothing of the original's EXIF, XMP or IPTC, so nothing that tells
// where or who.
QByteArray encodeJpeg(QImage image, int quality)
{
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    return writer.write(image) ? bytes : QByteArray();
}

struct Written {
    QString error;
    bool fatal = false;
};

Written writeImage(const FolderHandle &folder, const QString &name, const QImage &image, int quality)
{
    const QByteArray bytes = encodeJpeg(image, quality);
    if (bytes.isEmpty())
        return {QStringLiteral("Cannot write %1: The picture could not be encoded as JPEG.").arg(folder.displayPath(name)), true};
    // Made durable all at once, by the flush before the run records them.
    return {writeWholeFile(folder, name, bytes, Flush::Later), true};
}

} // namespace

BudgetHeld::~BudgetHeld()
{
    if (m_budget)
        m_budget->giveBack(m_bytes);
}

QImage scaledTo(const QImage &image, QSize size)
{
    return image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

ImagesWritten writeImages(const AlbumFolders &folders, const QString &file, const QImage &image, QSize shown, QSize web,
                          int box)
{
    ImagesWritten made;
    const QImage copy = web.isValid() ? scaledTo(image, web) : QImage();
    const QImage large = scaledTo(copy.isNull() ? image : copy, fittedSize(shown, 2 * box));
    const QImage small = scaledTo(large, fittedSize(shown, box));
    using Output = std::tuple<const FolderHandle *, const QImage *, int>;
    for (const auto &[folder, shownImage, quality] : {Output{&folders.web, &copy, webQuality},
                                                      Output{&folders.large, &large, thumbnailQuality},
                                                      Output{&folders.small, &small, thumbnailQuality}}) {
        if (shownImage->isNull())
            continue;
        if (const Written written = writeImage(*folder, file, *shownImage, quality); !written.error.isEmpty()) {
            made.error = written.error;
            made.fatal = written.fatal;
            return made;
        }
    }
    made.small = small.size();
    made.large = large.size();
    made.web = copy.isNull() ? QSize() : copy.size();
    return made;
}
