#include "BadPictures.h"

#include "TestPictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>

namespace BadPictures {

namespace {

// With an EXIF block, so the sweep also cuts and flips the orientation data.

QByteArray encoded(const char *format)
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A GIF whose screen and image descriptor both claim 65535 x 65535 pixels,

// with a few bytes of image data.

// A JPEG whose frame header claims side x side pixels.

QByteArray hugeJpeg(int side)
{
    QByteArray bytes = TestPictures::jpeg(40, 30);
    const qsizetype sof = bytes.indexOf("\xFF\xC0");
    for (const qsizetype at : {sof + 5, sof + 7}) {
        bytes[at] = char(side >> 8);
        bytes[at + 1] = char(side & 0xFF);
    }
    return bytes;
}

QByteArray withByte(QByteArray bytes, qsizetype at, char value)
{
    bytes[at] = value;
    return bytes;
}

QList<BadFile> truncations(const QString &stem, const QString &suffix, const QByteArray &good)
{
    QList<BadFile> result;
    for (qsizetype length = 0; length < good.size(); ++length)
        result.append({QStringLiteral("%1-cut%2.%3").arg(stem).arg(length, 5, 10, QLatin1Char('0')).arg(suffix),
                       good.left(length)});
    return result;
}

// Each mutant flips one to four bytes; the seed keeps the set the same on every run.

QList<BadFile> flips(const QString &stem, const QString &suffix, const QByteArray &good, int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<BadFile> result;
    for (int i = 0; i < count; ++i) {
        QByteArray bytes = good;
        const int changes = 1 + random.bounded(4);
        for (int c = 0; c < changes; ++c)
            bytes[random.bounded(int(bytes.size()))] ^= char(1 + random.bounded(255));
        result.append({QStringLiteral("%1-flip%2.%3").arg(stem).arg(i, 3, 10, QLatin1Char('0')).arg(suffix), bytes});
    }
    return result;
}

} // namespace

QByteArray goodGif()
{
    return TestPictures::gif(40, 30);
}

QByteArray goodJpeg()
{
    return TestPictures::withExifOrientation(TestPictures::jpeg(40, 30), 6);
}

QByteArray hugeGif()
{
    QByteArray bytes = goodGif();
    for (const int at : {6, 8, 0x17, 0x19}) {
        bytes[at] = char(0xFF);
        bytes[at + 1] = char(0xFF);
    }
    return bytes;
}

QList<BadFile> mislabelled()
{
    return {
        {QStringLiteral("empty.gif"), {}},
        {QStringLiteral("empty.jpg"), {}},
        {QStringLiteral("png-inside.jpg"), encoded("png")},
        {QStringLiteral("bmp-inside.jpg"), encoded("bmp")},
        {QStringLiteral("text-inside.gif"), "These are notes, not a picture.\r\n"},
        {QStringLiteral("huge.gif"), hugeGif()},
        {QStringLiteral("huge.jpg"), hugeJpeg(65500)}, // the most the JPEG decoder takes
        {QStringLiteral("too-huge.jpg"), hugeJpeg(65535)},
        {QStringLiteral("gif-inside.jpg"), goodGif()}, // a GIF by content: measured as one
        {QStringLiteral("signature-89b.gif"), withByte(goodGif(), 5, 'b')},
        {QStringLiteral("signature-XIF.gif"), withByte(goodGif(), 0, 'X')},
        {QStringLiteral("signature-FFD9.jpg"), withByte(goodJpeg(), 1, char(0xD9))},
    };
}

QList<BadFile> everyBadFile()
{
    return truncations(QStringLiteral("gif"), QStringLiteral("gif"), goodGif())
        + truncations(QStringLiteral("jpeg"), QStringLiteral("jpg"), goodJpeg())
        + flips(QStringLiteral("gif"), QStringLiteral("gif"), goodGif(), 200, 0x5eed01)
        + flips(QStringLiteral("jpeg"), QStringLiteral("jpg"), goodJpeg(), 200, 0x5eed02) + mislabelled();
}

} // namespace BadPictures
