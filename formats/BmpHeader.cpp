// BMP file and information headers, colour table and the first row of pixels.
#include "HeaderFormats.h"

namespace HeaderFormats {

namespace {

qint32 le32(const QByteArray &bytes, qsizetype at)
{
    const auto b = [&](qsizetype i) { return quint32(static_cast<quint8>(bytes[at + i])); };
    return qint32(b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24));
}

int le16(const QByteArray &bytes, qsizetype at)
{
    return static_cast<quint8>(bytes[at]) | (static_cast<quint8>(bytes[at + 1]) << 8);
}

bool validBits(int bits, qint32 compression)
{
    switch (compression) {
    case 0: return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case 1: return bits == 8;  // RLE8
    case 2: return bits == 4;  // RLE4
    case 3: case 6: return bits == 16 || bits == 32; // bit fields
    default: return false;
    }
}

} // namespace

HeaderReading readBmp(HeaderCursor &cursor)
{
    QByteArray head;
    cursor.seek(0);
    if (!cursor.read(18, head))
        return incomplete(cursor);
    const qint32 pixelsAt = le32(head, 10);
    const qint32 infoSize = le32(head, 14);
    const bool core = infoSize == 12; // the oldest header, with 16-bit sizes
    if (!core && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 64 && infoSize != 108
        && infoSize != 124)
        return failure(QStringLiteral("It is damaged: its header is of no known kind."));
    QByteArray info;
    if (!cursor.read(infoSize - 4, info))
        return incomplete(cursor);
    const qint64 width = core ? le16(info, 0) : le32(info, 0);
    qint64 height = core ? le16(info, 2) : le32(info, 4);
    const int planes = core ? le16(info, 4) : le16(info, 8);
    const int bits = core ? le16(info, 6) : le16(info, 10);
    const qint32 compression = core ? 0 : le32(info, 12);
    const bool topDown = height < 0;
    height = std::abs(height);
    if (width <= 0 || height == 0)
        return failure(QStringLiteral("Its picture size cannot be read: its header gives no height or width."));
    if (planes != 1 || !validBits(bits, compression) || (topDown && (compression == 1 || compression == 2)))
        return failure(QStringLiteral("It is a kind of BMP that browsers do not show."));
    if (pixelsAt < 14 + infoSize || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return failure(QStringLiteral("It is damaged: its header gives impossible values."));
    // A browser draws nothing until a whole row of pixels is there.
    const qint64 rowBytes = compression == 0 ? (width * bits + 31) / 32 * 4 : 1;
    if (cursor.size() < pixelsAt + rowBytes)
        return failure(QStringLiteral("It holds no picture data: the file ends before it."));
    return {QSize(int(width), int(height)), {}, false};
}

} // namespace HeaderFormats
