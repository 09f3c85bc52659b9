#include "PictureHeader.h"

#include "formats/HeaderFormats.h"

#include <QByteArray>

namespace HeaderFormats {

namespace {
constexpr int cancelInterval = 256;
// Browsers refuse a picture of 2^29 pixels or more before decoding anything.
constexpr qint64 mostPixels = qint64(1) << 29;
} // namespace

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

} // namespace HeaderFormats

namespace {

using namespace HeaderFormats;

HeaderReading readByFormat(HeaderCursor &cursor, const QByteArray &signature, const std::atomic<bool> *cancel)
{
    // Browsers know a JPEG by three bytes, not two.
    if (signature.startsWith("\xFF\xD8\xFF"))
        return readJpeg(cursor, cancel);
    if (signature.startsWith("\xFF\xD8"))
        return failure(QStringLiteral("It is damaged: it starts as a JPEG does, but without the third byte of its "
                                      "signature (FF D8 FF), so browsers do not show it."));
    if (signature.startsWith("GIF87a") || signature.startsWith("GIF89a"))
        return readGif(cursor, cancel);
    if (signature.startsWith("\x89PNG\r\n\x1A\n"))
        return readPng(cursor, cancel);
    if (signature.startsWith("BM"))
        return readBmp(cursor);
    if (signature.startsWith("RIFF") && signature.mid(8, 4) == "WEBP")
        return readWebp(cursor);
    return failure(QStringLiteral("It is not a picture that browsers show (GIF, JPEG, PNG, BMP or WebP)."));
}

} // namespace

HeaderReading readPictureHeader(ByteSource &source, const std::atomic<bool> *cancel)
{
    HeaderCursor cursor(source);
    QByteArray signature;
    cursor.read(12, signature);
    if (signature.isEmpty()) {
        if (!cursor.ioError().isEmpty())
            return incomplete(cursor);
        return failure(QStringLiteral("The file is empty."));
    }
    HeaderReading reading = readByFormat(cursor, signature, cancel);
    if (reading.error.isEmpty() && qint64(reading.size.width()) * reading.size.height() >= mostPixels)
        return failure(QStringLiteral("Its picture is larger than browsers show (over 536 million pixels)."));
    return reading;
}
