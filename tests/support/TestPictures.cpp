#include "TestPictures.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <cstdlib>

namespace TestPictures {

namespace {

void putLe16(QByteArray &out, int value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void putBe16(QByteArray &out, int value)
{
    out += char((value >> 8) & 0xFF);
    out += char(value & 0xFF);
}

// LZW data for width * height pixels of colour 0 at a minimum code size of 2.
// A clear code before every second pixel keeps every code three bits wide.
QByteArray lzwAllZero(qint64 pixels)
{
    QByteArray bytes;
    quint32 buffer = 0;
    int bits = 0;
    auto put = [&](quint32 code) {
        buffer |= code << bits;
        bits += 3;
        while (bits >= 8) {
            bytes += char(buffer & 0xFF);
            buffer >>= 8;
            bits -= 8;
        }
    };
    constexpr quint32 clear = 4, end = 5;
    for (qint64 i = 0; i < pixels; ++i) {
        if (i % 2 == 0)
            put(clear);
        put(0);
    }
    put(end);
    if (bits > 0)
        bytes += char(buffer & 0xFF);
    return bytes;
}

} // namespace

QByteArray gif(int width, int height)
{
    QByteArray out("GIF89a");
    putLe16(out, width);
    putLe16(out, height);
    out += char(0x80); // a global colour table of two entries
    out += char(0);
    out += char(0);
    out += QByteArray("\x20\x60\xC0\xFF\xFF\xFF", 6);
    out += char(0x2C);
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, width);
    putLe16(out, height);
    out += char(0);
    out += char(2); // minimum code size
    const QByteArray data = lzwAllZero(qint64(width) * height);
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out += char(block.size());
        out += block;
    }
    out += char(0);
    out += char(0x3B);
    return out;
}

QByteArray animatedGif(int width, int height, int frames)
{
    // A single-frame GIF is header (13 bytes) + two-colour table (6) + one
    // image + trailer; repeating the image gives more frames.
    const QByteArray one = gif(width, height);
    const QByteArray image = one.mid(19, one.size() - 20);
    return one.left(19) + image.repeated(frames) + char(0x3B);
}

QByteArray jpeg(int width, int height, int quality)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255) / qMax(1, width), (y * 255) / qMax(1, height), 128);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray jpegClaiming(int width, int height)
{
    QByteArray bytes = jpeg(8, 8);
    const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2)); // baseline frame header
    Q_ASSERT(frame > 0);
    bytes[frame + 5] = char(height >> 8);
    bytes[frame + 6] = char(height & 0xFF);
    bytes[frame + 7] = char(width >> 8);
    bytes[frame + 8] = char(width & 0xFF);
    return bytes;
}

QByteArray progressiveClaiming(int width, int height, int scans)
{
    const auto segment = [](int marker, const QByteArray &body) {
        QByteArray bytes("\xFF", 1);
        bytes += char(marker);
        putBe16(bytes, int(body.size()) + 2);
        return bytes + body;
    };
    QByteArray bytes("\xFF\xD8", 2);
    bytes += segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\x01'));
    QByteArray frame(1, '\x08');
    putBe16(frame, height);
    putBe16(frame, width);
    frame += QByteArray("\x03\x01\x11\0\x02\x11\0\x03\x11\0", 10);
    bytes += segment(0xC2, frame);
    bytes += segment(0xC4, QByteArray("\0\x01", 2) + QByteArray(15, '\0') + QByteArray(1, '\0')); // one DC code
    for (int i = 0; i < scans; ++i) // the DC scan of all three components, over and over, each with one byte of data
        bytes += segment(0xDA, QByteArray("\x03\x01\0\x02\0\x03\0\0\0\0", 10)) + QByteArray(1, '\0');
    return bytes + QByteArray("\xFF\xD9", 2);
}

QByteArray withExifOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("MM\0\x2A\0\0\0\x08", 8); // big-endian, first directory at 8
    putBe16(tiff, 1);                          // one entry
    putBe16(tiff, 0x0112);                     // Orientation
    putBe16(tiff, 3);                          // SHORT
    tiff += QByteArray("\0\0\0\x01", 4);       // count 1
    putBe16(tiff, orientation);
    putBe16(tiff, 0);
    tiff += QByteArray(4, '\0'); // no next directory

    QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    putBe16(segment, int(app1.size()) + 2);
    segment += app1;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray claiming(const QByteArray &format, int width, int height)
{
    const auto put = [](QByteArray &out, qsizetype at, quint32 value, int count, bool bigEndian) {
        for (int i = 0; i < count; ++i)
            out[at + i] = char(value >> (8 * (bigEndian ? count - 1 - i : i)));
    };
    if (format == "gif") {
        QByteArray out = gif(1, 1);
        for (const qsizetype at : {6, 24}) { // the logical screen, then the image
            put(out, at, quint32(width), 2, false);
            put(out, at + 2, quint32(height), 2, false);
        }
        return out;
    }
    if (format == "webp") { // the extended header's canvas, its sides less one in 24 bits
        QByteArray out = "RIFF....WEBPVP8X" + QByteArray("\x0A\0\0\0", 4) + QByteArray(10, 0)
            + "VP8L" + QByteArray("\x05\0\0\0\x2F\0\0\0\0\0", 10);
        put(out, 4, quint32(out.size() - 8), 4, false);
        put(out, 24, quint32(width - 1), 3, false);
        put(out, 27, quint32(height - 1), 3, false);
        return out;
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImage(1, 1, QImage::Format_RGB32).save(&buffer, format.constData());
    if (format == "bmp") {
        put(out, 18, quint32(width), 4, false);
        put(out, 22, quint32(height), 4, false);
        return out + QByteArray(qsizetype(width) * 4, 0); // a whole row, which a browser needs to draw anything
    }
    // PNG: the IHDR chunk's sides, then its CRC-32 over its type and data.
    put(out, 16, quint32(width), 4, true);
    put(out, 20, quint32(height), 4, true);
    quint32 crc = 0xFFFFFFFF;
    for (qsizetype i = 12; i < 29; ++i) {
        crc ^= quint8(out[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    put(out, 29, ~crc, 4, true);
    return out;
}

QImage quadrants(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width() / 2, h = size.height() / 2;
    image.fill(Qt::white);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, x < w ? (y < h ? qRgb(220, 30, 30) : qRgb(30, 30, 220))
                                       : (y < h ? qRgb(30, 200, 30) : qRgb(240, 220, 40)));
    return image;
}

int difference(const QImage &a, const QImage &expected)
{
    const auto flat = [&expected](int x, int y) {
        for (const QPoint d : {QPoint(-4, -4), QPoint(4, -4), QPoint(-4, 4), QPoint(4, 4)})
            if (expected.pixel(std::clamp(x + d.x(), 0, expected.width() - 1), std::clamp(y + d.y(), 0, expected.height() - 1))
                != expected.pixel(x, y))
                return false;
        return true;
    };
    int worst = 0;
    for (int i = 0; i < 16; ++i)
        for (int j = 0; j < 16; ++j) {
            const int x = expected.width() * (2 * i + 1) / 32, y = expected.height() * (2 * j + 1) / 32;
            if (!flat(x, y))
                continue;
            const QRgb p = a.pixel(x * a.width() / expected.width(), y * a.height() / expected.height());
            const QRgb q = expected.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

} // namespace TestPictures
