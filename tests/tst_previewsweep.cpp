// The preview over the hostile sweep: it must never crash or hang, must beep
// on each file it cannot show, and must then leave the previous picture and
// the bars exactly as they were, with the label saying why.
#include "support/BadPictures.h"
#include "support/PreviewHost.h"
#include "support/TestPictures.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

class PreviewSweepTest : public QObject
{
    Q_OBJECT

private slots:
    // Qt's decoders warn about every broken file; a thousand warnings would bury the report.
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false\nqt.gui.imageio.warning=false\nqt.gui.imageio.*.warning=false"));
    }

    void everyBadFileBeepsOrShows()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Host host;
        RecordingBeeper beeper;
        PicturePreview preview(host.controls(), beeper, nullptr);
        host.window.show();
        preview.Form_Resize();

        const QString good = dir.filePath(QStringLiteral("good.gif"));
        QVERIFY(TestPictures::writeFile(good, TestPictures::gif(500, 400))); // larger than the viewport
        QVERIFY(previewAndWait(preview, good, 1));
        QCOMPARE(beeper.count, 0);
        host.hScroll1->setValue(50);

        int refused = 0;
        int shown = 0;
        for (const BadPictures::BadFile &file : BadPictures::everyBadFile()) {
            const QString path = dir.filePath(file.name);
            QVERIFY(TestPictures::writeFile(path, file.bytes));
            const Snapshot before(host);
            const int beeps = beeper.count;
            QVERIFY2(previewAndWait(preview, path, file.bytes.size()), qPrintable(file.name));
            if (beeper.count > beeps) {
                QVERIFY2(Snapshot(host).samePicture(before), qPrintable(file.name + " changed the preview yet beeped"));
                QVERIFY2(failureText(*host.failure).startsWith(QStringLiteral("Cannot show %1: It ").arg(file.name)),
                         qPrintable(failureText(*host.failure)));
                ++refused;
                continue;
            }
            ++shown;
            // A file that ends early has a note after its length.
            QVERIFY2(host.label3->text().startsWith(QStringLiteral("%1 Bytes").arg(file.bytes.size())),
                     qPrintable(host.label3->text()));
            QVERIFY2(host.picture2->width() > 2 && host.picture2->height() > 2, qPrintable(file.name));
            QCOMPARE(preview.holderOffset(), QPoint(-host.hScroll1->value(), -host.vScroll1->value()));
        }
        qInfo("previewed %d files: %d shown, %d refused with a beep", shown + refused, shown, refused);
        QVERIFY(refused > 0);
        QVERIFY(shown > 0);
    }

    void hugeHeadersBeep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("gif 65535 x 65535") << "huge.gif" << "It is too large: 65535 x 65535 pixels.";
        QTest::newRow("jpeg 65500 x 65500") << "huge.jpg" << "It is too large: 65500 x 65500 pixels.";
        // Past the largest size a JPEG may have.
        QTest::newRow("jpeg 65535 x 65535") << "too-huge.jpg" << "It is damaged, or not a picture.";
    }

    void hugeHeadersBeep()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const auto files = BadPictures::mislabelled();
        const auto file = std::find_if(files.begin(), files.end(), [&](const auto &f) { return f.name == name; });
        QVERIFY(file != files.end());
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(TestPictures::writeFile(dir.filePath(name), file->bytes));
        Host host;
        RecordingBeeper beeper;
        PicturePreview preview(host.controls(), beeper, nullptr);
        QVERIFY(previewAndWait(preview, dir.filePath(name), file->bytes.size()));
        QCOMPARE(beeper.count, 1);
        QCOMPARE(failureText(*host.failure), QStringLiteral("Cannot show %1: %2").arg(name, reason));
        QCOMPARE(host.picture2->size(), QSize(34, 34)); // still the program icon
    }
};

QTEST_MAIN(PreviewSweepTest)
#include "tst_previewsweep.moc"
