// Gallery pages with thumbnails: the pages, the thumbnails, re-runs and links.
#include "album/AlbumImages.h"
#include "common/SettingsStore.h"
#include "formats/DecodeBudget.h"
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"
#include "system/FolderHandle.h"
#include "system/PictureFolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <array>
#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct PageThumbnail {
    QString link;   // the href around the thumbnail
    QString source; // the thumbnail's src, relative to the page
    QString twice;  // its 2x candidate in srcset, or empty
    QSize size;     // width and height the page gives
};

QList<PageThumbnail> thumbnailsOf(const QByteArray &page)
{
    static const QRegularExpression figure(QStringLiteral(
        "<a href=\"([^\"]*)\"><img src=\"([^\"]*)\"(?: srcset=\"([^\"]*) 2x\")? width=\"(\\d+)\" height=\"(\\d+)\" "
        "alt=\"[^\"]*\" loading=\"lazy\"></a>"));
    QList<PageThumbnail> found;
    for (auto it = figure.globalMatch(QString::fromUtf8(page)); it.hasNext();) {
        const auto match = it.next();
        found.append({match.captured(1), match.captured(2), match.captured(3),
                      QSize(match.captured(4).toInt(), match.captured(5).toInt())});
    }
    return found;
}

// Smooth bands in three directions: detail a thumbnailer must keep, no noise it cannot.
QByteArray patternJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(128 + int(100 * std::sin(x / 37.0)), 128 + int(100 * std::cos(y / 29.0)),
                           128 + int(100 * std::sin((x + y) / 53.0)));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.write(image);
    return bytes;
}

