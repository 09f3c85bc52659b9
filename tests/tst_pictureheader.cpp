// Reading a picture's displayed size from its header: the sizes browsers
// show, and bounded work whatever a hostile file holds.
#include "formats/PictureHeader.h"
#include "support/TestPictures.h"

#include <QTest>

#include <functional>

namespace {

void putBe16(QByteArray &bytes, int value)
{
    bytes += char((value >> 8) & 0xFF);
    bytes += char(value & 0xFF);
}

void putLe16(QByteArray &bytes, int value)
{
    bytes += char(value & 0xFF);
    bytes += char((value >> 8) & 0xFF);
}

QByteArray segment(unsigned char marker, const QByteArray &payload)
{
    QByteArray bytes;
    bytes += char(0xFF);
    bytes += char(marker);
    putBe16(bytes, int(payload.size()) + 2);
    return bytes + payload;
}

// An IFD0 with one orientation entry, and optionally an IFD1 holding another.
QByteArray exifPayload(int ifd0Orientation, int ifd1Orientation = 0)
{
    QByteArray tiff("II\x2A\0\x08\0\0\0", 8);
    const auto entry = [](QByteArray &t, int value) {
        putLe16(t, 0x0112);
        putLe16(t, 3);
        t += QByteArray("\x01\0\0\0", 4);
        putLe16(t, value);
        putLe16(t, 0);
    };
    putLe16(tiff, ifd0Orientation ? 1 : 0);
    if (ifd0Orientation)
        entry(tiff, ifd0Orientation);
    const int next = ifd1Orientation ? int(tiff.size()) + 4 : 0;
    tiff += char(next & 0xFF);
    tiff += char(next >> 8);
    tiff += QByteArray(2, '\0');
    if (ifd1Orientation) {
        putLe16(tiff, 1);
        entry(tiff, ifd1Orientation);
        tiff += QByteArray(4, '\0');
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

// An EXIF payload whose IFD0, at offset ifd of its TIFF block in either byte
// order, claims count entries and holds one, an orientation; the block ends
// after that entry and the next IFD's offset, less cut bytes. Its header
// points at pointsAt, the IFD unless told otherwise.
QByteArray exifAt(bool big, quint32 ifd, quint32 count, int orientation, int cut = 0, quint32 pointsAt = 0)
{
    const auto put = [big](QByteArray &t, quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            t += char(value >> (8 * (big ? bytes - 1 - i : i)));
    };
    QByteArray tiff(big ? "MM" : "II");
    put(tiff, 42, 2);
    put(tiff, pointsAt ? pointsAt : ifd, 4);
    tiff.resize(std::max<qsizetype>(tiff.size(), ifd), '\0');
    put(tiff, count, 2);
    put(tiff, 0x0112, 2);
    put(tiff, 3, 2);
    put(tiff, 1, 4);
    put(tiff, quint32(orientation), 2); // a SHORT sits first in the value field, either order
    put(tiff, 0, 2);
    put(tiff, 0, 4);
    return QByteArray("Exif\0\0", 6) + tiff.chopped(cut);
}

// The markers a decoder needs, from a quantisation table to the first scan
// header, and the first bytes of picture data.
QByteArray frameAndScan(int width, int height, int components = 1, char tables = 0)
{
    const QByteArray dqt = segment(0xDB, QByteArray(1, '\0') + QByteArray(64, '\x01'));
    QByteArray sof;
    sof += char(8);
    putBe16(sof, height);
    putBe16(sof, width);
    sof += char(components);
    for (int i = 1; i <= components; ++i)
        sof += QByteArray(1, char(i)) + "\x11" + QByteArray(1, '\0');
    const QByteArray sos = QByteArray("\x01\x01", 2) + tables + QByteArray("\x00\x3F\x00", 3);
    return dqt + segment(0xC0, sof) + segment(0xDA, sos) + "data";
}

QByteArray soi()
{
    return QByteArray("\xFF\xD8", 2);
}

class MemoryBytes : public ByteSource
{
public:
    explicit MemoryBytes(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        const qint64 n = std::clamp<qint64>(m_bytes.size() - offset, 0, count);
        std::memcpy(into, m_bytes.constData() + offset, std::size_t(n));
        return n;
    }
    QString errorString() const override { return {}; }
    qint64 size() const override { return m_bytes.size(); }

private:
    QByteArray m_bytes;
};

// A file too large to make: its bytes come from a function of the offset,
// and every byte read is counted.
class VirtualBytes : public ByteSource
{
public:
    VirtualBytes(qint64 size, std::function<char(qint64)> byteAt) : m_size(size), m_byteAt(std::move(byteAt)) {}
    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        ++reads;
        if (onRead)
            onRead(reads);
        const qint64 n = std::clamp<qint64>(m_size - offset, 0, count);
        for (qint64 i = 0; i < n; ++i)
            into[i] = m_byteAt(offset + i);
        bytesRead += n;
        return n;
    }
    QString errorString() const override { return {}; }
    qint64 size() const override { return m_size; }

    qint64 reads = 0;
    qint64 bytesRead = 0;
    std::function<void(qint64)> onRead;

private:
    qint64 m_size;
    std::function<char(qint64)> m_byteAt;
};

HeaderReading read(const QByteArray &bytes)
{
    MemoryBytes source(bytes);
    return readPictureHeader(source);
}

// A JPEG of a few pixels behind count comment segments of 64 KiB each.
VirtualBytes commentStuffedJpeg(qint64 count)
{
    constexpr qint64 step = 65537; // marker and a 65535-byte segment
    const QByteArray tail = frameAndScan(3, 2) + QByteArray(10, '\0');
    const qint64 comments = 2 + count * step;
    return VirtualBytes(comments + tail.size(), [=](qint64 at) -> char {
        if (at < 2)
            return at == 0 ? char(0xFF) : char(0xD8);
        if (at >= comments)
            return tail.at(at - comments);
        switch ((at - 2) % step) {
        case 0: return char(0xFF);
        case 1: return char(0xFE);
        case 2: return char(0xFF);
        case 3: return char(0xFF);
        default: return 'c';
        }
    });
}

} // namespace

class PictureHeaderTest : public QObject
{
    Q_OBJECT

private slots:
    // Sizes taken from headless Chromium on the same files: the screen grows
    // to hold the whole first frame, wherever it lies.
    void gifSizeIsTheBrowsers_data()
    {
        QTest::addColumn<QList<int>>("geometry"); // screen w, h, frame x, y, w, h
        QTest::addColumn<QSize>("shown");
        QTest::newRow("frame inside") << QList<int>{40, 30, 5, 5, 10, 10} << QSize(40, 30);
        QTest::newRow("frame larger than screen") << QList<int>{5, 5, 0, 0, 20, 30} << QSize(20, 30);
        QTest::newRow("larger and offset") << QList<int>{5, 5, 3, 4, 20, 30} << QSize(23, 34);
        QTest::newRow("partly outside") << QList<int>{40, 30, 35, 25, 10, 10} << QSize(45, 35);
        QTest::newRow("wholly outside") << QList<int>{40, 30, 50, 60, 10, 10} << QSize(60, 70);
        QTest::newRow("no screen") << QList<int>{0, 0, 2, 3, 10, 10} << QSize(12, 13);
        QTest::newRow("first image empty: nothing drawn") << QList<int>{10, 10, 0, 0, 0, 0} << QSize();
    }

