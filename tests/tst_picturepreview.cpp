// The preview on a window of its own with the main window's geometry: range
// and visibility at the boundaries, the holder following the bars, the beep
// on failure, the byte label, EXIF orientation and pictures measured by a run.
#include "common/Beeper.h"
#include "preview/PicturePreview.h"
#include "support/PreviewHost.h"
#include "support/TestPictures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMovie>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

namespace {

// A small picture whose header claims width x height pixels.
QByteArray claimingGif(int width, int height)
{
    QByteArray bytes = TestPictures::gif(1, 1);
    for (int at : {6, 19 + 5}) { // the logical screen, then the image
        bytes[at] = char(width & 0xFF);
        bytes[at + 1] = char(width >> 8);
        bytes[at + 2] = char(height & 0xFF);
        bytes[at + 3] = char(height >> 8);
    }
    return bytes;
}

} // namespace

class PicturePreviewTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<PicturePreview> m_preview;
    RecordingBeeper m_beeper;

    QString picture(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        if (!TestPictures::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString gif(int width, int height)
    {
        return picture(QStringLiteral("%1x%2.gif").arg(width).arg(height),
                       TestPictures::gif(width, height));
    }
    bool show(const QString &path) { return previewAndWait(*m_preview, path, QFileInfo(path).size()); }
    QPoint offset() const { return m_preview->holderOffset(); }
    QPoint values() const { return {m_host->hScroll1->value(), m_host->vScroll1->value()}; }
    // The failure note lies within the viewport's client area, with room for all of its text.
    void verifyNoteReadable() const
    {
        const QLabel *note = m_host->failure;
        QVERIFY(note->isVisible());
        QVERIFY(m_host->picture1->contentsRect().contains(note->geometry()));
        QVERIFY2(note->width() >= note->minimumSizeHint().width(), "a word runs past the edge");
        QVERIFY2(note->height() >= note->heightForWidth(note->width()), "a line is cut off");
    }
    void verifyBarsAndHolder()
    {
        QCOMPARE(m_host->hScroll1->minimum(), 0);
        QCOMPARE(m_host->vScroll1->minimum(), 0);
        QCOMPARE(offset(), -values());
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // No decoding thread may still be winding down when the sanitizer's
    // leak check stops every thread at exit: its tracer can crash on one.
    void cleanupTestCase() { QThreadPool::globalInstance()->waitForDone(); }

    void init()
    {
        m_host = std::make_unique<Host>();
        m_preview = std::make_unique<PicturePreview>(m_host->controls(), m_beeper, nullptr);
        m_host->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_host->window));
        m_preview->Form_Resize();
        m_beeper.count = 0;
    }

    void cleanup()
    {
        m_preview.reset();
        m_host.reset();
    }

    void startsWithTheIconAtTheCorner()
    {
        QCOMPARE(m_host->picture2->size(), QSize(34, 34));
        QCOMPARE(m_host->picture2->pixmap().size(), QSize(32, 32));
        QCOMPARE(offset(), QPoint(0, 0));
        QCOMPARE(m_host->picture2->pos(), m_host->picture1->contentsRect().topLeft());
        QVERIFY(!m_host->hScroll1->isVisible());
        QVERIFY(!m_host->vScroll1->isVisible());
        QVERIFY(m_host->label3->text().isEmpty());
    }

    void resizePlacesTheBarsBesideTheViewport()
    {
        QCOMPARE(m_host->hScroll1->geometry(), QRect(192, 347, 401, 17));
        QCOMPARE(m_host->vScroll1->geometry(), QRect(593, 8, 17, 339));
    }

    void rangeAtTheBoundary_data()
    {
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<int>("hMax");
        QTest::addColumn<int>("vMax");
        // The viewport is 401 x 339 outside; the holder is the picture + 2.
        QTest::newRow("as wide as the viewport") << QSize(399, 10) << 0 << 0;
        QTest::newRow("one pixel wider") << QSize(400, 10) << 1 << 0;
        QTest::newRow("as tall as the viewport") << QSize(10, 337) << 0 << 0;
        QTest::newRow("one pixel taller") << QSize(10, 338) << 0 << 1;
        QTest::newRow("larger both ways") << QSize(1000, 800) << 601 << 463;
        QTest::newRow("smaller both ways") << QSize(100, 50) << 0 << 0;
        QTest::newRow("widest that scrolls") << QSize(401 + 32767 - 2, 10) << 32767 << 0;
    }

    void rangeAtTheBoundary()
    {
        QFETCH(QSize, pictureSize);
        QFETCH(int, hMax);
        QFETCH(int, vMax);
        QVERIFY(show(gif(pictureSize.width(), pictureSize.height())));
        QCOMPARE(m_beeper.count, 0);
        QCOMPARE(m_host->picture2->size(), pictureSize + QSize(2, 2));
        QCOMPARE(m_host->hScroll1->maximum(), hMax);
        QCOMPARE(m_host->vScroll1->maximum(), vMax);
        QCOMPARE(m_host->hScroll1->isVisible(), hMax > 0);
        QCOMPARE(m_host->vScroll1->isVisible(), vMax > 0);
        verifyBarsAndHolder();
    }

    void barsMoveTheHolder()
    {
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(601);
        QCOMPARE(offset(), QPoint(-601, 0));
        m_host->vScroll1->setValue(100);
        QCOMPARE(offset(), QPoint(-601, -100));
        m_host->vScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(offset(), QPoint(-601, -105));
        m_host->hScroll1->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(offset(), QPoint(-591, -105));
        // Scrolled to the end, the holder's right edge lies the viewport's outer width in.
        m_host->hScroll1->setValue(601);
        QCOMPARE(offset().x() + m_host->picture2->width(), 401);
    }

    void smallerPictureAfterScrolling_data()
    {
        QTest::addColumn<QSize>("next");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("smaller than the viewport") << QSize(100, 50) << QPoint(0, 0);
        QTest::newRow("still larger, less so") << QSize(600, 400) << QPoint(-201, -63);
    }

    void smallerPictureAfterScrolling()
    {
        QFETCH(QSize, next);
        QFETCH(QPoint, expected);
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(601);
        m_host->vScroll1->setValue(463);
        QVERIFY(show(gif(next.width(), next.height())));
        QCOMPARE(offset(), expected);
        QCOMPARE(values(), -expected);
        QCOMPARE(m_host->hScroll1->isVisible(), expected.x() < 0);
        verifyBarsAndHolder();
    }

    void largerPictureKeepsTheOffset()
    {
        QVERIFY(show(gif(600, 600)));
        m_host->hScroll1->setValue(150);
        m_host->vScroll1->setValue(200);
        QVERIFY(show(gif(1000, 800)));
        QCOMPARE(values(), QPoint(150, 200));
        QCOMPARE(offset(), QPoint(-150, -200));
        verifyBarsAndHolder();
    }

    void resizeKeepsHolderAtTheBarsValues()
    {
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(300);
        m_preview->Form_Resize();
        QCOMPARE(m_host->hScroll1->value(), 300);
        verifyBarsAndHolder();
    }

    void holderIsClippedToTheClientArea()
    {
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(10);
        const QRect client = m_host->picture1->contentsRect();
        const QRect shown = m_host->picture2->mask().boundingRect().translated(m_host->picture2->pos());
        QCOMPARE(shown, client);
    }

    void byteLabel_data()
    {
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("text");
        QTest::newRow("2048") << qint64(2048) << QStringLiteral("2048 Bytes");
        QTest::newRow("one byte, no singular") << qint64(1) << QStringLiteral("1 Bytes");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("0 Bytes");
    }

    void byteLabel()
    {
        QFETCH(qint64, length);
        QFETCH(QString, text);
        QVERIFY(previewAndWait(*m_preview, gif(20, 20), length));
        QCOMPARE(m_host->label3->text(), text);
        QVERIFY(m_host->label3->width() >= m_host->label3->sizeHint().width());
    }

    void failureBeepsAndSaysWhy_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("bytes"); // written to path unless empty
        QTest::addColumn<bool>("deleted");    // removed again before the preview
        QTest::addColumn<QString>("label");
        QTest::newRow("no selection") << QString() << QByteArray() << false
                                      << QStringLiteral("No picture is selected.");
        QTest::newRow("deleted after listing")
            << QStringLiteral("gone.gif") << TestPictures::gif(5, 5) << true
            << QStringLiteral("Cannot show gone.gif: The file no longer exists.");
        QTest::newRow("not a picture")
            << QStringLiteral("text.gif") << QByteArray("GIF89a, not really") << false
            << QStringLiteral("Cannot show text.gif: It is damaged, or not a picture.");
        QTest::newRow("truncated JPEG header")
            << QStringLiteral("cut.jpg") << TestPictures::jpeg(50, 50).left(40) << false
            << QStringLiteral("Cannot show cut.jpg: It is damaged, or not a picture.");
        QTest::newRow("GIF header claims 65535 x 65535")
            << QStringLiteral("huge.gif") << claimingGif(65535, 65535) << false
            << QStringLiteral("Cannot show huge.gif: It is too large: 65535 x 65535 pixels.");
        // Small enough to scroll, too large to decode: only the memory limit refuses it.
        QTest::newRow("JPEG header claims 30000 x 30000")
            << QStringLiteral("huge.jpg") << TestPictures::jpegClaiming(30000, 30000) << false
            << QStringLiteral("Cannot show huge.jpg: It is too large: 30000 x 30000 pixels.");
        QTest::newRow("GIF header claims 30000 x 30000")
            << QStringLiteral("large.gif") << claimingGif(30000, 30000) << false
            << QStringLiteral("Cannot show large.gif: It is too large: 30000 x 30000 pixels.");
        const QString longName = QStringLiteral("holiday-") + QString(180, QLatin1Char('x')) + QStringLiteral("-end.gif");
        QTest::newRow("long name") << longName << QByteArray("GIF89a, not really") << false
                                   << "Cannot show " + longName + ": It is damaged, or not a picture.";
        QTest::newRow("too wide to scroll")
            << QStringLiteral("strip.gif") << TestPictures::gif(401 + 32767 - 1, 1) << false
            << QStringLiteral("Cannot show strip.gif: It is too large: 33167 x 1 pixels.");
    }

    void failureBeepsAndSaysWhy()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, deleted);
        QFETCH(QString, label);
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(40);
        const Snapshot before(*m_host);

        const QString full = path.isEmpty() ? QString() : m_dir.filePath(path);
        if (!bytes.isEmpty())
            picture(path, bytes);
        if (deleted)
            QVERIFY(QFile::remove(full));
        QSignalSpy failed(m_preview.get(), &PicturePreview::failed);
        QVERIFY(previewAndWait(*m_preview, full, 12345));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(0).toString(), full);
        QCOMPARE(m_beeper.count, 1);
        QVERIFY(Snapshot(*m_host).samePicture(before));
        QCOMPARE(failureText(*m_host->failure), label);
        // The reason whole, and of a long name its start and its extension.
        const QString shown = m_host->failure->text();
        QVERIFY(shown.endsWith(label.mid(label.indexOf(QLatin1String(": ")))));
        QVERIFY(shown.startsWith(label.left(20)));
        if (!path.isEmpty())
            QVERIFY(shown.contains(path.right(8) + QLatin1String(": ")));
        verifyNoteReadable();
        QVERIFY(m_host->label3->text().isEmpty()); // no length for a picture not on view
    }

    // The next picture that shows puts the byte count back.
    void successAfterFailureShowsTheLength()
    {
        QVERIFY(previewAndWait(*m_preview, m_dir.filePath(QStringLiteral("absent.gif")), 1));
        QCOMPARE(m_beeper.count, 1);
        QVERIFY(previewAndWait(*m_preview, gif(20, 20), 77));
        QCOMPARE(m_host->label3->text(), QStringLiteral("77 Bytes"));
        QVERIFY(!m_host->failure->isVisible());
    }

    // Browsers show what there is of a file that ends early; the preview does too, and says so.
    void incompletePictureIsSaidSo()
    {
        const QString path = gif(30, 20);
        QVERIFY(previewAndWait(*m_preview, path, 12345));
        DecodedPicture cut;
        cut.image = QImage(30, 20, QImage::Format_RGB32);
        cut.image.fill(Qt::gray);
        cut.incomplete = true;
        // Handed over as the loader hands over the result of the first request.
        QVERIFY(QMetaObject::invokeMethod(m_preview.get(), "previewDecoded", Q_ARG(quint64, 1), Q_ARG(QString, path),
                                          Q_ARG(DecodedPicture, cut)));
        QCOMPARE(m_host->label3->text(), QStringLiteral("12345 Bytes (incomplete: the file ends early)"));
        QVERIFY(m_host->label3->width() >= m_host->label3->sizeHint().width());
        QVERIFY(show(gif(20, 20)));
        QCOMPARE(m_host->label3->text(), QStringLiteral("%1 Bytes").arg(TestPictures::gif(20, 20).size()));
    }

    void exifOrientationIsApplied_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QSize>("holder");
        QTest::newRow("upright") << 1 << QSize(42, 12);
        QTest::newRow("upside down") << 3 << QSize(42, 12);
        QTest::newRow("quarter turn") << 6 << QSize(12, 42);
        QTest::newRow("quarter turn back") << 8 << QSize(12, 42);
    }

    void exifOrientationIsApplied()
    {
        QFETCH(int, orientation);
        QFETCH(QSize, holder);
        QVERIFY(show(picture(QStringLiteral("turned%1.jpg").arg(orientation),
                             TestPictures::withExifOrientation(TestPictures::jpeg(40, 10), orientation))));
        QCOMPARE(m_beeper.count, 0);
        QCOMPARE(m_host->picture2->size(), holder);
    }

    void animatedGifPlays()
    {
        QVERIFY(show(picture(QStringLiteral("moving.gif"), TestPictures::animatedGif(30, 20, 2))));
        QCOMPARE(m_beeper.count, 0);
        QMovie *movie = m_host->picture2->movie();
        QVERIFY(movie);
        QCOMPARE(m_host->picture2->size(), QSize(32, 22));
        // It plays from the bytes the worker read, not from the file.
        QVERIFY(movie->fileName().isEmpty());
        QVERIFY(qobject_cast<QBuffer *>(movie->device()));
        QCOMPARE(movie->frameCount(), 2);
        QTRY_COMPARE(movie->currentFrameNumber(), 1);
        QVERIFY(show(gif(40, 40))); // a still picture replaces the movie
        QVERIFY(!m_host->picture2->movie());
        QCOMPARE(m_host->picture2->pixmap().size(), QSize(40, 40));
    }

    void panoramaPreviews()
    {
        QVERIFY(show(picture(QStringLiteral("panorama.jpg"), TestPictures::jpeg(16000, 8000, 30))));
        QCOMPARE(m_beeper.count, 0);
        QCOMPARE(m_host->picture2->size(), QSize(16002, 8002));
        QCOMPARE(m_host->hScroll1->maximum(), 16002 - 401);
    }

    void measuredPictureShowsAloneInTheHolder()
    {
        QVERIFY(show(gif(1000, 800)));
        m_host->hScroll1->setValue(50);
        const Snapshot before(*m_host);
        m_preview->showMeasured(gif(120, 70));
        QTRY_COMPARE(m_host->picture2->size(), QSize(122, 72));
        QCOMPARE(m_host->label3->text(), before.label);
        QCOMPARE(m_host->hScroll1->maximum(), before.hMax);
        QCOMPARE(m_host->hScroll1->value(), 50);
        QCOMPARE(offset(), QPoint(-50, 0));
        QCOMPARE(m_beeper.count, 0);
    }

    void measuredPicturesEndWithTheLast()
    {
        for (int width = 10; width < 60; width += 5)
            m_preview->showMeasured(gif(width, 10));
        QTRY_COMPARE(m_host->picture2->size(), QSize(57, 12));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents(); // the decodes' results, all of them queued by now
        QCOMPARE(m_host->picture2->size(), QSize(57, 12));
    }

    void previewOverridesAnEarlierMeasuredPicture()
    {
        m_preview->showMeasured(gif(300, 200));
        QVERIFY(show(gif(100, 50)));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents(); // the decodes' results, all of them queued by now
        QCOMPARE(m_host->picture2->size(), QSize(102, 52));
        m_preview->showMeasured(QStringLiteral("missing.gif")); // the run reports this, not the preview
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents(); // the decodes' results, all of them queued by now
        QCOMPARE(m_beeper.count, 0);
        QCOMPARE(m_host->picture2->size(), QSize(102, 52));
    }
};

QTEST_MAIN(PicturePreviewTest)
#include "tst_picturepreview.moc"
