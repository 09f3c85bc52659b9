#include "PictureMeasure.h"

#include <QFile>
#include <QImageReader>

Measurement measurePicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("It cannot be opened: %1.").arg(file.errorString())};
    if (file.size() == 0)
        return {{}, QStringLiteral("The file is empty.")};

    QImageReader reader(&file);
    const QByteArray format = reader.format();
    if (format != "gif" && format != "jpeg")
        return {{}, QStringLiteral("It is not a GIF or JPEG picture.")};

    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return {{}, QStringLiteral("Its picture size cannot be read: %1.").arg(reader.errorString())};
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return {size, {}};
}
