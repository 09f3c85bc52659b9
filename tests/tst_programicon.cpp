// The program icon is embedded and read by Qt's own ico plugin, in the file
// format the desktop expects, and the installed PNG shows the same picture.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

namespace {

const QString iconPath = QStringLiteral(":/vimbrel/vimbrel.ico");

quint16 le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

} // namespace

class ProgramIconTest : public QObject
{
    Q_OBJECT

private slots:
    void isOneEightBitImageOfFortyEight()
    {
        QFile file(iconPath);
        QVERIFY2(file.open(QIODevice::ReadOnly), "the icon is not embedded");
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 3774);
        QCOMPARE(le16(bytes, 2), quint16(1)); // an icon, not a cursor
        QCOMPARE(le16(bytes, 4), quint16(1)); // one image
        QCOMPARE(quint8(bytes[6]), quint8(48));
        QCOMPARE(quint8(bytes[7]), quint8(48));
        QCOMPARE(le16(bytes, 12), quint16(8));
        const quint32 offset = le32(bytes, 18);
        QCOMPARE(offset + le32(bytes, 14), quint32(bytes.size()));
        QCOMPARE(le32(bytes, offset), quint32(40));       // BITMAPINFOHEADER
        QCOMPARE(le32(bytes, offset + 8), quint32(96));   // image and mask
        QCOMPARE(le16(bytes, offset + 14), quint16(8));   // bits per pixel
        QCOMPARE(le32(bytes, offset + 32), quint32(256)); // palette entries
    }

    void qtReadsIt()
    {
        QImageReader reader(iconPath);
        QCOMPARE(reader.format(), QByteArray("ico"));
        QCOMPARE(reader.size(), QSize(48, 48));
        const QImage icon = reader.read();
        QVERIFY2(!icon.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(icon.size(), QSize(48, 48));
        QVERIFY(icon.hasAlphaChannel());
        QCOMPARE(qAlpha(icon.pixel(0, 47)), 0);   // transparent outside the pages
        QCOMPARE(qAlpha(icon.pixel(20, 20)), 255); // opaque on them
    }

    void pngShowsTheSamePicture()
    {
        const QImage ico = QImage(iconPath).convertToFormat(QImage::Format_ARGB32);
        const QImage png = QImage(QStringLiteral(VIMBREL_ICON_PNG)).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(png.size(), QSize(48, 48));
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                const QRgb a = ico.pixel(x, y);
                const QRgb b = png.pixel(x, y);
                if (qAlpha(a) != qAlpha(b) || (qAlpha(a) != 0 && a != b))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(ProgramIconTest)
#include "tst_programicon.moc"
