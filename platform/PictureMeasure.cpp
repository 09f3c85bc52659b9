#include "PictureMeasure.h"

#include <QFile>
#include <QImageReader>

namespace {

// The decoders flag a broken or cut-short header without a reason of their
// own, which QImageReader words as "Unknown error"; say what it means instead.
QString unreadableSize(const QImageReader &reader)
{
    if (reader.error() == QImageReader::UnknownError)
        return QStringLiteral("Its picture size cannot be read: the file is damaged or incomplete.");
    return QStringLiteral("Its picture size cannot be read: %1.").arg(reader.errorString());
}

} // namespace

Measurement measurePicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("It cannot be opened: %1.").arg(file.errorString())};
    return measurePicture(file);
}

Measurement measurePicture(QIODevice &device)
{
    if (device.size() == 0)
        return {{}, QStringLiteral("The file is empty.")};

    QImageReader reader(&device);
    // A reader on a file trusts a .gif name enough to measure a file whose
    // signature is broken, which no browser would show; go by the bytes alone.
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "gif" && format != "jpeg")
        return {{}, QStringLiteral("It is not a GIF or JPEG picture.")};

    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return {{}, unreadableSize(reader)};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return {size, {}};
}
