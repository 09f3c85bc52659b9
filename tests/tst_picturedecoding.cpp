// Decoding for the preview: regular files only, opened without blocking; the
// memory bound; large JPEGs decoded in bands exactly as in one piece; a stop
// honoured mid-decode; and the bytes an animation plays from.
#include "preview/PictureDecoding.h"
#include "support/NonRegularFiles.h"
#include "support/Sanitizers.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <memory>

namespace {

enum class NotAFile { Pipe, LinkToPipe, LinkToDevice, Folder, Socket, DanglingLink };

} // namespace

class PictureDecodingTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_largeJpeg; // over the size decoded in one piece

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!TestPictures::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Makes a file of that kind named name; false when it cannot.
    bool make(NotAFile kind, const QString &name)
    {
        const QString path = m_dir.filePath(name);
        const QString pipe = m_dir.filePath(QStringLiteral("pipe-for-") + name);
        switch (kind) {
        case NotAFile::Pipe:
            return NonRegularFiles::makeFifo(path);
        case NotAFile::LinkToPipe:
            return NonRegularFiles::makeFifo(pipe) && QFile::link(pipe, path);
        case NotAFile::LinkToDevice:
            return QFile::link(QStringLiteral("/dev/zero"), path);
        case NotAFile::Folder:
            return QDir().mkdir(path);
        case NotAFile::Socket:
            return NonRegularFiles::makeSocket(path);
        case NotAFile::DanglingLink:
            return QFile::link(m_dir.filePath(QStringLiteral("nowhere.gif")), path);
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        limitPictureDecoding();
        // 4160 x 4100 pixels: two bands, the second begins at row 4032.
        m_largeJpeg = TestPictures::jpeg(4160, 4100, 90);
    }

    void notAPictureFileIsRefusedUnread_data()
    {
        QTest::addColumn<NotAFile>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << NotAFile::Pipe << "It is a pipe (FIFO), not a picture file.";
        QTest::newRow("link to a pipe") << NotAFile::LinkToPipe << "It is a pipe (FIFO), not a picture file.";
        QTest::newRow("link to /dev/zero") << NotAFile::LinkToDevice << "It is a device, not a picture file.";
        QTest::newRow("folder") << NotAFile::Folder << "It is a folder, not a file.";
        QTest::newRow("socket") << NotAFile::Socket << "It is a socket, not a picture file.";
        QTest::newRow("dangling link") << NotAFile::DanglingLink << "It is a link to a file that does not exist.";
    }

    void notAPictureFileIsRefusedUnread()
    {
#ifndef Q_OS_UNIX
        QSKIP("pipes, devices and sockets named like pictures are Unix files");
#endif
        QFETCH(NotAFile, kind);
        QFETCH(QString, reason);
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char('/'), QLatin1Char('_')) + ".gif";
        QVERIFY(make(kind, name));
        const QString path = m_dir.filePath(name);
        // A reader blocked on a pipe is let go after a while, so old code fails here rather than hangs.
        const NonRegularFiles::PipeRelease release(path, 5000);

        const DecodedPicture decoded = decodePicture(path);
        QVERIFY(!release.released());
        QVERIFY(decoded.image.isNull());
        QCOMPARE(decoded.problem, reason);
    }

    // Refused from the header: a progressive JPEG keeps the whole picture's
    // coefficients while it decodes, whatever its file's length.
    void tooLargeIsRefusedBeforeDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        QTest::newRow("baseline 30000 x 30000") << TestPictures::jpegClaiming(30000, 30000)
                                                << "It is too large: 30000 x 30000 pixels.";
        QTest::newRow("progressive 16384 x 16384")
            << TestPictures::progressiveClaiming(16384, 16384, 3)
            << "Decoding it would take 1.6 GB of memory: a progressive JPEG of 16384 x 16384 pixels is held whole while "
               "it decodes, and at most 268 MB is allowed.";
        for (const char *format : {"gif", "png", "webp"})
            QTest::addRow("%s 20000 x 20000", format) << TestPictures::claiming(format, 20000, 20000)
                                                    << "It is too large: 20000 x 20000 pixels.";
        // Qt's own reader refuses a BMP past 16384 x 16384 pixels; at that size it fits the limit.
        QTest::newRow("bmp 20000 x 20000") << TestPictures::claiming("bmp", 20000, 20000) << "It is damaged, or not a picture.";
    }

    void tooLargeIsRefusedBeforeDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        if (bytes.startsWith("RIFF") && !QImageReader::supportedImageFormats().contains("webp"))
            QSKIP("Qt here has no WebP reader (qt6-image-formats-plugins).");
        const DecodedPicture decoded = decodePicture(write(QStringLiteral("claims.jpg"), bytes));
        QVERIFY(decoded.image.isNull());
        QCOMPARE(decoded.problem, problem);
    }

    void bandsDecodeAsOnePiece_data()
    {
        QTest::addColumn<int>("orientation");
        for (int orientation = 0; orientation <= 9; ++orientation) // 0 and 9 mean nothing: shown as stored
            QTest::addRow("orientation %d", orientation) << orientation;
    }

    void bandsDecodeAsOnePiece()
    {
        QFETCH(int, orientation);
        const QString path = write(QStringLiteral("large%1.jpg").arg(orientation),
                                   TestPictures::withExifOrientation(m_largeJpeg, orientation));
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage whole = reader.read();
        QVERIFY(!whole.isNull());

        const DecodedPicture decoded = decodePicture(path);
        QVERIFY2(decoded.problem.isEmpty(), qPrintable(decoded.problem));
        QCOMPARE(decoded.image.size(), whole.size());
        QCOMPARE(decoded.image.format(), QImage::Format_RGB32);
        QVERIFY(decoded.image == whole.convertToFormat(QImage::Format_RGB32));
    }

    // Empty scans cost a decoder as much as full ones: their number and the
    // blocks they cover are capped, each on its own, at 1,000 and 2^25.
    void scansAreCapped_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("scans");
        QTest::addColumn<QString>("problem");
        QTest::newRow("1,000 small scans") << QSize(16, 16) << 1000 << QString();
        const auto reason = [](const QString &scans) {
            return QStringLiteral("Its %1 scans would take too long to decode; photographs have a few dozen at most.").arg(scans);
        };
        QTest::newRow("1,001 small scans") << QSize(16, 16) << 1001 << reason("1001");
        // 750,000 blocks a scan: 44 of them cover 33,000,000, 45 pass 2^25.
        QTest::newRow("44 large scans") << QSize(4000, 4000) << 44 << QString();
        QTest::newRow("45 large scans") << QSize(4000, 4000) << 45 << reason("45");
        // The reason gives the file's count, not the scan the decode stopped at.
        for (const int scans : {1000, 1001, 20001, 100000})
            QTest::addRow("%d large scans", scans) << QSize(4000, 4000) << scans << reason(QString::number(scans));
        QTest::newRow("100,001 small scans") << QSize(16, 16) << 100001 << reason("more than 100000");
    }

    void scansAreCapped()
    {
        QFETCH(QSize, size);
        QFETCH(int, scans);
        QFETCH(QString, problem);
        const DecodedPicture decoded = decodePicture(
            write(QStringLiteral("scans.jpg"), TestPictures::progressiveClaiming(size.width(), size.height(), scans)));
        QCOMPARE(decoded.problem, problem);
        QCOMPARE(decoded.image.size(), problem.isEmpty() ? size : QSize(0, 0));
    }

    // The scans are counted by their markers as the decoder finds them, as far
    // as the file goes and no further than 32 MiB read.
    void scanCountWalksTheMarkers_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("scans");
        const QByteArray sos("\xFF\xDA\0\x0C\x03\x01\0\x02\0\x03\0\0\0\0\0", 15); // with its one byte of data
        QTest::newRow("cut before its end") << TestPictures::progressiveClaiming(4000, 4000, 20001).chopped(2) << "20001";
        QByteArray on = TestPictures::progressiveClaiming(16, 16, 1001);
        QTest::newRow("33 MiB on") << on.insert(on.size() - 2, QByteArray(33 * 1024 * 1024, '\0')) << "more than 1000";
        // Each would be read as a segment 64 bytes long, over the next scan's marker.
        const QByteArray odd = sos + QByteArray("\xFF\0\0\x40\xFF\xFF\xD0\0\x40\xFF\xD7\0\x40\xFF\x01\0\x40", 17);
        const QByteArray comment = QByteArray("\xFF\xFE\x01\0\xFF\xDA\0\x0C", 8) + QByteArray(250, '\0');
        QTest::newRow("stuffing, fill, restarts and a comment")
            << TestPictures::progressiveClaiming(4000, 4000, 1001).replace(sos, odd).insert(2, comment) << "1001";
        QByteArray twice = TestPictures::progressiveClaiming(4000, 4000, 60);
        twice.insert(twice.size() - 2 - 10 * sos.size(), QByteArray("\xFF\xD8\0\x02", 4)); // not a segment to skip
        QTest::newRow("a start of image after 50") << twice << "50";
    }

    void scanCountWalksTheMarkers()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, scans);
        const DecodedPicture decoded = decodePicture(write(QStringLiteral("scans.jpg"), bytes));
        QCOMPARE(decoded.problem,
                 QStringLiteral("Its %1 scans would take too long to decode; photographs have a few dozen at most.").arg(scans));
    }

    // A picture whose data ends early is shown as far as it goes, and said to
    // be incomplete; other faults the decoder reads past are not that.
    void endingEarlyIsIncomplete_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("incomplete");
        const QByteArray whole = TestPictures::jpeg(64, 48);
        const int afterFirstSegment = 4 + (quint8(whole.at(4)) << 8 | quint8(whole.at(5)));
        QTest::newRow("whole") << whole << false;
        const qsizetype scan = whole.indexOf(QByteArray("\xFF\xDA", 2));
        QTest::newRow("cut in its data") << whole.left(scan + (whole.size() - scan) / 2) << true;
        QTest::newRow("stray bytes between segments") << QByteArray(whole).insert(afterFirstSegment, "\x12\x34") << false;
    }

    void endingEarlyIsIncomplete()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, incomplete);
        const DecodedPicture decoded = decodePicture(write(QStringLiteral("ends.jpg"), bytes));
        QVERIFY2(decoded.problem.isEmpty(), qPrintable(decoded.problem));
        QCOMPARE(decoded.image.size(), QSize(64, 48));
        QCOMPARE(decoded.incomplete, incomplete);
    }

    // The largest JPEG takes seconds; a stop ends it at its next rows.
    void stopEndsALargeDecodeWithinASecond()
    {
        const QString path = write(QStringLiteral("slow.jpg"), TestPictures::jpegClaiming(16000, 16000));
        auto stop = std::make_shared<std::atomic<bool>>(false);
        QFuture<DecodedPicture> decoding = QtConcurrent::run([path, stop] { return decodePicture(path, stop.get()); });
        QTest::qWait(300);
        QVERIFY2(!decoding.isFinished(), "the decode ended before it could be stopped");
        QElapsedTimer stopping;
        stopping.start();
        stop->store(true);
        decoding.waitForFinished();
        QVERIFY2(stopping.elapsed() < Sanitizers::bound(1000), qPrintable(QString::number(stopping.elapsed()) + " ms"));
    }

    void animationIsReadWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("plays");
        QTest::newRow("two frames") << TestPictures::animatedGif(30, 20, 2) << QSize(30, 20) << true;
        QTest::newRow("one frame") << TestPictures::gif(30, 20) << QSize(30, 20) << false;
        // Each frame would be decoded on the UI thread: only the first is shown.
        QTest::newRow("two frames, too large to play") << TestPictures::animatedGif(2100, 2100, 2) << QSize(2100, 2100) << false;
    }

    void animationIsReadWhole()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(bool, plays);
        const DecodedPicture decoded = decodePicture(write(QStringLiteral("moving.gif"), bytes));
        QVERIFY2(decoded.problem.isEmpty(), qPrintable(decoded.problem));
        QCOMPARE(decoded.image.size(), size);
        QCOMPARE(decoded.animation, plays ? bytes : QByteArray());
    }
};

QTEST_GUILESS_MAIN(PictureDecodingTest)
#include "tst_picturedecoding.moc"
