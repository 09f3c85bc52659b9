// Hostile picture files: truncated, bit-flipped, empty, mislabelled and
// oversized. Measuring, listing and the generation run must neither crash
// nor hang on them, must skip each one they reject with a reason, and must
// still put every good picture on the pages.
#include "catalogue/FolderListing.h"
#include "catalogue/PictureMeasuring.h"
#include "generation/GenerationRun.h"
#include "support/BadPictures.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QLoggingCategory>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using BadPictures::BadFile;
using BadPictures::everyBadFile;
using BadPictures::goodGif;
using BadPictures::goodJpeg;
using BadPictures::hugeGif;
using BadPictures::mislabelled;

class BadPicturesTest : public QObject
{
    Q_OBJECT

private slots:
    // Qt's decoders warn about every broken file; a thousand warnings would bury the report.
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.gui.imageio.*.warning=false"));
    }

    void sweepIsWhatItClaims()
    {
        QCOMPARE(goodGif().size() + goodJpeg().size() + 400 + mislabelled().size(), everyBadFile().size());
        QVERIFY(goodJpeg().size() > 300); // the JPEG sweep reaches past header and tables
    }

    void rejectedFilesGiveAReason()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        int accepted = 0;
        int rejected = 0;
        for (const BadFile &file : everyBadFile()) {
            const QString path = dir.filePath(file.name);
            QVERIFY(TestPictures::writeFile(path, file.bytes));
            const Measurement measured = measurePicture(path);
            QByteArray bytes = file.bytes;
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            const Measurement inMemory = measurePicture(buffer);
            QVERIFY2(inMemory.size == measured.size && inMemory.error == measured.error,
                     qPrintable(QStringLiteral("%1 measures %2x%3 \"%4\" from a file, %5x%6 \"%7\" from memory")
                                    .arg(file.name)
                                    .arg(measured.size.width())
                                    .arg(measured.size.height())
                                    .arg(measured.error)
                                    .arg(inMemory.size.width())
                                    .arg(inMemory.size.height())
                                    .arg(inMemory.error)));
            if (measured.error.isEmpty()) {
                ++accepted;
                QVERIFY2(measured.size.width() > 0 && measured.size.height() > 0, qPrintable(file.name));
            } else {
                ++rejected;
                // A reason the user can act on, never the decoder's "Unknown error".
                QVERIFY2(!measured.error.contains(QLatin1String("Unknown error")), qPrintable(file.name));
                QVERIFY2(!measured.size.isValid() || measured.size.isEmpty(), qPrintable(file.name));
                QVERIFY2(measured.error.endsWith(QLatin1Char('.')), qPrintable(measured.error));
            }
        }
        qInfo("measured %d files: %d accepted, %d rejected", accepted + rejected, accepted, rejected);
        QVERIFY(rejected > 0);
        QVERIFY(accepted > 0);
    }

    void namedCasesAreJudgedRightly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size"); // invalid when measuring must reject the file
        QTest::newRow("empty gif") << "empty.gif" << QSize();
        QTest::newRow("empty jpeg") << "empty.jpg" << QSize();
        // Browsers go by the content: a PNG or BMP under a JPEG name is shown.
        QTest::newRow("png as jpg") << "png-inside.jpg" << QSize(16, 8);
        QTest::newRow("bmp as jpg") << "bmp-inside.jpg" << QSize(16, 8);
        QTest::newRow("text as gif") << "text-inside.gif" << QSize();
        QTest::newRow("gif as jpg") << "gif-inside.jpg" << QSize(40, 30);
        // Browsers go by the signature, not the name: a damaged one is no picture.
        QTest::newRow("gif signature GIF89b") << "signature-89b.gif" << QSize();
        QTest::newRow("gif signature XIF89a") << "signature-XIF.gif" << QSize();
        QTest::newRow("jpeg signature FF D9") << "signature-FFD9.jpg" << QSize();
        // Within the decoder's 65,500 a side, yet past the browsers' 2^29 pixels.
        QTest::newRow("huge jpeg header") << "huge.jpg" << QSize();
        QTest::newRow("jpeg header past the decoder's limit") << "too-huge.jpg" << QSize();
    }

    void namedCasesAreJudgedRightly()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto files = mislabelled();
        const auto file = std::find_if(files.begin(), files.end(), [&](const BadFile &f) { return f.name == name; });
        QVERIFY(file != files.end());
        QVERIFY(TestPictures::writeFile(dir.filePath(name), file->bytes));
        const Measurement measured = measurePicture(dir.filePath(name));
        if (size.isValid()) {
            QCOMPARE(measured.error, QString());
            QCOMPARE(measured.size, size);
        } else {
            QVERIFY(!measured.error.isEmpty());
        }
    }

    void hugeGifNeverHangsMeasuring()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("huge.gif"));
        QVERIFY(TestPictures::writeFile(path, hugeGif()));
        const Measurement measured = measurePicture(path);
        // Either answer is sound; a size, when given, is the header's claim.
        if (measured.error.isEmpty())
            QCOMPARE(measured.size, QSize(65535, 65535));
    }

    // Every file in one folder: the run's skipped list must be exactly the
    // files measuring rejects, and the pages exactly the files it accepts.
    void runSkipsEachBadFileAndKeepsEveryGoodOne()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QList<BadFile> files = everyBadFile();
        files += {{QStringLiteral("good-a.gif"), goodGif()}, {QStringLiteral("good-b.jpg"), goodJpeg()},
                  {QStringLiteral("zz-good.jpg"), TestPictures::jpeg(7, 9)}};
        QMap<QString, QString> rejectedBy;  // name -> the reason measuring gives
        QMap<QByteArray, QSize> acceptedAs; // name -> measured size
        for (const BadFile &file : files) {
            QVERIFY(TestPictures::writeFile(dir.filePath(file.name), file.bytes));
            const Measurement measured = measurePicture(dir.filePath(file.name));
            if (measured.error.isEmpty())
                acceptedAs.insert(file.name.toLatin1(), measured.size);
            else
                rejectedBy.insert(file.name, measured.error);
        }
        for (const char *good : {"good-a.gif", "good-b.jpg", "zz-good.jpg"})
            QVERIFY2(acceptedAs.contains(good), good);

        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices), RunOutcome::Completed);
        QCOMPARE(notices.completions, 1);
        QCOMPARE(notices.failures, QStringList());
        QCOMPARE(notices.readCount, qint64(acceptedAs.size()));

        QMap<QString, QString> skipped;
        for (const SkippedFile &file : notices.skipped) {
            QVERIFY2(!file.reason.isEmpty(), qPrintable(file.name));
            QVERIFY2(!skipped.contains(file.name), qPrintable(file.name));
            skipped.insert(file.name, file.reason);
        }
        QCOMPARE(skipped, rejectedBy);

        const auto pages = PageFiles::pages(dir.path());
        QCOMPARE(qint64(pages.size()), pageEstimate(acceptedAs.size()));
        QMap<QByteArray, QSize> onPages;
        for (const QByteArray &page : pages) {
            QVERIFY(PageFiles::isComplete(page));
            for (const PageFiles::PageImage &image : PageFiles::images(page)) {
                QVERIFY2(!onPages.contains(image.source), image.source.constData());
                onPages.insert(image.source, QSize(int(image.width - 2), int(image.height - 2)));
            }
        }
        QCOMPARE(onPages, acceptedAs);
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
    }

    void listingNamesEveryCandidateWithItsLength()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QMap<QString, qint64> written;
        for (const BadFile &file : everyBadFile()) {
            QVERIFY(TestPictures::writeFile(dir.filePath(file.name), file.bytes));
            written.insert(file.name, file.bytes.size());
        }
        const FolderListing listing = listPictures(dir.path());
        QCOMPARE(listing.error, QString());
        QMap<QString, qint64> listed;
        for (const ListedPicture &picture : listing.pictures)
            listed.insert(picture.name, picture.length);
        QCOMPARE(listed, written);
    }
};

QTEST_GUILESS_MAIN(BadPicturesTest)
#include "tst_badpictures.moc"
