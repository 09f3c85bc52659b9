// The made pictures must be what real decoders accept, or every other test proves nothing.
#include "support/TestPictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTest>

class TestPicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void gifDecodes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1x1") << 1 << 1;
        QTest::newRow("100x50") << 100 << 50;
        QTest::newRow("odd") << 37 << 3;
    }

    void gifDecodes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const QImage image = QImage::fromData(TestPictures::gif(width, height), "GIF");
        QCOMPARE(image.size(), QSize(width, height));
        QCOMPARE(image.pixel(width - 1, height - 1), qRgb(0x20, 0x60, 0xC0));
    }

    void exifOrientationIsSeen()
    {
        QByteArray bytes = TestPictures::withExifOrientation(TestPictures::jpeg(40, 10), 6);
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer);
        QCOMPARE(reader.size(), QSize(40, 10));
        QVERIFY(reader.transformation() & QImageIOHandler::TransformationRotate90);
        reader.setAutoTransform(true);
        QCOMPARE(reader.read().size(), QSize(10, 40));
    }
};

QTEST_GUILESS_MAIN(TestPicturesTest)
#include "tst_testpictures.moc"