    void gifSizeIsTheBrowsers()
    {
        QFETCH(QList<int>, geometry);
        QFETCH(QSize, shown);
        QByteArray gif("GIF89a", 6);
        putLe16(gif, geometry[0]);
        putLe16(gif, geometry[1]);
        gif += QByteArray("\0\0\0", 3);
        gif += QByteArray("\x21\xF9\x04\0\0\0\0\0", 8); // a graphic control extension first
        gif += char(0x2C);
        for (int i = 2; i < 6; ++i)
            putLe16(gif, geometry[i]);
        gif += QByteArray("\x80\0\0\0\xFF\xFF\xFF\x02\x02\x44\x01\0\x3B", 14);
        const HeaderReading reading = read(gif);
        QCOMPARE(reading.error.isEmpty(), shown.isValid());
        QCOMPARE(reading.size, shown);
    }

    // Browsers read the orientation from the first APP1 that is EXIF, in IFD0 only.
    void jpegOrientationIsTheBrowsers_data()
    {
        QTest::addColumn<QByteArray>("markers"); // between SOI and the frame header
        QTest::addColumn<QSize>("shown");
        const QByteArray xmp = segment(0xE1, "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>");
        QTest::newRow("upright") << QByteArray() << QSize(50, 40);
        QTest::newRow("orientation 6") << segment(0xE1, exifPayload(6)) << QSize(40, 50);
        QTest::newRow("orientation 3") << segment(0xE1, exifPayload(3)) << QSize(50, 40);
        QTest::newRow("orientation 8") << segment(0xE1, exifPayload(8)) << QSize(40, 50);
        QTest::newRow("XMP before EXIF") << xmp + segment(0xE1, exifPayload(6)) << QSize(40, 50);
        QTest::newRow("only in IFD1") << segment(0xE1, exifPayload(0, 6)) << QSize(50, 40);
        QTest::newRow("second EXIF ignored") << segment(0xE1, exifPayload(1)) + segment(0xE1, exifPayload(6))
                                             << QSize(50, 40);
        QTest::newRow("out of range") << segment(0xE1, exifPayload(9)) << QSize(50, 40);
        QTest::newRow("after comments") << segment(0xFE, "hello") + segment(0xE1, exifPayload(5)) << QSize(40, 50);
        // At the edges of what is read: only a value the reader took turns the picture.
        const QSize turned(40, 50), upright(50, 40);
        for (const bool big : {false, true}) {
            const char *order = big ? "big-endian" : "little-endian";
            for (const auto &[value, shown] : {std::pair{0, upright}, {1, upright}, {5, turned}, {8, turned}, {9, upright}})
                QTest::addRow("%s, orientation %d", order, value) << segment(0xE1, exifAt(big, 8, 1, value)) << shown;
            QTest::addRow("%s, entry ends where the segment does", order) << segment(0xE1, exifAt(big, 8, 1, 6, 4)) << turned;
            QTest::addRow("%s, entry one byte past it", order) << segment(0xE1, exifAt(big, 8, 1, 6, 5)) << upright;
            QTest::addRow("%s, count 0x0080", order) << segment(0xE1, exifAt(big, 8, 0x0080, 6)) << turned;
            QTest::addRow("%s, count 0x8001", order) << segment(0xE1, exifAt(big, 8, 0x8001, 6)) << turned;
            QTest::addRow("%s, count 0", order) << segment(0xE1, exifAt(big, 8, 0, 6)) << upright;
            // The largest APP1 holds a TIFF block of 65527 bytes: an IFD at 0xFFE3 ends it.
            for (const quint32 ifd : {0x7FFFu, 0x8000u, 0xFFE3u})
                QTest::addRow("%s, IFD at 0x%X", order, ifd) << segment(0xE1, exifAt(big, ifd, 1, 6)) << turned;
            for (const quint32 far : {0xFFFFu, 0x80000008u})
                QTest::addRow("%s, IFD at 0x%X, past the segment", order, far) << segment(0xE1, exifAt(big, 8, 1, 6, 0, far)) << upright;
            QTest::addRow("%s, IFD leaves room for its count alone", order) << segment(0xE1, exifAt(big, 8, 1, 6, 16)) << upright;
            QTest::addRow("%s, IFD leaves one byte", order) << segment(0xE1, exifAt(big, 8, 1, 6, 17)) << upright;
        }
        QTest::newRow("APP1 of \"Exif\\0\\0\" and a TIFF header alone") << segment(0xE1, exifAt(false, 8, 1, 6, 18)) << upright;
        QTest::newRow("APP1 one byte shorter") << segment(0xE1, exifAt(false, 8, 1, 6, 19)) << upright;
    }

