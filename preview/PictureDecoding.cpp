#include "PictureDecoding.h"

#include <QDir>
#include <QImageReader>

namespace {

// The preview shows pictures at full size, so the decoded image is what
// bounds memory. A 16,000 x 8,000 panorama takes 512 MB at four bytes a
// pixel and must still preview; a damaged or hostile file whose header
// claims 65,535 x 65,535 pixels would ask for 17 GB and must be refused
// before anything is allocated. Qt's default of 128 MB would refuse the
// panorama; 1024 MB lets it through with room to spare.
constexpr int decodeLimitMegabytes = 1024;

QString cannotLoad(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot load %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

void limitPictureDecoding()
{
    QImageReader::setAllocationLimit(decodeLimitMegabytes);
}

DecodedPicture decodePicture(const QString &path)
{
    if (path.isEmpty())
        return {{}, false, QStringLiteral("No picture is selected.")};

    QImageReader reader(path);
    reader.setAutoTransform(true);
    DecodedPicture result;
    result.animated = reader.supportsAnimation() && reader.imageCount() > 1;
    result.image = reader.read();
    if (result.image.isNull())
        result.error = cannotLoad(path, reader.errorString());
    return result;
}
