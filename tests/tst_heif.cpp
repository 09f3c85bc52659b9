// Phone photos in the album: HEIC and AVIF made with libheif's own encoder
// (turned, tiled, deep, transparent, with profiles and facts), and headers
// that claim more than a photo holds.
#include "catalogue/FolderListing.h"
#include "formats/HeifDecoding.h"
#include "formats/JpegDecoding.h"
#include "formats/PictureHeader.h"
#include "generation/GenerationRun.h"
#include "preview/PictureDecoding.h"
#include "support/ClipFiles.h"
#include "support/HeifFiles.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"

#include <QColorSpace>
#include <QDirIterator>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using TestPictures::difference;
using TestPictures::quadrants;

namespace {

// The picture a grid of copies of tile shows.
QImage tiled(const QImage &tile, int rows, int columns)
{
    QImage image(tile.width() * columns, tile.height() * rows, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, tile.pixel(x % tile.width(), y % tile.height()));
    return image;
}

// The TIFF structure of the Exif that exiftool writes into a JPEG.
QByteArray exifOf(const QStringList &tags)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("e.jpg");
    TestPictures::writeFile(path, TestPictures::jpeg(16, 16));
    QProcess::execute(QStringLiteral("exiftool"), QStringList{"-q", "-overwrite_original"} + tags + QStringList{path});
    const QByteArray jpeg = TestPictures::readFile(path);
    const qsizetype at = jpeg.indexOf(QByteArray("Exif\0\0", 6));
    const int length = (quint8(jpeg.at(at - 2)) << 8) | quint8(jpeg.at(at - 1));
    return jpeg.mid(at + 6, length - 8);
}

// A photo's bytes that fail, shrink or stop the decode at a given read.
class FailingBytes : public ByteSource
{
public:
    enum Event { Stop, Fail, Shrink };
    FailingBytes(QByteArray bytes, Event event, int at) : m_bytes(std::move(bytes)), m_event(event), m_at(at) {}

    qint64 readAt(qint64 offset, char *into, qint64 count) override
    {
        if (++reads >= m_at) {
            if (m_event == Stop)
                stop.store(true);
            else
                return m_event == Fail ? -1 : 0;
        }
        const qint64 n = std::min(count, qint64(m_bytes.size()) - offset);
        std::memcpy(into, m_bytes.constData() + offset, size_t(std::max<qint64>(n, 0)));
        return std::max<qint64>(n, 0);
    }
    QString errorString() const override { return QStringLiteral("Input/output error"); }
    qint64 size() const override { return m_bytes.size(); }

    std::atomic<bool> stop{false};
    int reads = 0;

private:
    QByteArray m_bytes;
    Event m_event;
    int m_at;
};

QByteArray captionXmp()
{
    return R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
           R"(<rdf:Description xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:description><rdf:Alt>)"
           R"(<rdf:li xml:lang="x-default">Quai Branly at noon</rdf:li></rdf:Alt></dc:description>)"
           R"(</rdf:Description></rdf:RDF></x:xmpmeta>)";
}

} // namespace

class HeifTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    PageFiles::Recorder m_notices;
    QString path(const QString &name) const { return m_temp->filePath(name); }

    RunOutcome runAlbum(int webSize = PageOptions::defaultWebSize, PageStyle style = PageStyle::Gallery)
    {
        PageOptions options;
        options.style = style;
        options.webSize = webSize;
        m_notices = {};
        return runGeneration(m_temp->path(), m_notices, nullptr, nullptr, options);
    }

    QImage albumImage(const QString &folder, const QString &name) const
    {
        return QImage(path("vimbrel/" + folder + "/" + name + ".jpg"));
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }

    void cleanup() { m_temp.reset(); }

    // libheif and its codecs, and FFmpeg's libraries, are loaded only when a
    // photo or a clip needs them: the system's loader tells which it loaded.
    void modulesAreLoadedOnlyWhenMet_data()
    {
        QTest::addColumn<QStringList>("style");
        QTest::addColumn<bool>("photo");
        QTest::addColumn<bool>("heifLoaded");
        QTest::newRow("classic, a photo beside") << QStringList() << true << false;
        QTest::newRow("gallery without a photo") << QStringList{QStringLiteral("--gallery")} << false << false;
        QTest::newRow("gallery with a photo") << QStringList{QStringLiteral("--gallery")} << true << true;
    }

    void modulesAreLoadedOnlyWhenMet()
    {
        QFETCH(QStringList, style);
        QFETCH(bool, photo);
        QFETCH(bool, heifLoaded);
        QVERIFY(TestPictures::writeFile(path(QStringLiteral("still.jpg")), TestPictures::jpeg(64, 48)));
        if (photo)
            QVERIFY(TestPictures::writeFile(path(QStringLiteral("photo.heic")), makeHeif(TestPictures::quadrants(QSize(64, 48)))));
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        run.setProcessEnvironment(environment);
        run.start(qEnvironmentVariable("VIMBREL_BINARY"), QStringList{QStringLiteral("--generate"), m_temp->path()} + style);
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitCode(), 0);
        const QByteArray loaded = run.readAllStandardError();
        QVERIFY2(loaded.contains("file=libQt6Core.so"), "the loader said nothing"); // the row reached its case
        QCOMPARE(loaded.contains("file=libheif.so"), heifLoaded);
        QVERIFY(!loaded.contains("file=libavformat.so"));
    }

    // A copy of the program with neither module beside it, nor where it is
    // installed, still makes the album of the rest: each photo and clip is
    // skipped with a reason naming the module it needs.
    void withoutItsModulesPhotosAndClipsAreSkippedByName()
    {
        const QString program = path(QStringLiteral("bin/vimbrel"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("bin"))) && QDir().mkpath(path(QStringLiteral("pics"))));
        QVERIFY(QFile::copy(qEnvironmentVariable("VIMBREL_BINARY"), program));
        const QImage picture = TestPictures::quadrants(QSize(64, 48));
        QVERIFY(TestPictures::writeFile(path(QStringLiteral("pics/photo.heic")), makeHeif(picture)));
        QVERIFY(TestPictures::writeFile(path(QStringLiteral("pics/still.jpg")), TestPictures::jpeg(64, 48)));
        const QString clipError = ClipFiles::makeClip(path(QStringLiteral("pics/clip.mp4")), picture, 1,
                                                      {QStringLiteral("-c:v"), QStringLiteral("libx264")});
        QVERIFY2(clipError.isEmpty(), qPrintable(clipError));
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(program, {QStringLiteral("--generate"), path(QStringLiteral("pics")), QStringLiteral("--gallery")});
        QVERIFY(run.waitForFinished(60000));
        const QString said = QString::fromUtf8(run.readAll());
        QCOMPARE(run.exitCode(), 0);
        QVERIFY2(said.contains(QLatin1String("libvimbrel-heif")) && said.contains(QLatin1String("libvimbrel-clips")), qPrintable(said));
        const QByteArray page = TestPictures::readFile(path(QStringLiteral("pics/index1.htm")));
        QVERIFY(page.contains("still.jpg") && !page.contains("photo.heic") && !page.contains("clip.mp4"));
    }

    // Each photo as Safari shows it: the file's own turn, mirror and tiles,
    // in the copy and the thumbnails, and in the preview.
    void photosAreShownAsTheFileSays_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QImage>("expected");
        const QImage photo = quadrants({96, 64});
        for (int orientation = 1; orientation <= 8; ++orientation) {
            HeifRecipe recipe;
            recipe.orientation = orientation;
            QTest::addRow("HEIC, orientation %d", orientation)
                << QStringLiteral("o%1.heic").arg(orientation) << makeHeif(photo, recipe) << upright(photo, orientation);
        }
        HeifRecipe avif;
        avif.av1 = true;
        avif.orientation = 6;
        QTest::newRow("AVIF turned, any case") << "P.AVIF" << makeHeif(photo, avif) << upright(photo, 6);
        HeifRecipe deep;
        deep.bits = 10;
        QTest::newRow("HEIC, 10 bits") << "deep.hif" << makeHeif(photo, deep) << photo;
        QImage clear = photo.convertToFormat(QImage::Format_ARGB32);
        for (int x = 0; x < 48; ++x)
            for (int y = 0; y < 32; ++y)
                clear.setPixel(x, y, 0); // transparent: the page's white
        QImage onWhite = photo;
        for (int x = 0; x < 48; ++x)
            for (int y = 0; y < 32; ++y)
                onWhite.setPixel(x, y, qRgb(255, 255, 255));
        HeifRecipe alpha;
        alpha.av1 = true;
        QTest::newRow("AVIF with alpha") << "clear.avif" << makeHeif(clear, alpha) << onWhite;
        HeifRecipe extras;
        extras.thumbnail = true;
        extras.secondImage = true;
        QTest::newRow("thumbnail and a second image") << "extras.heif" << makeHeif(photo, extras) << photo;
        const QImage tile = quadrants({64, 64});
        QTest::newRow("grid of 2 x 3 tiles") << "grid.heic" << makeHeifGrid(tile, {}) << tiled(tile, 2, 3);
        HeifGrid cropped;
        cropped.output = {150, 100};
        QTest::newRow("grid cropped by its size") << "cropped.heic" << makeHeifGrid(tile, cropped) << tiled(tile, 2, 3).copy(0, 0, 150, 100);
        HeifGrid turned;
        turned.rotation = 1;
        QTest::newRow("grid turned by irot") << "turned.heic" << makeHeifGrid(tile, turned)
                                             << tiled(tile, 2, 3).transformed(QTransform().rotate(-90));
        HeifGrid clean;
        clean.clap = {120, 80};
        clean.rotation = 3;
        QTest::newRow("grid cropped by clap, then turned") << "clap.heic" << makeHeifGrid(tile, clean)
            << tiled(tile, 2, 3).copy(36, 24, 120, 80).transformed(QTransform().rotate(90));
        HeifRecipe exifTurned;
        exifTurned.exif = exifOf({"-Orientation#=6"});
        QTest::newRow("Exif orientation not applied") << "exif.heic" << makeHeif(photo, exifTurned) << photo;
    }

    void photosAreShownAsTheFileSays()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QImage, expected);
        QVERIFY2(!file.isEmpty(), "libheif could not encode the test photo");
        QVERIFY(TestPictures::writeFile(path(name), file));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY2(m_notices.skipped.isEmpty(), qPrintable(m_notices.skipped.value(0).reason));
        const QImage web = albumImage("web", name);
        QCOMPARE(web.size(), expected.size());
        QVERIFY2(difference(web, expected) < 40, qPrintable(QString::number(difference(web, expected))));
        QVERIFY(difference(albumImage("large", name), expected) < 40);
        QImage preview(expected.size(), QImage::Format_RGB32);
        preview.fill(Qt::white); // as the page shows what is transparent
        QPainter(&preview).drawImage(0, 0, decodePicture(path(name)).image);
        QVERIFY(difference(preview, expected) < 40);
        QVERIFY(TestPictures::readFile(path("vimbrel/pages/" + name + ".htm")).contains("download"));
    }

    // Profiles: the copy holds the colour the photo shows, in sRGB.
    void coloursAreConvertedToSrgb_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QColorSpace>("space");
        const QImage photo = [] {
            QImage image(64, 48, QImage::Format_RGB32);
            image.fill(qRgb(40, 170, 90));
            return image;
        }();
        HeifRecipe icc;
        icc.icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
        QTest::newRow("ICC, Adobe RGB") << makeHeif(photo, icc) << QColorSpace(QColorSpace::AdobeRgb);
        HeifRecipe nclx;
        nclx.nclxPrimaries = 12;
        nclx.av1 = true;
        QTest::newRow("nclx, Display P3") << makeHeif(photo, nclx) << QColorSpace(QColorSpace::DisplayP3);
    }

    void coloursAreConvertedToSrgb()
    {
        QFETCH(QByteArray, file);
        QFETCH(QColorSpace, space);
        QVERIFY(TestPictures::writeFile(path("c.heic"), file));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QColor shown = space.transformationToColorSpace(QColorSpace::SRgb).map(QColor(40, 170, 90));
        const QRgb copy = albumImage("web", "c.heic").pixel(32, 24);
        QVERIFY2(std::abs(qRed(copy) - shown.red()) < 8 && std::abs(qGreen(copy) - shown.green()) < 8
                     && std::abs(qBlue(copy) - shown.blue()) < 8,
                 qPrintable(QStringLiteral("%1 %2 %3, not %4").arg(qRed(copy)).arg(qGreen(copy)).arg(qBlue(copy)).arg(shown.name())));
    }

    // What the photo says of itself reaches its page; nothing of it, least of
    // all where it was taken, reaches a copy.
    void factsButNoLocation()
    {
        HeifRecipe recipe;
        recipe.exif = exifOf({"-Model=Pixel 9", "-DateTimeOriginal=2026:07:14 10:11:12", "-GPSLatitude=48.8583",
                              "-GPSLatitudeRef=N", "-GPSLongitude=2.2945", "-GPSLongitudeRef=E"});
        recipe.xmp = captionXmp();
        QVERIFY(TestPictures::writeFile(path("f.heic"), makeHeif(quadrants({64, 48}), recipe)));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/f.heic.htm"));
        QVERIFY2(page.contains("Pixel 9") && page.contains("Quai Branly at noon") && page.contains("2026"), page.constData());
        QDirIterator made(path("vimbrel"), QDir::Files, QDirIterator::Subdirectories);
        while (made.hasNext()) {
            const QByteArray bytes = TestPictures::readFile(made.next());
            QVERIFY2(!bytes.contains("Exif") && !bytes.contains("GPS") && !bytes.contains("xmpmeta"), qPrintable(made.filePath()));
        }
    }

    // Headers that claim more than a photo holds are refused before anything
    // large is taken, each with its reason; the run goes on.
    void headersThatClaimTooMuchAreRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QImage tile = quadrants({64, 64});
        HeifGrid huge;
        huge.output = {60000, 60000};
        QTest::newRow("60000 x 60000") << makeHeifGrid(tile, huge) << "more than a photograph holds";
        HeifGrid large;
        large.output = {20000, 20000};
        QTest::newRow("within libheif's limit, over the budget") << makeHeifGrid(tile, large) << "of memory (20000 x 20000 pixels)";
        HeifGrid items;
        items.items = 1000000;
        QTest::newRow("a million tiles") << makeHeifGrid(tile, items) << "lists 1000000 images";
        HeifGrid justOver;
        justOver.items = 2049;
        QTest::newRow("one item past the most") << makeHeifGrid(tile, justOver) << "lists 2049 images";
        const QByteArray whole = makeHeif(quadrants({96, 64}));
        QTest::newRow("cut short") << whole.left(whole.size() - 200) << "damaged";
        QTest::newRow("a header alone") << whole.left(40) << "damaged";
    }

    void headersThatClaimTooMuchAreRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QVERIFY(TestPictures::writeFile(path("bad.heic"), file));
        QVERIFY(TestPictures::writeFile(path("good.heic"), makeHeif(quadrants({32, 32}))));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(m_notices.skipped.size(), 1);
        QCOMPARE(m_notices.skipped.at(0).name, QStringLiteral("bad.heic"));
        QVERIFY2(m_notices.skipped.at(0).reason.contains(reason), qPrintable(m_notices.skipped.at(0).reason));
        QVERIFY(QFileInfo::exists(path("vimbrel/web/good.heic.jpg")));
    }

    // Full chroma, deeper samples and alpha cost more a pixel while they
    // decode (7 bytes a pixel at 8 bits and 4:2:0, 10 at 4:4:4, 18 at 10
    // bits, 13 with alpha); the header's estimate refuses them at a budget
    // that the plain photo fits in.
    void deepAndTransparentCostMore_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<bool>("refused");
        const QImage photo = quadrants({96, 64});
        const qint64 pixels = 96 * 64;
        HeifRecipe deep;
        deep.bits = 10;
        QTest::newRow("8 bits, at its cost") << makeHeif(photo) << pixels * 7 << false;
        QTest::newRow("8 bits, a byte short") << makeHeif(photo) << pixels * 7 - 1 << true;
        QTest::newRow("10 bits, at the 8-bit cost twice") << makeHeif(photo, deep) << pixels * 14 << true;
        QTest::newRow("10 bits, at its cost") << makeHeif(photo, deep) << pixels * 18 << false;
        HeifRecipe full;
        full.chroma444 = true;
        QTest::newRow("4:4:4, at the 4:2:0 cost") << makeHeif(photo, full) << pixels * 9 << true;
        QTest::newRow("4:4:4, at its cost") << makeHeif(photo, full) << pixels * 10 << false;
        HeifRecipe alpha;
        alpha.av1 = true;
        QTest::newRow("alpha, at the plain cost") << makeHeif(photo.convertToFormat(QImage::Format_ARGB32), alpha) << pixels * 12 << true;
        QTest::newRow("alpha, at its cost") << makeHeif(photo.convertToFormat(QImage::Format_ARGB32), alpha) << pixels * 13 << false;
    }

    void deepAndTransparentCostMore()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, budget);
        QFETCH(bool, refused);
        FailingBytes bytes(file, FailingBytes::Fail, 1000000);
        const HeifHeader header = readHeifHeader(bytes, budget);
        QCOMPARE(header.overBudget, refused);
        QCOMPARE(header.problem.contains("Decoding it would take"), refused);
    }

    // libheif asserts that a read succeeds: a stop, a failing disk or a file
    // that shrank must end the decode with the reason, never the program.
    void aStopOrAFailedReadEndsTheDecode_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("reason");
        QTest::newRow("stopped before it begins") << int(FailingBytes::Stop) << 1 << "";
        QTest::newRow("stopped between tiles") << int(FailingBytes::Stop) << 30 << "";
        QTest::newRow("the disk fails between tiles") << int(FailingBytes::Fail) << 30 << "It could not be read: Input/output error.";
        QTest::newRow("the file shrank between tiles") << int(FailingBytes::Shrink) << 30 << "It could not be read: the file became shorter while it was read.";
        QTest::newRow("the disk fails in the header") << int(FailingBytes::Fail) << 3 << "It could not be read: Input/output error.";
    }

    void aStopOrAFailedReadEndsTheDecode()
    {
        QFETCH(int, event);
        QFETCH(int, at);
        QFETCH(QString, reason);
        HeifGrid grid;
        grid.rows = 8;
        grid.columns = 8;
        FailingBytes whole(makeHeifGrid(quadrants({64, 64}), grid), FailingBytes::Fail, 1000000);
        const qint64 reads = (decodeHeif(whole, {}), whole.reads);
        QVERIFY2(reads > at + 20, qPrintable(QString::number(reads))); // the event comes among the tiles' reads
        FailingBytes bytes(makeHeifGrid(quadrants({64, 64}), grid), FailingBytes::Event(event), at);
        HeifLimits limits;
        limits.stop = &bytes.stop;
        const HeifDecoded decoded = decodeHeif(bytes, limits);
        QVERIFY(decoded.image.isNull());
        QCOMPARE(decoded.stopped, event == FailingBytes::Stop);
        QCOMPARE(decoded.problem, reason);
        QCOMPARE(bytes.reads, at); // nothing read after it
    }

    // Converted once: a re-run rewrites nothing, with copies or with the
    // whole photo copied because no browser shows it.
    void rerunRewritesNothing_data()
    {
        QTest::addColumn<int>("webSize");
        QTest::newRow("copies of 2048") << 2048;
        QTest::newRow("no copies: the whole photo") << 0;
    }

    void rerunRewritesNothing()
    {
        QFETCH(int, webSize);
        QVERIFY(TestPictures::writeFile(path("a.heic"), makeHeif(quadrants({300, 200}))));
        QVERIFY(TestPictures::writeFile(path("b.jpg"), TestPictures::jpeg(300, 200)));
        QCOMPARE(runAlbum(webSize), RunOutcome::Completed);
        QCOMPARE(albumImage("web", "a.heic").size(), QSize(300, 200));
        QCOMPARE(QFileInfo::exists(path("vimbrel/web/b.jpg.jpg")), webSize > 0);
        const QDateTime made = QFileInfo(path("vimbrel/web/a.heic.jpg")).lastModified();
        QTest::qWait(20);
        QCOMPARE(runAlbum(webSize), RunOutcome::Completed);
        QCOMPARE(QFileInfo(path("vimbrel/web/a.heic.jpg")).lastModified(), made);
        // Nothing was made again either: a copy made again of the same bytes would keep its time.
        QCOMPARE(m_notices.thumbnails, QList<qint64>{2});
    }

    // The classic pages list what they always listed; the gallery's window counts the photos.
    void onlyTheAlbumTakesPhonePhotos()
    {
        QVERIFY(TestPictures::writeFile(path("a.heic"), makeHeif(quadrants({32, 32}))));
        QVERIFY(TestPictures::writeFile(path("b.heif.jpg"), makeHeif(quadrants({32, 32}))));
        QVERIFY(TestPictures::writeFile(path("c.gif"), TestPictures::gif(8, 8)));
        QCOMPARE(listPictures(m_temp->path()).pictures.size(), 2);
        QCOMPARE(listPictures(m_temp->path(), nullptr, Candidates::Album).pictures.size(), 3);
        QCOMPARE(runAlbum(2048, PageStyle::Classic), RunOutcome::Completed);
        QVERIFY(!TestPictures::readFile(path("index1.htm")).contains("heic"));
        QCOMPARE(m_notices.skipped.size(), 1); // the HEIF behind a JPEG's name, as before
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY(m_notices.skipped.isEmpty());
        QCOMPARE(m_notices.readCount, 3);
    }
};

QTEST_GUILESS_MAIN(HeifTest)
#include "tst_heif.moc"
