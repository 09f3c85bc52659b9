// GIF blocks from the logical screen to the first image's data.
#include "HeaderFormats.h"

namespace HeaderFormats {

namespace {

HeaderReading tooLong()
{
    return failure(QStringLiteral("Its header is too long to measure: more than 65,536 blocks."));
}

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

HeaderReading readImage(HeaderCursor &cursor, QSize screen)
{
    quint16 left = 0, top = 0, width = 0, height = 0;
    quint8 flags = 0, codeSize = 0;
    if (!cursor.u16le(left) || !cursor.u16le(top) || !cursor.u16le(width) || !cursor.u16le(height)
        || !cursor.u8(flags))
        return incomplete(cursor);
    if (flags & 0x80)
        cursor.seek(cursor.position() + (3 << ((flags & 7) + 1)));
    if (!cursor.u8(codeSize))
        return incomplete(cursor);
    if (width == 0 || height == 0)
        return failure(QStringLiteral("It holds no picture: its first image is empty."));
    if (codeSize > 8)
        return failure(QStringLiteral("It is damaged: its first image cannot be decoded."));
    // Browsers grow the logical screen to hold the whole first image.
    return {QSize(std::max<int>(screen.width(), left + width), std::max<int>(screen.height(), top + height)), {},
            false};
}

} // namespace

HeaderReading readGif(HeaderCursor &cursor, const std::atomic<bool> *cancel)
{
    quint16 screenWidth = 0, screenHeight = 0;
    quint8 flags = 0;
    cursor.seek(6);
    if (!cursor.u16le(screenWidth) || !cursor.u16le(screenHeight) || !cursor.u8(flags))
        return incomplete(cursor);
    cursor.seek(13 + ((flags & 0x80) ? 3 << ((flags & 7) + 1) : 0));
    for (int blocks = 1;; ++blocks) {
        if (blocks > maxSegments)
            return tooLong();
        if (isCancelled(cancel, blocks))
            return cancelled();
        quint8 introducer = 0;
        if (!cursor.u8(introducer))
            return incomplete(cursor);
        if (introducer == 0x3B)
            return failure(QStringLiteral("It holds no picture: it ends before its first image."));
        if (introducer == 0x2C)
            return readImage(cursor, QSize(screenWidth, screenHeight));
        if (introducer != 0x21)
            return failure(QStringLiteral("It is damaged: a block of an unknown kind before its first image."));
        quint8 label = 0;
        if (!cursor.u8(label) || !skipSubBlocks(cursor, blocks))
            return blocks > maxSegments ? tooLong() : incomplete(cursor);
    }
}

} // namespace HeaderFormats
