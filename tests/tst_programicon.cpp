// The program icon is embedded and read by Qt's own ico plugin, in the file
// format the desktop expects; the icon theme's sizes show the same picture;
// and the window takes the theme's icon when the desktop has one.
#include "window/ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
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

const QList<int> themeSizes = {16, 32, 48, 64, 128, 256};

QString themePng(int size)
{
    return QStringLiteral(VIMBREL_ICON_DIR "/%1.png").arg(size);
}

// A hicolor theme of one folder, holding the program's icon as one flat colour.
bool writeTheme(const QString &root, const QColor &colour)
{
    const QString folder = root + QStringLiteral("/hicolor/48x48/apps");
    QFile index(root + QStringLiteral("/hicolor/index.theme"));
    QImage icon(48, 48, QImage::Format_ARGB32);
    icon.fill(colour);
    return QDir().mkpath(folder) && index.open(QIODevice::WriteOnly)
        && index.write("[Icon Theme]\nName=hicolor\nDirectories=48x48/apps\n\n"
                       "[48x48/apps]\nSize=48\nType=Fixed\n")
               > 0
        && icon.save(folder + QLatin1Char('/') + programIconName() + QStringLiteral(".png"));
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

    void themeSizeOf48ShowsTheSamePicture()
    {
        const QImage ico = QImage(iconPath).convertToFormat(QImage::Format_ARGB32);
        const QImage png = QImage(themePng(48)).convertToFormat(QImage::Format_ARGB32);
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

    void eachThemeSize_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : themeSizes)
            QTest::addRow("%d", size) << size;
    }

    // Each size drawn whole: transparent outside the pages, opaque on the
    // picture, and embedded as it was committed.
    void eachThemeSize()
    {
        QFETCH(int, size);
        const QImage png = QImage(themePng(size)).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(png.size(), QSize(size, size));
        QCOMPARE(qAlpha(png.pixel(0, size - 1)), 0);
        QCOMPARE(qAlpha(png.pixel(size * 20 / 48, size * 20 / 48)), 255);
        const QImage embedded = QImage(QStringLiteral(":/vimbrel/icons/%1.png").arg(size));
        QCOMPARE(embedded.convertToFormat(QImage::Format_ARGB32), png);
    }

    void builtInIconWhenTheThemeHasNone()
    {
        QTemporaryDir themes;
        QVERIFY(themes.isValid());
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("hicolor"));
        const QIcon icon = programIcon();
        QVERIFY(!icon.isNull());
        for (const int size : themeSizes)
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
        const QImage shown = icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown, QImage(themePng(48)).convertToFormat(QImage::Format_ARGB32));
    }

    void themeIconWhenTheDesktopHasOne()
    {
        QTemporaryDir themes;
        QVERIFY(themes.isValid());
        const QColor themed(10, 200, 30);
        QVERIFY(writeTheme(themes.path(), themed));
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("hicolor"));
        const QIcon icon = programIcon();
        QCOMPARE(icon.name(), QStringLiteral("org.example.Vimbrel"));
        const QImage shown = icon.pixmap(QSize(48, 48)).toImage();
        QCOMPARE(shown.pixelColor(24, 24), themed);
    }
};

QTEST_MAIN(ProgramIconTest)
#include "tst_programicon.moc"