    void jpegOrientationIsTheBrowsers()
    {
        QFETCH(QByteArray, markers);
        QFETCH(QSize, shown);
        const HeaderReading reading = read(soi() + markers + frameAndScan(50, 40));
        QCOMPARE(reading.error, QString());
        QCOMPARE(reading.size, shown);
    }

    void realPicturesMeasure()
    {
        QCOMPARE(read(TestPictures::jpeg(33, 21)).size, QSize(33, 21));
        QCOMPARE(read(TestPictures::withExifOrientation(TestPictures::jpeg(33, 21), 6)).size, QSize(21, 33));
        QCOMPARE(read(TestPictures::gif(17, 9)).size, QSize(17, 9));
    }

    void damagedJpegsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = frameAndScan(5, 5);
        QTest::newRow("zeros after a marker's first byte") << soi() + QByteArray("\xFF", 1) + QByteArray(100, '\0')
                                                           << "incomplete";
        QTest::newRow("endless junk") << soi() + segment(0xFE, "c") + QByteArray(70000, 'j') + good << "no marker";
        QTest::newRow("scan before frame") << soi() + good.mid(good.indexOf("\xFF\xDA")) << "before its frame header";
        QTest::newRow("no quantisation table") << soi() + good.mid(good.indexOf("\xFF\xC0")) << "never defines";
        QTest::newRow("Huffman table 3 undefined") << soi() + frameAndScan(5, 5, 1, 0x33) << "Huffman table it never defines";
        QTest::newRow("two colour components") << soi() + frameAndScan(5, 5, 2) << "2 colour components";
        QTest::newRow("end before scan") << soi() + segment(0xFE, "c") + QByteArray("\xFF\xD9", 2) << "holds no picture";
        QTest::newRow("reserved marker") << soi() + segment(0x02, "x") + good << "cannot appear";
        QTest::newRow("lossless") << soi() + segment(0xC3, QByteArray("\x08\0\x05\0\x05\x01\x01\x11\0", 9)) + good
                                  << "do not show";
        QTest::newRow("two frames") << soi() + good.left(good.indexOf("\xFF\xDA")) + good.mid(good.indexOf("\xFF\xC0"))
                                    << "two frame headers";
        QTest::newRow("2^29 pixels") << soi() + frameAndScan(16384, 32768) << "larger than browsers show";
        QTest::newRow("scan header, no data") << soi() + good.chopped(4) << "ends after its scan header";
        QTest::newRow("zero height") << soi() + frameAndScan(5, 0) << "no height";
        QTest::newRow("cut in the scan header") << soi() + good.left(good.size() - 6) << "incomplete";
        QTest::newRow("table length 1") << soi() + QByteArray("\xFF\xDB\0\x01", 4) + good << "impossible length";
    }

