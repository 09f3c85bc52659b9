// PNG chunks from the header to the first image data.
#include "HeaderFormats.h"

#include <array>

namespace HeaderFormats {

namespace {

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes)
        crc = table[(crc ^ static_cast<quint8>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

quint32 be32(const QByteArray &bytes, qsizetype at)
{
    const auto b = [&](qsizetype i) { return quint32(static_cast<quint8>(bytes[at + i])); };
    return (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

bool validDepth(quint8 colour, quint8 depth)
{
    switch (colour) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

struct PngHeader {
    QSize size;
    quint8 colour = 0;
    QString problem;
};

// The IHDR chunk, which must come first, whole and with a sound checksum.
PngHeader readIhdr(HeaderCursor &cursor)
{
    QByteArray chunk;
    if (!cursor.read(25, chunk))
        return {{}, 0, QStringLiteral("incomplete")};
    if (be32(chunk, 0) != 13 || !chunk.mid(4, 4).startsWith("IHDR"))
        return {{}, 0, QStringLiteral("It is damaged: its header chunk is missing.")};
    if (crc32(chunk.mid(4, 17)) != be32(chunk, 21))
        return {{}, 0, QStringLiteral("It is damaged: its header chunk fails its checksum.")};
    const quint32 width = be32(chunk, 8), height = be32(chunk, 12);
    const auto depth = static_cast<quint8>(chunk[16]), colour = static_cast<quint8>(chunk[17]);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return {{}, 0, QStringLiteral("Its picture size cannot be read: its header gives no height or width.")};
    if (!validDepth(colour, depth) || chunk[18] != 0 || chunk[19] != 0 || static_cast<quint8>(chunk[20]) > 1)
        return {{}, 0, QStringLiteral("It is damaged: its header chunk gives impossible values.")};
    if (width > 65535 * 65536u || height > 65535 * 65536u)
        return {{}, 0, QStringLiteral("Its picture is larger than browsers show.")};
    return {QSize(int(std::min<quint32>(width, 0x7FFFFFFF)), int(std::min<quint32>(height, 0x7FFFFFFF))), colour, {}};
}

} // namespace

HeaderReading readPng(HeaderCursor &cursor, const std::atomic<bool> *cancel)
{
    cursor.seek(8);
    const PngHeader header = readIhdr(cursor);
    if (header.problem == QLatin1String("incomplete"))
        return incomplete(cursor);
    if (!header.problem.isEmpty())
        return failure(header.problem);
    int orientation = 1;
    bool palette = false;
    for (int chunks = 1; chunks <= maxSegments; ++chunks) {
        if (isCancelled(cancel, chunks))
            return cancelled();
        QByteArray head;
        if (!cursor.read(8, head))
            return incomplete(cursor);
        const quint32 length = be32(head, 0);
        const QByteArray type = head.mid(4, 4);
        const qint64 next = cursor.position() + qint64(length) + 4;
        if (length > 0x7FFFFFFF)
            return failure(QStringLiteral("It is damaged: a chunk with an impossible length."));
        if (type == "IDAT") {
            if (header.colour == 3 && !palette)
                return failure(QStringLiteral("It is damaged: its colours are missing."));
            if (length == 0 || cursor.position() >= cursor.size())
                return failure(QStringLiteral("It holds no picture data: the file ends before it."));
            QSize size = header.size;
            if (orientation >= 5)
                size.transpose();
            return {size, {}, false};
        }
        if (type == "IEND")
            return failure(QStringLiteral("It holds no picture: it ends before its picture data."));
        if (type == "PLTE")
            palette = true;
        if (type == "eXIf" && length <= 65536) {
            QByteArray tiff;
            if (!cursor.read(length, tiff))
                return incomplete(cursor);
            orientation = exifOrientation(tiff);
        }
        cursor.seek(next);
    }
    return failure(QStringLiteral("Its header is too long to measure: more than 65,536 chunks."));
}

} // namespace HeaderFormats
