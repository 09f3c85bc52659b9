#include "PictureHeader.h"

#include "platform/HeaderCursor.h"

#include <QByteArray>

namespace {

// The most segments or blocks read before the picture data: far more than any
// real file has, and few enough that a hostile file is done in milliseconds.
constexpr int maxSegments = 65536;
constexpr int cancelInterval = 256;
constexpr int largestJpegSide = 65500; // libjpeg's limit, and so the browsers'

HeaderReading failure(const QString &reason)
{
    return {{}, reason, false};
}

HeaderReading incomplete(const HeaderCursor &cursor)
{
    if (!cursor.ioError().isEmpty())
        return failure(QStringLiteral("It cannot be read: %1.").arg(cursor.ioError()));
    return failure(QStringLiteral("Its picture size cannot be read: the file is damaged or incomplete."));
}

HeaderReading cancelled()
{
    return {{}, QStringLiteral("Measuring was cancelled."), true};
}

bool isCancelled(const std::atomic<bool> *cancel, int step)
{
    return cancel && step % cancelInterval == 0 && cancel->load(std::memory_order_relaxed);
}

// --- JPEG ------------------------------------------------------------------

// The orientation an IFD0 entry gives, read the way browsers read it: a
// single SHORT of 1 to 8; anything else leaves the picture upright.
int exifOrientation(const QByteArray &tiff)
{
    if (tiff.size() < 8)
        return 1;
    const bool big = tiff.startsWith("MM");
    if (!big && !tiff.startsWith("II"))
        return 1;
    const auto u16 = [&](qsizetype at) -> quint32 {
        const auto b = [&](qsizetype i) { return quint32(static_cast<unsigned char>(tiff[at + i])); };
        return big ? (b(0) << 8) | b(1) : b(0) | (b(1) << 8);
    };
    const auto u32 = [&](qsizetype at) -> quint32 {
        return big ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16);
    };
    if (u16(2) != 42)
        return 1;
    const quint32 ifd = u32(4);
    if (ifd > quint32(tiff.size()) || tiff.size() - qsizetype(ifd) < 2)
        return 1;
    const quint32 entries = u16(ifd);
    for (quint32 i = 0; i < entries; ++i) {
        const qsizetype entry = qsizetype(ifd) + 2 + 12 * qsizetype(i);
        if (entry + 12 > tiff.size())
            break;
        if (u16(entry) != 0x0112)
            continue;
        const quint32 value = u16(entry + 8);
        if (u16(entry + 2) == 3 && u32(entry + 4) == 1 && value >= 1 && value <= 8)
            return int(value);
        return 1;
    }
    return 1;
}

struct JpegFrame {
    QSize size;
    bool seen = false;
};