double psnr(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            for (const int d : {qRed(p[col]) - qRed(q[col]), qGreen(p[col]) - qGreen(q[col]), qBlue(p[col]) - qBlue(q[col])})
                sum += double(d) * d;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

QDateTime modified(const QString &path)
{
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

} // namespace

class GalleryTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString &name) const { return m_temp->filePath(name); }
    QString thumbnail(const QString &picture) const { return path(QStringLiteral("vimbrel/small/") + picture + ".jpg"); }

    RunOutcome runGallery(PageFiles::Recorder &notices, int pageSize = PageOptions::defaultGalleryPageSize)
    {
        PageOptions options;
        options.style = PageStyle::Gallery;
        options.galleryPageSize = pageSize;
        return runGeneration(m_temp->path(), notices, nullptr, nullptr, options);
    }

    void writePictures(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(TestPictures::writeFile(path(name), TestPictures::jpeg(300 + 10 * i, 200)));
        }
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }

    void cleanup() { m_temp.reset(); }

    void pagesPassTidy()
    {
        const QString tidy = QStandardPaths::findExecutable(QStringLiteral("tidy"));
        if (tidy.isEmpty())
            QFAIL("tidy is not installed (scripts/setup.sh installs it)");
        writePictures(5);
        QVERIFY(TestPictures::writeFile(path(QString::fromUtf8("été & <co\"l>.gif")), TestPictures::gif(40, 30)));
        QVERIFY(TestPictures::writeFile(path("50% #1?.jpg"), TestPictures::jpeg(20, 20)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices, 3), RunOutcome::Completed);
        const QMap<QString, QByteArray> pages = PageFiles::pages(m_temp->path());
        QCOMPARE(pages.keys(), QStringList({"index1.htm", "index2.htm", "index3.htm"}));
        for (const QString &name : pages.keys()) {
            QProcess process;
            process.start(tidy, {"-e", "-q", path(name)});
            QVERIFY(process.waitForFinished(30000));
            // Debian 12's tidy (5.6) predates loading="lazy", standard HTML since 2020, and
            // calls it proprietary; that one warning is expected, any other fails.
            QStringList said = QString::fromLocal8Bit(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
            said.removeIf([](const QString &line) { return line.endsWith(R"(Warning: <img> proprietary attribute "loading")"); });
            QVERIFY2(process.exitCode() <= 1 && said.isEmpty(), qPrintable(name + ": tidy says\n" + said.join('\n')));
        }
        QVERIFY(pages["index1.htm"].contains("<title>" + QFileInfo(m_temp->path()).fileName().toUtf8()));
        QVERIFY(pages["index2.htm"].contains("href=\"index1.htm\""));
        QVERIFY(pages["index2.htm"].contains("href=\"index3.htm\""));
        QVERIFY(pages["index2.htm"].contains("Page 2 of 3"));
    }

    // A browser reads "c:" as a scheme and trims a leading space: both encoded.
    void schemeLikeNamesLinkToTheirFiles()
    {
        for (const char *name : {"c:photo.jpg", "http:x.gif", " lead.gif"})
            QVERIFY(TestPictures::writeFile(path(QString::fromUtf8(name)), TestPictures::gif(12, 8)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices, 48), RunOutcome::Completed);
        const QByteArray page = PageFiles::pages(m_temp->path()).value(QStringLiteral("index1.htm"));
        for (const char *href : {"href=\"vimbrel/pages/c%3Aphoto.jpg.htm\"", "href=\"vimbrel/pages/http%3Ax.gif.htm\"",
                                 "href=\"vimbrel/pages/%20lead.gif.htm\""})
            QVERIFY2(page.contains(href), href);
        QVERIFY(!page.contains("href=\"c:"));
        const QByteArray picture = TestPictures::readFile(path("vimbrel/pages/c:photo.jpg.htm"));
        QVERIFY2(picture.contains("href=\"../../c%3Aphoto.jpg\" download"), picture.constData());
    }

    void thumbnailsMatchTheirPages()
    {
        writePictures(3);
        QVERIFY(TestPictures::writeFile(path("small.gif"), TestPictures::gif(40, 30)));
        QVERIFY(TestPictures::writeFile(path("turned.jpg"),
                                        TestPictures::withExifOrientation(TestPictures::jpeg(400, 300), 6)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        const QList<PageThumbnail> shown = thumbnailsOf(TestPictures::readFile(path("index1.htm")));
        QCOMPARE(shown.size(), 5);
        for (const PageThumbnail &entry : shown) {
            QVERIFY(entry.source.startsWith("vimbrel/small/"));
            QCOMPARE(QImageReader(path(entry.source)).size(), entry.size);
            QVERIFY(QFile::exists(path(entry.link)));
            QVERIFY(entry.size.width() <= 256 && entry.size.height() <= 256);
            // Twice the pixels where the picture has them, as many as it has where it has not.
            QImageReader original(path(entry.link.section('/', -1).chopped(4)));
            original.setAutoTransform(true);
            const QSize shown = original.read().size();
            const QSize twice = entry.twice.isEmpty() ? entry.size : QImageReader(path(entry.twice)).size();
            QCOMPARE(twice, fittedSize(shown, 512));
            QCOMPARE(entry.twice.isEmpty(), twice == entry.size);
        }
        QCOMPARE(QImageReader(thumbnail("small.gif")).size(), QSize(40, 30)); // never enlarged
        QCOMPARE(QImageReader(thumbnail("turned.jpg")).size(), QSize(192, 256)); // upright, so portrait
        QCOMPARE(QImageReader(thumbnail("p00.jpg")).size(), QSize(256, 171));
        QCOMPARE(notices.completions, 1);
    }

    void thumbnailsAreFaithful_data()
    {
        QTest::addColumn<QString>("content"); // how ImageMagick draws the photo, or "bands"
        QTest::addColumn<int>("orientation");
        QTest::newRow("bands, upright") << "bands" << 1;
        QTest::newRow("bands, orientation 6") << "bands" << 6;
        QTest::newRow("bands, orientation 3") << "bands" << 3;
        // Texture at every scale, as foliage or gravel has.
        QTest::newRow("plasma") << "plasma:fractal" << 1;
        QTest::newRow("plasma, orientation 8") << "plasma:fractal" << 8;
        // Sharp edges. (A drawing of one-pixel lines is no photograph: at a
        // sixth of its size every filter aliases it its own way, and
        // ImageMagick's box filter itself scores 23 dB against its Lanczos.)
        QTest::newRow("checkerboard") << "pattern:checkerboard" << 1;
    }

    void thumbnailsAreFaithful()
    {
        QFETCH(QString, content);
        QFETCH(int, orientation);
        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (convert.isEmpty())
            QFAIL("ImageMagick's convert is not installed");
        QByteArray photo = patternJpeg(1600, 1200);
        if (content != QLatin1String("bands")) {
            QCOMPARE(QProcess::execute(convert, {"-size", "1600x1200", "-seed", "7", content, "-quality", "92",
                                                 path("drawn.jpg")}), 0);
            photo = TestPictures::readFile(path("drawn.jpg"));
            QVERIFY(QFile::remove(path("drawn.jpg")));
        }
        QVERIFY(TestPictures::writeFile(path("photo.jpg"), TestPictures::withExifOrientation(photo, orientation)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        const QImage made(thumbnail("photo.jpg"));
        QVERIFY(!made.isNull());
        const QString size = QStringLiteral("%1x%2!").arg(made.width()).arg(made.height());
        QCOMPARE(QProcess::execute(convert, {path("photo.jpg"), "-auto-orient", "-resize", size, path("ref.png")}), 0);
        const QImage reference(path("ref.png"));
        QCOMPARE(reference.size(), made.size());
        const double decibels = psnr(made, reference);
        QVERIFY2(decibels >= 30, qPrintable(QStringLiteral("PSNR %1 dB").arg(decibels)));
    }

    void animatedGifGivesItsFirstFrame()
    {
        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (convert.isEmpty())
            QFAIL("ImageMagick's convert is not installed");
        QCOMPARE(QProcess::execute(convert, {"-delay", "10", "-size", "60x40", "xc:red", "xc:blue", path("anim.gif")}), 0);
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        const QImage still(thumbnail("anim.gif"));
        QCOMPARE(still.size(), QSize(60, 40));
        QVERIFY(qRed(still.pixel(30, 20)) > 200 && qBlue(still.pixel(30, 20)) < 60);
        QCOMPARE(thumbnailsOf(TestPictures::readFile(path("index1.htm"))).first().link, QStringLiteral("vimbrel/pages/anim.gif.htm"));
        // Its page shows the animation itself.
        QVERIFY(TestPictures::readFile(path("vimbrel/pages/anim.gif.htm")).contains("<img src=\"../../anim.gif\""));
    }

    void rerunTouchesOnlyNewAndChanged()
    {
        writePictures(4);
        QVERIFY(QDir(m_temp->path()).mkpath("vimbrel/small"));
        QVERIFY(TestPictures::writeFile(path("vimbrel/small/mine.jpg"), "the user's own file"));
        PageFiles::Recorder first;
        QCOMPARE(runGallery(first), RunOutcome::Completed);
        // Marks every thumbnail with an old time: a thumbnail made again gets a new one.
        const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-10);
        for (int i = 0; i < 4; ++i) {
            QFile file(thumbnail(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'))));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QVERIFY(TestPictures::writeFile(path("p01.jpg"), TestPictures::jpeg(200, 400)));    // changed
        QVERIFY(QFile::remove(path("p02.jpg")));                                           // gone
        QVERIFY(TestPictures::writeFile(path("p09.jpg"), TestPictures::jpeg(100, 100)));    // new

        PageFiles::Recorder second;
        QCOMPARE(runGallery(second), RunOutcome::Completed);
        QCOMPARE(modified(thumbnail("p00.jpg")), old);
        QCOMPARE(modified(thumbnail("p03.jpg")), old);
        QVERIFY(modified(thumbnail("p01.jpg")) > old);
        QCOMPARE(QImageReader(thumbnail("p01.jpg")).size(), QSize(128, 256));
        QVERIFY(QFile::exists(thumbnail("p09.jpg")));
        QVERIFY(!QFile::exists(thumbnail("p02.jpg")));
        QCOMPARE(TestPictures::readFile(path("vimbrel/small/mine.jpg")), QByteArray("the user's own file"));
        QStringList expected{"mine.jpg", "p00.jpg.jpg", "p01.jpg.jpg", "p03.jpg.jpg", "p09.jpg.jpg"};
        QCOMPARE(QDir(path("vimbrel/small")).entryList(QDir::Files | QDir::Hidden), expected);
        QCOMPARE(QDir(path("vimbrel/pages")).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"p00.jpg.htm", "p01.jpg.htm", "p03.jpg.htm", "p09.jpg.htm"}));
        QCOMPARE(thumbnailsOf(TestPictures::readFile(path("index1.htm"))).size(), 4);
    }

    // An index page is written again only when what it shows changed or its
    // file is no longer the one the album wrote: each page's file is known
    // by its number and times, so a classic run in between, an edit or a
    // page removed brings the album's page back.
    void indexPagesWrittenOnlyWhenTheyChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QList<bool>>("written"); // index1.htm .. index3.htm
        QTest::newRow("nothing") << "" << QList<bool>{false, false, false};
        QTest::newRow("a card on page 2") << "picture" << QList<bool>{false, true, false};
        QTest::newRow("a classic run between: its one page") << "classic" << QList<bool>{true, false, false};
        QTest::newRow("page 3 edited, its length kept") << "edit" << QList<bool>{false, false, true};
        QTest::newRow("page 1 removed") << "remove" << QList<bool>{true, false, false};
    }

    void indexPagesWrittenOnlyWhenTheyChange()
    {
        QFETCH(QString, change);
        QFETCH(QList<bool>, written);
        writePictures(7);
        PageFiles::Recorder first;
        QCOMPARE(runGallery(first, 3), RunOutcome::Completed);
        const QMap<QString, QByteArray> made = PageFiles::pages(m_temp->path());
        QCOMPARE(made.size(), 3);
        // A page written again is another file: a new number, new times.
        const auto identity = [this](int page) {
            return FolderHandle::open(m_temp->path()).stampOf(QStringLiteral("index%1.htm").arg(page)).value_or(FileStamp{});
        };
        std::array<FileStamp, 3> before{identity(1), identity(2), identity(3)};
        if (change == u"picture"_s) {
            QVERIFY(TestPictures::writeFile(path(u"p04.jpg"_s), TestPictures::jpeg(120, 90)));
        } else if (change == u"classic"_s) {
            PageFiles::Recorder classic;
            QCOMPARE(runGeneration(m_temp->path(), classic, nullptr, nullptr, PageOptions{}), RunOutcome::Completed);
            before = {identity(1), identity(2), identity(3)};
        } else if (change == u"edit"_s) {
            QByteArray text = TestPictures::readFile(path(u"index3.htm"_s));
            text[text.indexOf("<h1>") + 4] = '#';
            QVERIFY(TestPictures::writeFile(path(u"index3.htm"_s), text));
        } else if (change == u"remove"_s) {
            QVERIFY(QFile::remove(path(u"index1.htm"_s)));
        }
        const auto albumIndex = [this] { return FolderHandle::open(path(u"vimbrel"_s)).stampOf(u"index.txt"_s); };
        const std::optional<FileStamp> indexBefore = albumIndex();
        PageFiles::Recorder second;
        QCOMPARE(runGallery(second, 3), RunOutcome::Completed);
        if (change.isEmpty())
            QVERIFY(indexBefore && albumIndex() == indexBefore); // nothing at all is written
        for (int page = 1; page <= 3; ++page)
            QVERIFY2((identity(page) != before[std::size_t(page - 1)]) == written.at(page - 1), qPrintable(QString::number(page)));
        if (change != u"picture"_s)
            QCOMPARE(PageFiles::pages(m_temp->path()), made); // each as the album made it
    }

    void deletedThumbnailIsMadeAgain()
    {
        writePictures(2);
        PageFiles::Recorder first;
        QCOMPARE(runGallery(first), RunOutcome::Completed);
        QVERIFY(QFile::remove(thumbnail("p00.jpg")));
        PageFiles::Recorder second;
        QCOMPARE(runGallery(second), RunOutcome::Completed);
        QVERIFY(QFile::exists(thumbnail("p00.jpg")));
    }

    // Something in the album's way, a link or a file where a folder or an
    // image goes, ends the run naming it: it stays as it was, nothing is
    // written through it, and no page is written.
    void somethingInTheAlbumsWayIsRefused_data()
    {
        QTest::addColumn<QString>("inTheWay"); // from the picture folder
        QTest::addColumn<bool>("link");        // to a file or folder elsewhere; else a file of its own
        QTest::addColumn<QString>("reason");
        QTest::newRow("a link named vimbrel") << "vimbrel" << true << "symbolic link";
        QTest::newRow("a file named vimbrel") << "vimbrel" << false << "not a folder";
        QTest::newRow("a link at a thumbnail's name") << "vimbrel/small/p00.jpg.jpg" << true << "symbolic link";
    }

    void somethingInTheAlbumsWayIsRefused()
    {
        QFETCH(QString, inTheWay);
        QFETCH(bool, link);
        QFETCH(QString, reason);
        writePictures(2);
        QTemporaryDir elsewhere;
        const QString target = inTheWay == "vimbrel" ? elsewhere.path() : elsewhere.filePath("precious.txt");
        if (target != elsewhere.path())
            QVERIFY(TestPictures::writeFile(target, "keep"));
        QVERIFY(QDir(m_temp->path()).mkpath(QFileInfo(path(inTheWay)).path()));
        QVERIFY(link ? QFile::link(target, path(inTheWay)) : TestPictures::writeFile(path(inTheWay), "a file"));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), 1);
        QVERIFY2(notices.failures.first().contains(reason) && notices.failures.first().contains(QDir::toNativeSeparators(path(inTheWay))),
                 qPrintable(notices.failures.first()));
        QCOMPARE(QFileInfo(path(inTheWay)).isSymLink(), link);
        if (!link)
            QCOMPARE(TestPictures::readFile(path(inTheWay)), QByteArray("a file"));
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
                 target == elsewhere.path() ? QStringList() : QStringList{"precious.txt"});
        QCOMPARE(TestPictures::readFile(elsewhere.filePath("precious.txt")), QByteArray(target == elsewhere.path() ? "" : "keep"));
        QVERIFY(!QFile::exists(path("index1.htm")));
    }

    // The album's folders are opened once: swapped for a link afterwards,
    // they cannot lead an image elsewhere; it lands in the folder opened.
    void thumbnailFolderSwappedForALinkLeadsNowhere()
    {
        writePictures(1);
        const FolderHandle folder = FolderHandle::open(m_temp->path());
        const FolderHandle album = folder.subFolder("vimbrel", true);
        const AlbumFolders images{album.subFolder("small", true), album.subFolder("large", true), album.subFolder("web", true)};
        QVERIFY(QDir(m_temp->path()).rename("vimbrel", "moved"));
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), path("vimbrel")));
        DecodeBudget budget(64 << 20);
        const ImagesMade made = makeAlbumImages(PictureFolder(folder), "p00.jpg", images, {}, budget);
        QVERIFY2(made.error.isEmpty(), qPrintable(made.error));
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        for (const char *made : {"moved/small/p00.jpg.jpg", "moved/large/p00.jpg.jpg", "moved/web/p00.jpg.jpg"})
            QVERIFY2(QFile::exists(path(made)), made);
    }

    // A name at the file system's limit still gets a thumbnail: its
    // temporary needs room for seven more bytes.
    void longestNamesGetThumbnails()
    {
        const QString longest = QString(247, QLatin1Char('b')) + ".gif"; // its thumbnail's name would be 255 bytes
        const QString fits = QString(240, QLatin1Char('c')) + ".gif";
        QVERIFY(TestPictures::writeFile(path(longest), TestPictures::gif(20, 10)));
        QVERIFY(TestPictures::writeFile(path(fits), TestPictures::gif(10, 20)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        QCOMPARE(notices.skipped.size(), 0);
        const QList<PageThumbnail> shown = thumbnailsOf(TestPictures::readFile(path("index1.htm")));
        QCOMPARE(shown.size(), 2);
        for (const PageThumbnail &thumbnail : shown)
            QVERIFY2(QImageReader(path(QUrl::fromPercentEncoding(thumbnail.source.toUtf8()))).size().isValid(),
                     qPrintable(thumbnail.source));
        QVERIFY(QFile::exists(thumbnail(fits)));
        // Gone, its files named by a digest go too ("2f5275bb05…": digits from 0).
        QVERIFY(QFile::exists(path("vimbrel/small/" + thumbnailName(longest))) && thumbnailName(longest).contains('0'));
        QVERIFY(QFile::remove(path(longest)));
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        for (const QString &gone : {"vimbrel/small/" + thumbnailName(longest), "vimbrel/pages/" + pageName(longest)})
            QVERIFY2(!QFile::exists(path(gone)), qPrintable(gone));
    }

    // What a killed run leaves in the thumbnail folder, its temporaries, goes;
    // names that only look alike are the user's and stay.
    void leftoverTemporariesAreCleared()
    {
        writePictures(1);
        QVERIFY(QDir(m_temp->path()).mkpath("vimbrel/small") && QDir(m_temp->path()).mkpath("vimbrel/pages"));
        const QStringList leftovers{"p00.jpg.jpg.Ab12Cd", "gone.GIF.jpg.zzzzzz", "gone.GIF.htm.zzzzzz",
                                    "0123456789abcdef0123456789abcdef01234567.jpg.AAAAAA"};
        const QStringList kept{"holiday.jpg.backup", "p00.jpg.jpg.Ab12Cd.txt", "p00.jpg.jpg.Ab12", "notes.txt.abcdef"};
        for (const QString folder : {"vimbrel/small/", "vimbrel/pages/"}) {
            for (const QString &name : leftovers + kept)
                QVERIFY(TestPictures::writeFile(path(folder + name), "x"));
        }
        QVERIFY(TestPictures::writeFile(path("vimbrel/index.txt.q1W2e3"), "x"));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        QStringList expected = kept + QStringList{"p00.jpg.jpg"};
        expected.sort();
        QCOMPARE(QDir(path("vimbrel/small")).entryList(QDir::Files | QDir::Hidden), expected);
        expected = kept + QStringList{"p00.jpg.htm"};
        expected.sort();
        QCOMPARE(QDir(path("vimbrel/pages")).entryList(QDir::Files | QDir::Hidden), expected);
        QCOMPARE(QDir(path("vimbrel")).entryList(QDir::Files | QDir::Hidden), QStringList{"index.txt"});
    }

    void badPicturesAreSkippedAndReported()
    {
        writePictures(1);
        // A header that measures, with no picture behind it.
        QVERIFY(TestPictures::writeFile(path("cut.jpg"), TestPictures::jpeg(500, 400).left(400)));
        PageFiles::Recorder notices;
        QCOMPARE(runGallery(notices), RunOutcome::Completed);
        QCOMPARE(thumbnailsOf(TestPictures::readFile(path("index1.htm"))).size(), 1);
        QCOMPARE(notices.skipped.size(), 1);
        QCOMPARE(notices.skipped.first().name, QStringLiteral("cut.jpg"));
        QVERIFY(!QFile::exists(thumbnail("cut.jpg")));
    }

    void classicPagesUnchangedByTheOption()
    {
        writePictures(12);
        PageFiles::Recorder classic;
        QCOMPARE(runGeneration(m_temp->path(), classic), RunOutcome::Completed);
        const QMap<QString, QByteArray> before = PageFiles::pages(m_temp->path());
        QCOMPARE(before.size(), 2);
        QVERIFY(before.first().startsWith("<!DOCTYPE HTML PUBLIC"));

        PageFiles::Recorder gallery;
        QCOMPARE(runGallery(gallery), RunOutcome::Completed);
        QVERIFY(PageFiles::pages(m_temp->path()).value("index1.htm").startsWith("<!DOCTYPE html>"));

        PageFiles::Recorder again;
        QCOMPARE(runGeneration(m_temp->path(), again, nullptr, nullptr, PageOptions{}), RunOutcome::Completed);
        QCOMPARE(PageFiles::pages(m_temp->path()), before);
    }

    void pageStyleSetting()
    {
        const QString ini = path("settings.ini");
        QSettingsStore store(ini);
        QCOMPARE(store.pageStyle(), PageStyle::Classic);
        QVERIFY(store.savePath("/pictures"));
        QVERIFY(store.savePageStyle(PageStyle::Gallery));
        QCOMPARE(QSettingsStore(ini).pageStyle(), PageStyle::Gallery);
        QCOMPARE(QSettingsStore(ini).path(), QStringLiteral("/pictures"));
        QVERIFY(store.savePageStyle(PageStyle::Classic));
        QCOMPARE(QSettingsStore(ini).pageStyle(), PageStyle::Classic);
        QVERIFY(TestPictures::writeFile(ini, "[Divers]\nPath=/x\nPageStyle=Mosaic\n"));
        QCOMPARE(QSettingsStore(ini).pageStyle(), PageStyle::Classic);
        QCOMPARE(QSettingsStore(ini).path(), QStringLiteral("/x"));
    }

    void fittedSizes_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("fitted");
        QTest::newRow("landscape") << QSize(4000, 3000) << QSize(256, 192);
        QTest::newRow("portrait") << QSize(3000, 4000) << QSize(192, 256);
        QTest::newRow("small") << QSize(100, 20) << QSize(100, 20);
        QTest::newRow("thin") << QSize(10000, 1) << QSize(256, 1);
    }

    void fittedSizes()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, fitted);
        QCOMPARE(fittedSize(size, 256), fitted);
    }

    void longNamesGetADigest()
    {
        const QString name = QString(250, QLatin1Char('a')) + ".jpg";
        const QString made = thumbnailName(name);
        // The thumbnail is written through a temporary that adds seven bytes.
        QVERIFY(made.toUtf8().size() + 7 <= 255);
        QVERIFY(made.endsWith(".jpg"));
        QCOMPARE(thumbnailName("x.gif"), QStringLiteral("x.gif.jpg"));
        QCOMPARE(pageName(name), made.chopped(4) + ".htm");
    }
};

QTEST_GUILESS_MAIN(GalleryTest)
#include "tst_gallery.moc"