    // Browsers know a JPEG by FF D8 FF; an application or comment segment
    // whose length is 0 or 1 is read on from after its length, as libjpeg
    // reads it, and the picture is shown.
    void jpegBoundariesAsBrowsersDraw_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("shown");
        const QByteArray good = frameAndScan(5, 4);
        QTest::newRow("FF D8 FF") << soi() + good << true;
        QTest::newRow("FF D8 00") << soi() + QByteArray(1, '\0') + good << false;
        QTest::newRow("FF D8 FE") << soi() + QByteArray("\xFE", 1) + good << false;
        for (const char marker : {'\xE0', '\xE1', '\xEF', '\xFE'}) {
            for (int length = 0; length <= 2; ++length) {
                QByteArray bytes = soi() + char(0xFF) + marker + char(0) + char(length) + good;
                QTest::addRow("marker %02X, length %d", quint8(marker), length) << bytes << true;
            }
        }
        QTest::newRow("marker DB, length 1") << soi() + QByteArray("\xFF\xDB\0\x01", 4) + good << false;
    }

    void jpegBoundariesAsBrowsersDraw()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, shown);
        const HeaderReading reading = read(bytes);
        QCOMPARE(reading.size, shown ? QSize(5, 4) : QSize());
        QCOMPARE(reading.error.isEmpty(), shown);
    }

    void damagedJpegsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const HeaderReading reading = read(bytes);
        QVERIFY2(reading.error.contains(reason), qPrintable(reading.error));
        QVERIFY(!reading.size.isValid());
    }

    // Junk before a marker is passed over by the decoder, and so by us; a
    // picture cut short in its data still shows the part it has.
    void toleratedOddities()
    {
        const QByteArray good = frameAndScan(7, 6);
        QCOMPARE(read(soi() + segment(0xFE, "c") + "junk" + good).size, QSize(7, 6));
        QCOMPARE(read(soi() + QByteArray("\xFF\xFF\xFF", 3) + good.mid(1)).size, QSize(7, 6));
        const HeaderReading reading = read(soi() + good.chopped(3));
        QCOMPARE(reading.error, QString());
        QCOMPARE(reading.size, QSize(7, 6));
    }

    // 16,384 comment segments of 64 KiB: a 1 GiB file read in a few megabytes.
    void commentsAreSkippedNotRead()
    {
        VirtualBytes file = commentStuffedJpeg(16384);
        const HeaderReading reading = readPictureHeader(file);
        QCOMPARE(reading.error, QString());
        QCOMPARE(reading.size, QSize(3, 2));
        QVERIFY2(file.bytesRead < 2 * 1024 * 1024, qPrintable(QString::number(file.bytesRead)));
    }

    void tooManySegmentsIsRefused()
    {
        VirtualBytes file = commentStuffedJpeg(70000);
        const HeaderReading reading = readPictureHeader(file);
        QVERIFY2(reading.error.contains(QLatin1String("too long")), qPrintable(reading.error));
    }

    // A valid GIF extended by gigabytes of zeros: only its header is read.
    void sparseTailIsNeverRead()
    {
        const QByteArray gif = TestPictures::gif(9, 4);
        VirtualBytes file(qint64(10) << 30, [gif](qint64 at) { return at < gif.size() ? gif.at(at) : '\0'; });
        const HeaderReading reading = readPictureHeader(file);
        QCOMPARE(reading.size, QSize(9, 4));
        QVERIFY2(file.bytesRead <= 8192, qPrintable(QString::number(file.bytesRead)));

        VirtualBytes jpeg(qint64(2) << 30, [](qint64 at) { return at == 0 ? char(0xFF) : at == 1 ? char(0xD8) : '\0'; });
        QVERIFY(!readPictureHeader(jpeg).error.isEmpty());
        QVERIFY(jpeg.bytesRead <= 128 * 1024); // junk is passed over, for so long
    }

    // Extension sub-blocks must be walked one by one; the walk has an end.
    void endlessGifExtensionIsBounded()
    {
        const QByteArray head = QByteArray("GIF89a\x05\0\x05\0\0\0\0\x21\xFE", 15);
        VirtualBytes file(qint64(4) << 30, [head](qint64 at) {
            return at < head.size() ? head.at(at) : ((at - head.size()) % 256 == 0 ? char(0xFF) : 'x');
        });
        const HeaderReading reading = readPictureHeader(file);
        QVERIFY(!reading.error.isEmpty());
        QVERIFY2(file.bytesRead <= 32 * 1024 * 1024, qPrintable(QString::number(file.bytesRead)));
    }

    void cancelStopsMidFile()
    {
        std::atomic<bool> cancel{false};
        VirtualBytes file = commentStuffedJpeg(60000);
        file.onRead = [&](qint64 reads) {
            if (reads == 100)
                cancel = true;
        };
        const HeaderReading reading = readPictureHeader(file, &cancel);
        QVERIFY(reading.cancelled);
        QVERIFY2(file.reads < 1000, qPrintable(QString::number(file.reads)));
    }
};

QTEST_GUILESS_MAIN(PictureHeaderTest)
#include "tst_pictureheader.moc"