bool isSupportedFrame(unsigned char marker)
{
    // Baseline, extended, progressive, and their arithmetic-coded forms.
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

bool isOtherFrame(unsigned char marker)
{
    return (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xCC);
}

// Reads a frame header; returns an empty text or the reason it is refused.
QString readFrame(HeaderCursor &cursor, qint64 end, JpegFrame &frame)
{
    if (frame.seen)
        return QStringLiteral("It is damaged: it has two frame headers.");
    quint8 precision = 0, components = 0;
    quint16 height = 0, width = 0;
    if (!cursor.u8(precision) || !cursor.u16be(height) || !cursor.u16be(width) || !cursor.u8(components))
        return QStringLiteral("incomplete");
    if (end - cursor.position() != 3 * qint64(components) || components == 0 || components > 10)
        return QStringLiteral("It is damaged: its frame header is malformed.");
    if (precision != 8)
        return QStringLiteral("It is a %1-bit JPEG, which browsers do not show.").arg(precision);
    if (height == 0 || width == 0)
        return QStringLiteral("Its picture size cannot be read: its header gives no height or width.");
    if (height > largestJpegSide || width > largestJpegSide)
        return QStringLiteral("Its picture is larger than browsers show (over 65,500 pixels a side).");
    frame = {QSize(width, height), true};
    return {};
}

QString readScanHeader(HeaderCursor &cursor, qint64 end)
{
    quint8 components = 0;
    if (!cursor.u8(components))
        return QStringLiteral("incomplete");
    if (components < 1 || components > 4 || end - cursor.position() != 2 * qint64(components) + 3)
        return QStringLiteral("It is damaged: its scan header is malformed.");
    if (!cursor.have(end - cursor.position()))
        return QStringLiteral("incomplete");
    return {};
}

// Returns the next marker code, or 0 with reason set.
quint8 nextMarker(HeaderCursor &cursor, QString &reason)
{
    quint8 byte = 0;
    if (!cursor.u8(byte)) {
        reason = QStringLiteral("incomplete");
        return 0;
    }
    if (byte != 0xFF) {
        reason = QStringLiteral("It is damaged: no marker where one must be.");
        return 0;
    }
    for (int fill = 0; byte == 0xFF; ++fill) {
        if (fill > maxSegments || !cursor.u8(byte)) {
            reason = fill > maxSegments ? QStringLiteral("It is damaged: no marker where one must be.")
                                        : QStringLiteral("incomplete");
            return 0;
        }
    }
    if (byte == 0x00)
        reason = QStringLiteral("It is damaged: no marker where one must be.");
    return byte;
}

HeaderReading readJpeg(HeaderCursor &cursor, const std::atomic<bool> *cancel)
{
    JpegFrame frame;
    int orientation = 1;
    bool exifSeen = false;
    cursor.seek(2);
    for (int segment = 1;; ++segment) {
        if (segment > maxSegments)
            return failure(QStringLiteral("Its header is too long to measure: more than 65,536 segments."));
        if (isCancelled(cancel, segment))
            return cancelled();
        QString reason;
        const quint8 marker = nextMarker(cursor, reason);
        if (!reason.isEmpty())
            return reason == QLatin1String("incomplete") ? incomplete(cursor) : failure(reason);
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue; // restart and TEM markers stand alone
        if (marker == 0xD9)
            return failure(QStringLiteral("It holds no picture: it ends before its picture data."));
        if (marker == 0xD8)
            return failure(QStringLiteral("It is damaged: a second start-of-image marker."));
        if (marker == 0xC8 || marker < 0xC0 || (marker >= 0xF0 && marker <= 0xFD))
            return failure(QStringLiteral("It is damaged: it holds a marker that cannot appear there."));
        if (isOtherFrame(marker) && !isSupportedFrame(marker))
            return failure(QStringLiteral("It is a kind of JPEG that browsers do not show (lossless or hierarchical)."));

        quint16 length = 0;
        if (!cursor.u16be(length))
            return incomplete(cursor);
        if (length < 2)
            return failure(QStringLiteral("It is damaged: a segment with an impossible length."));
        const qint64 end = cursor.position() - 2 + length;

        if (isSupportedFrame(marker)) {
            reason = readFrame(cursor, end, frame);
        } else if (marker == 0xDA) {
            if (!frame.seen)
                return failure(QStringLiteral("It is damaged: its picture data comes before its frame header."));
            reason = readScanHeader(cursor, end);
            if (reason.isEmpty()) {
                QSize size = frame.size;
                if (orientation >= 5)
                    size.transpose();
                return {size, {}, false};
            }
        } else if (marker == 0xE1 && !exifSeen && length >= 8) {
            QByteArray segmentData;
            if (!cursor.read(length - 2, segmentData))
                return incomplete(cursor);
            if (segmentData.startsWith(QByteArrayView("Exif\0\0", 6))) {
                exifSeen = true;
                orientation = exifOrientation(segmentData.mid(6));
            }
        }
        if (reason == QLatin1String("incomplete"))
            return incomplete(cursor);
        if (!reason.isEmpty())
            return failure(reason);
        cursor.seek(end);
    }
}

// --- GIF -------------------------------------------------------------------

// Skips a chain of data sub-blocks; returns false when the file ends first.
bool skipSubBlocks(HeaderCursor &cursor, int &blocks)
{
    for (quint8 length = 1; length != 0; ++blocks) {
        if (blocks > maxSegments || !cursor.u8(length))
            return false;
        cursor.seek(cursor.position() + length);
    }
    return true;
}

HeaderReading readGif(HeaderCursor &cursor, const std::atomic<bool> *cancel)
{
    quint16 screenWidth = 0, screenHeight = 0;
    quint8 flags = 0;
    cursor.seek(6);
    if (!cursor.u16le(screenWidth) || !cursor.u16le(screenHeight) || !cursor.u8(flags))
        return incomplete(cursor);
    qint64 next = 13;
    if (flags & 0x80)
        next += 3 << ((flags & 7) + 1);
    cursor.seek(next);
    int blocks = 0;
    for (;;) {
        if (blocks > maxSegments)
            return failure(QStringLiteral("Its header is too long to measure: more than 65,536 blocks."));
        if (isCancelled(cancel, ++blocks))
            return cancelled();
        quint8 introducer = 0;
        if (!cursor.u8(introducer))
            return incomplete(cursor);
        if (introducer == 0x3B)
            return failure(QStringLiteral("It holds no picture: it ends before its first image."));
        if (introducer == 0x21) {
            quint8 label = 0;
            if (!cursor.u8(label) || !skipSubBlocks(cursor, blocks))
                return blocks > maxSegments ? failure(QStringLiteral("Its header is too long to measure: more than 65,536 blocks."))
                                            : incomplete(cursor);
            continue;
        }
        if (introducer != 0x2C)
            return failure(QStringLiteral("It is damaged: a block of an unknown kind before its first image."));
        quint16 left = 0, top = 0, width = 0, height = 0;
        quint8 imageFlags = 0, codeSize = 0;
        if (!cursor.u16le(left) || !cursor.u16le(top) || !cursor.u16le(width) || !cursor.u16le(height)
            || !cursor.u8(imageFlags))
            return incomplete(cursor);
        if (imageFlags & 0x80)
            cursor.seek(cursor.position() + (3 << ((imageFlags & 7) + 1)));
        if (!cursor.u8(codeSize))
            return incomplete(cursor);
        // Browsers grow the logical screen to hold the whole first frame.
        const QSize size(std::max<int>(screenWidth, left + width), std::max<int>(screenHeight, top + height));
        if (size.isEmpty())
            return failure(QStringLiteral("Its picture size cannot be read: its header gives no height or width."));
        return {size, {}, false};
    }
}

} // namespace

HeaderReading readPictureHeader(ByteSource &source, const std::atomic<bool> *cancel)
{
    HeaderCursor cursor(source);
    QByteArray signature;
    if (!cursor.read(6, signature) && signature.isEmpty()) {
        if (!cursor.ioError().isEmpty())
            return incomplete(cursor);
        return failure(QStringLiteral("The file is empty."));
    }
    if (signature.startsWith("\xFF\xD8"))
        return readJpeg(cursor, cancel);
    if (signature == "GIF87a" || signature == "GIF89a")
        return readGif(cursor, cancel);
    return failure(QStringLiteral("It is not a GIF or JPEG picture."));
}
