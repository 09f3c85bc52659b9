#include "PictureDecoding.h"

#include "platform/RegularFile.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <QTransform>

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

// Qt's JPEG reader cannot be interrupted once it decodes, and a picture at
// the limit takes seconds. Larger JPEGs are decoded in bands of about this
// many pixels (a fifth of a second each), so a stop waits for one band.
constexpr qint64 bandPixels = 16 * 1024 * 1024;

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
        return QStringLiteral("It is not a GIF or JPEG picture.");
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

// Turns a picture as Qt's automatic transformation does: mirror and flip
// in place, then a quarter turn clockwise.
QImage oriented(QImage image, QImageIOHandler::Transformations how)
{
    if (how == QImageIOHandler::TransformationNone)
        return image;
    image = std::move(image).mirrored(how.testFlag(QImageIOHandler::TransformationMirror),
                                      how.testFlag(QImageIOHandler::TransformationFlip));
    if (how.testFlag(QImageIOHandler::TransformationRotate90))
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// Copies band into whole from row top on; false once stopped.
bool copyBand(const QImage &band, QImage &whole, int top, const std::atomic<bool> *stop)
{
    const auto length = std::size_t(std::min(band.bytesPerLine(), whole.bytesPerLine()));
    const int rows = std::min(band.height(), whole.height() - top);
    for (int y = 0; y < rows; ++y) {
        if (y % 256 == 0 && stopped(stop))
            return false;
        std::memcpy(whole.scanLine(top + y), band.constScanLine(y), length);
    }
    return true;
}

// Decodes the JPEG on device band by band, each band read afresh from the
// start of the file (skipping rows costs a tenth of decoding them) straight
// into its rows of the whole picture.
QImage readInBands(QIODevice &device, QSize size, QImage::Format format, const std::atomic<bool> *stop,
                   QString &problem)
{
    QImage whole(size, format);
    if (whole.isNull()) {
        problem = tooLarge(size);
        return {};
    }
    const int rows = int(std::clamp<qint64>(bandPixels / size.width(), 16, size.height()));
    for (int top = 0; top < size.height(); top += rows) {
        if (stopped(stop) || !device.seek(0))
            return {};
        const QRect clip(0, top, size.width(), std::min(rows, size.height() - top));
        QImageReader reader(&device, "jpeg");
        reader.setAutoTransform(false);
        reader.setClipRect(clip);
        // A view of the rows, which the reader fills in place when the format
        // matches; should it allocate an image of its own, that is copied.
        QImage band(whole.scanLine(top), clip.width(), clip.height(), whole.bytesPerLine(), format);
        if (!reader.read(&band)) {
            problem = readProblem(reader);
            return {};
        }
        if (band.constBits() != whole.constScanLine(top) && !copyBand(band, whole, top, stop))
            return {};
        if (top == 0)
            whole.setColorSpace(band.colorSpace());
    }
    return whole;
}

QImage readPicture(QImageReader &reader, QSize size, const std::atomic<bool> *stop, QString &problem)
{
    const QImage::Format format = reader.imageFormat();
    if (reader.format() == "jpeg" && format != QImage::Format_Invalid
        && qint64(size.width()) * size.height() > bandPixels) {
        const QImageIOHandler::Transformations how = reader.transformation();
        QImage image = readInBands(*reader.device(), size, format, stop, problem);
        return image.isNull() ? image : oriented(std::move(image), how);
    }
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

DecodedPicture decodeOpened(QFile &file, qint64 length, const std::atomic<bool> *stop)
{
    StoppableDevice device(file, stop);
    QImageReader reader(&device);
    DecodedPicture result;
    const QSize size = reader.size();
    if (size.isValid() && !fitsTheLimit(size)) {
        result.problem = tooLarge(size);
        return result;
    }
    const bool animated = reader.supportsAnimation() && reader.imageCount() > 1;
    QImage image = readPicture(reader, size, stop, result.problem);
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
    return decodeOpened(*opened.file, opened.length, stop);
}
