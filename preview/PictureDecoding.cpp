#include "PictureDecoding.h"

#include "catalogue/CandidateRule.h"
#include "clips/ClipService.h"
#include "formats/HeifDecoding.h"
#include "formats/JpegDecoding.h"
#include "formats/PictureMeasure.h"
#include "system/RegularFile.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstring>

namespace {

// The preview shows pictures at full size, so the decoded image is what
// bounds memory. A 16,000 x 8,000 panorama takes 512 MB at four bytes a
// pixel and must still preview; a damaged or hostile file whose header
// claims 65,535 x 65,535 pixels would ask for 17 GB and must be refused
// before anything is allocated. Qt's default of 128 MB would refuse the
// panorama; 1024 MB lets it through with room to spare.
constexpr int decodeLimitMegabytes = 1024;
constexpr qint64 decodeLimitBytes = qint64(decodeLimitMegabytes) * 1024 * 1024;

// A progressive JPEG holds coefficients of the whole picture while it
// decodes: a file of a few hundred bytes may claim gigabytes of them, and a
// photograph of 85 megapixels needs less than this.
constexpr qint64 coefficientLimitBytes = 256 * 1024 * 1024;
constexpr qint64 decoderOverheadBytes = 16 * 1024 * 1024;

// A playing animation decodes each frame on the UI thread; past this size a
// frame takes long enough to make the window stutter, so only the first
// frame is shown.
constexpr qint64 playablePixels = 2048 * 2048;

bool stopped(const std::atomic<bool> *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// The open file, read through a check of the stop flag: once it is set every
// read fails, and a decoder that reads as it goes gives up at its next read.
class StoppableDevice final : public QIODevice
{
public:
    StoppableDevice(QFile &file, const std::atomic<bool> *stop)
        : m_file(file)
        , m_stop(stop)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (stopped(m_stop))
            return -1;
        const qint64 read = m_file.read(data, maxSize);
        if (read < 0)
            setErrorString(m_file.errorString());
        return read;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile &m_file;
    const std::atomic<bool> *m_stop;
};

QString readProblem(const QImageReader &reader)
{
    switch (reader.error()) {
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("It is not a picture that browsers show (GIF, JPEG, PNG, BMP or WebP).");
    case QImageReader::InvalidDataError:
        return QStringLiteral("It is damaged, or not a picture.");
    case QImageReader::DeviceError:
        return QStringLiteral("It could not be read: %1.").arg(reader.device()->errorString());
    default:
        return QStringLiteral("It could not be decoded: %1.").arg(reader.errorString());
    }
}

bool fitsTheLimit(QSize size)
{
    return qint64(size.width()) * size.height() * 4 <= decodeLimitBytes;
}

QString tooLarge(QSize size)
{
    return QStringLiteral("It is too large: %1 x %2 pixels.").arg(size.width()).arg(size.height());
}

QImage readPicture(QImageReader &reader, QString &problem)
{
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        problem = readProblem(reader);
    return image;
}

// The formats a pixmap keeps as they are on a 24- or 32-bit display: the
// conversion is done here rather than on the UI thread.
void makePixmapReady(QImage &image)
{
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

// The whole file, for a movie to play from memory on the UI thread.
QByteArray animationBytes(QIODevice &device, qint64 length, QSize frame)
{
    if (length > decodeLimitBytes || qint64(frame.width()) * frame.height() > playablePixels)
        return {};
    if (!device.seek(0))
        return {};
    const QByteArray bytes = device.read(length);
    return bytes.size() == length ? bytes : QByteArray();
}

// JPEGs go straight to libjpeg: its cost is known from the header, and a
// stop is noticed at the next row.
DecodedPicture decodeJpegOpened(QIODevice &device, const std::atomic<bool> *stop)
{
    JpegLimits limits;
    limits.workingBytes = decodeLimitBytes + coefficientLimitBytes + decoderOverheadBytes;
    limits.coefficientBytes = coefficientLimitBytes;
    limits.stop = stop;
    JpegDecoded jpeg = decodeJpeg(device, [](QSize displayed) { return displayed; }, limits);
    DecodedPicture result;
    result.incomplete = jpeg.incomplete;
    if (jpeg.image.isNull() || stopped(stop)) {
        result.problem = jpeg.problem;
        return result;
    }
    if (!fitsTheLimit(jpeg.image.size())) {
        result.problem = tooLarge(jpeg.image.size());
        return result;
    }
    QImage image = upright(std::move(jpeg.image), jpeg.orientation);
    const QSize decoded = image.size();
    makePixmapReady(image);
    if (image.isNull())
        result.problem = tooLarge(decoded);
    else
        result.image = std::move(image);
    return result;
}

// HEIC and AVIF photos through libheif, upright as the file says. Its cost
// a pixel, seven bytes at eight bits against the image's own four, is
// bounded from the header, so the image stays within the limit; a tiled
// photo's tiles share two threads, and a stop is noticed between them.
DecodedPicture decodeHeifOpened(QIODevice &device, const std::atomic<bool> *stop)
{
    DeviceBytes bytes(device);
    HeifLimits limits;
    limits.workingBytes = decodeLimitBytes / 4 * 7;
    limits.stop = stop;
    limits.threads = 2;
    HeifDecoded heif = decodeHeif(bytes, limits);
    DecodedPicture result;
    if (heif.image.isNull() || stopped(stop)) {
        result.problem = heif.problem;
        return result;
    }
    const QSize decoded = heif.image.size();
    makePixmapReady(heif.image);
    if (heif.image.isNull())
        result.problem = tooLarge(decoded);
    else
        result.image = std::move(heif.image);
    return result;
}

// A clip shows its poster frame, at its whole size, upright.
DecodedPicture decodeClipOpened(QIODevice &device, const std::atomic<bool> *stop)
{
    DeviceBytes bytes(device);
    DecodedPicture result;
    const ClipService *clips = clipService(&result.problem);
    if (!clips)
        return result;
    const ClipHeader header = clips->readHeader(bytes, stop);
    if (!header.problem.isEmpty() || header.stopped) {
        result.problem = header.problem;
        return result;
    }
    if (!fitsTheLimit(header.displayed)) {
        result.problem = tooLarge(header.displayed);
        return result;
    }
    qint64 reserved = 0;
    ClipPoster poster = clips->poster(bytes, header, stop, [](QSize shown) { return shown; },
                                      [](qint64 cost) { return cost <= decodeLimitBytes * 2; }, reserved);
    if (poster.image.isNull() || stopped(stop)) {
        result.problem = poster.problem;
        return result;
    }
    makePixmapReady(poster.image);
    result.image = std::move(poster.image);
    return result;
}

DecodedPicture decodeOpened(QFile &file, qint64 length, const std::atomic<bool> *stop)
{
    StoppableDevice device(file, stop);
    if (device.peek(3) == QByteArrayView("\xFF\xD8\xFF", 3))
        return decodeJpegOpened(device, stop);
    if (isHeif(device.peek(32)))
        return decodeHeifOpened(device, stop);
    QImageReader reader(&device);
    DecodedPicture result;
    const QSize size = reader.size();
    if (size.isValid() && !fitsTheLimit(size)) {
        result.problem = tooLarge(size);
        return result;
    }
    const bool animated = reader.supportsAnimation() && reader.imageCount() > 1;
    QImage image = readPicture(reader, result.problem);
    if (image.isNull() || stopped(stop))
        return result;
    if (!fitsTheLimit(image.size())) {
        result.problem = tooLarge(image.size());
        return result;
    }
    const QSize decoded = image.size();
    makePixmapReady(image);
    if (image.isNull()) {
        result.problem = tooLarge(decoded);
        return result;
    }
    if (animated)
        result.animation = animationBytes(device, length, image.size());
    result.image = std::move(image);
    return result;
}

} // namespace

void limitPictureDecoding()
{
    QImageReader::setAllocationLimit(decodeLimitMegabytes);
}

DecodedPicture decodePicture(const QString &path, const std::atomic<bool> *stop)
{
    if (path.isEmpty())
        return {{}, {}, QStringLiteral("No picture is selected.")};
    const OpenedFile opened = openRegularFile(path);
    if (!opened.file)
        return {{}, {}, opened.problem.reason};
    if (isClipName(QFileInfo(path).fileName())) {
        StoppableDevice device(*opened.file, stop);
        return decodeClipOpened(device, stop);
    }
    return decodeOpened(*opened.file, opened.length, stop);
}
