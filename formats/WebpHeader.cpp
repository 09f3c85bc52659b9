// WebP: the RIFF container and the first image chunk's frame header.
#include "HeaderFormats.h"

namespace HeaderFormats {

namespace {

quint32 le(const QByteArray &bytes, qsizetype at, int count)
{
    quint32 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(bytes[at + i]);
    return value;
}

} // namespace

HeaderReading readWebp(HeaderCursor &cursor)
{
    QByteArray head;
    cursor.seek(0);
    cursor.read(30, head); // a small lossless picture may be shorter
    if (head.size() < 16)
        return incomplete(cursor);
    // Browsers show a WebP only once all of it is there.
    if (cursor.size() < qint64(le(head, 4, 4)) + 8)
        return failure(QStringLiteral("It is incomplete: the file ends before the picture does."));
    const QByteArray chunk = head.mid(12, 4);
    QSize size;
    const qsizetype needed = chunk == "VP8L" ? 25 : 30;
    if (head.size() < needed)
        return incomplete(cursor);
    if (chunk == "VP8 ") {
        if (le(head, 20, 1) & 1 || head.mid(23, 3) != QByteArray("\x9D\x01\x2A", 3))
            return failure(QStringLiteral("It is damaged: its picture does not begin with a key frame."));
        size = QSize(int(le(head, 26, 2) & 0x3FFF), int(le(head, 28, 2) & 0x3FFF));
    } else if (chunk == "VP8L") {
        if (static_cast<quint8>(head[20]) != 0x2F)
            return failure(QStringLiteral("It is damaged: its lossless picture has no signature."));
        const quint32 bits = le(head, 21, 4);
        size = QSize(int(bits & 0x3FFF) + 1, int((bits >> 14) & 0x3FFF) + 1);
    } else if (chunk == "VP8X") {
        size = QSize(int(le(head, 24, 3)) + 1, int(le(head, 27, 3)) + 1);
    } else {
        return failure(QStringLiteral("It is damaged: its first chunk is not a picture."));
    }
    if (size.isEmpty())
        return failure(QStringLiteral("Its picture size cannot be read: its header gives no height or width."));
    return {size, {}, false};
}

} // namespace HeaderFormats
