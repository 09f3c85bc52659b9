// The gallery's album: what a picture says of itself, the order, the web
// copies (size, orientation, colours, no metadata), the picture pages, and
// re-runs that remake only what changed.
#include "album/AlbumIndex.h"
#include "album/GalleryPage.h"
#include "album/NaturalOrder.h"
#include "common/ReadableBytes.h"
#include "formats/JpegDecoding.h"
#include "formats/PictureFacts.h"
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"
#include "system/FolderHandle.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QByteArray withExif(const QByteArray &jpeg, const QStringList &tags)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("p.jpg");
    TestPictures::writeFile(path, jpeg);
    QProcess::execute(QStringLiteral("exiftool"), QStringList{"-q", "-overwrite_original"} + tags + QStringList{path});
    return TestPictures::readFile(path);
}

// A picture in Adobe RGB: its colours differ from the same numbers in sRGB.
QByteArray adobeRgbJpeg(QRgb colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    image.setColorSpace(QColorSpace::AdobeRgb);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    writer.write(image);
    return bytes;
}

// Every file of the album with its modification time and file number: what a re-run must leave alone.
QMap<QString, QString> albumFiles(const QString &folder)
{
    QMap<QString, QString> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.insert(info.filePath(), QStringLiteral("%1 %2").arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size()));
    }
    return files;
}

} // namespace

class AlbumTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    QString path(const QString &name) const { return m_temp->filePath(name); }

    RunOutcome runAlbum(int webSize = PageOptions::defaultWebSize, PictureOrder order = PictureOrder::Name,
                        int pageSize = PageOptions::defaultGalleryPageSize)
    {
        PageOptions options;
        options.style = PageStyle::Gallery;
        options.webSize = webSize;
        options.order = order;
        options.galleryPageSize = pageSize;
        PageFiles::Recorder notices;
        return runGeneration(m_temp->path(), notices, nullptr, nullptr, options);
    }

    // The pictures' names as the chain of picture pages leads through them.
    QStringList chain()
    {
        QStringList names;
        const QByteArray index = TestPictures::readFile(path("index1.htm"));
        const qsizetype first = index.indexOf("href=\"vimbrel/pages/");
        QString page = QUrl::fromPercentEncoding(index.mid(first + 20, index.indexOf('"', first + 20) - first - 20));
        while (!page.isEmpty() && names.size() < 100) {
            const QByteArray bytes = TestPictures::readFile(path("vimbrel/pages/" + page));
            const qsizetype h1 = bytes.indexOf("<h1>") + 4;
            names.append(QString::fromUtf8(bytes.mid(h1, bytes.indexOf("</h1>") - h1)));
            const qsizetype next = bytes.indexOf("id=\"next\" href=\"");
            page = next < 0 ? QString() : QUrl::fromPercentEncoding(bytes.mid(next + 16, bytes.indexOf('"', next + 16) - next - 16));
        }
        return names;
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
        QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(), "exiftool is missing (scripts/setup.sh test)");
    }

    void cleanup() { m_temp.reset(); }

    void naturalOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::newRow("2 before 10") << "IMG_2.jpg" << "IMG_10.jpg";
        QTest::newRow("9 before 10") << "p9.gif" << "p10.gif";
        QTest::newRow("case ignored") << "apple.jpg" << "Banana.jpg";
        QTest::newRow("leading zeros equal value, then exact") << "IMG_02.jpg" << "IMG_2.jpg";
        QTest::newRow("shorter first") << "a.jpg" << "a1.jpg";
        QTest::newRow("longer number, larger") << "x99999999999999999999.jpg" << "x100000000000000000000.jpg";
        QTest::newRow("same letters, case breaks the tie") << "A.jpg" << "a.jpg";
        QTest::newRow("case folded outside ASCII") << QStringLiteral("\u00E9clair.jpg") << QStringLiteral("\u00C9clairs.jpg");
        QTest::newRow("digits outside ASCII") << QStringLiteral("p\u0662.jpg") << QStringLiteral("p\u0661\u0660.jpg");
        QTest::newRow("a number every other character") << "1.2.3.4.5.6.7.8.9" << "1.2.3.4.5.6.7.8.10";
    }

    void naturalOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QVERIFY(naturalLess(a, b));
        QVERIFY(!naturalLess(b, a));
        QVERIFY(!naturalLess(a, a));
    }

    // Sizes as a file manager writes them, at the boundaries where the unit or the decimal changes.
    void sizesForPeople_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0ll << "0 bytes";
        QTest::newRow("1") << 1ll << "1 byte";
        QTest::newRow("999") << 999ll << "999 bytes";
        QTest::newRow("1000") << 1000ll << "1.0 kB";
        QTest::newRow("9949") << 9949ll << "9.9 kB";
        QTest::newRow("9950") << 9950ll << "10 kB";
        QTest::newRow("999499") << 999499ll << "999 kB";
        QTest::newRow("999500") << 999500ll << "1.0 MB";
        QTest::newRow("1440000") << 1440000ll << "1.4 MB";
        QTest::newRow("3.2e9") << 3'200'000'000ll << "3.2 GB";
    }

    void sizesForPeople()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(readableBytes(bytes), text);
    }

    // What the picture page tells of a photograph, from what its camera wrote.
    void facts_data()
    {
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QStringList>("shown"); // texts its page holds
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("a camera's facts") << QStringList{"-Make=Canon", "-Model=Canon EOS 5D", "-ExposureTime=0.004",
                                                         "-FNumber=2.8", "-ISO=200", "-FocalLength=35",
                                                         "-DateTimeOriginal=2026:07:14 18:03:22"}
                                          << QStringList{"14 July 2026, 18:03", "Canon EOS 5D", "1/250 s, f/2.8, ISO 200", "35 mm"}
                                          << QStringList{"Canon Canon"};
        QTest::newRow("just under a second") << QStringList{"-ExposureTime=0.95"} << QStringList{"0.95 s"} << QStringList{"1/1 s"};
        QTest::newRow("long exposure, whole f-number") << QStringList{"-ExposureTime=2", "-FNumber=8", "-FocalLength=4.3"}
                                                       << QStringList{"2 s, f/8", "4.3 mm"} << QStringList{"f/8.0"};
        QTest::newRow("boilerplate gives way to XMP") << QStringList{"-ImageDescription=OLYMPUS DIGITAL CAMERA",
                                                                     "-XMP-dc:Description=At the pier & <friends>"}
                                                      << QStringList{"At the pier &amp; &lt;friends&gt;"}
                                                      << QStringList{"OLYMPUS"};
        QTest::newRow("IPTC caption") << QStringList{"-IPTC:Caption-Abstract=From the tower"}
                                      << QStringList{"<p class=\"caption\">From the tower</p>"} << QStringList{};
        QTest::newRow("blank description") << QStringList{"-ImageDescription=   "} << QStringList{}
                                           << QStringList{"class=\"caption\""};
    }

    void facts()
    {
        QFETCH(QStringList, tags);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        QVERIFY(TestPictures::writeFile(path("p.jpg"), withExif(TestPictures::jpeg(120, 90), tags)));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/p.jpg.htm"));
        for (const QString &text : shown)
            QVERIFY2(page.contains(text.toUtf8()), qPrintable(text));
        for (const QString &text : absent)
            QVERIFY2(!page.contains(text.toUtf8()), qPrintable(text));
        QVERIFY(page.contains("<dt>Size</dt><dd>120 x 90 pixels, "));
        // Read back from the album's index, the facts are the same: the page is left as it is.
        const auto pageFile = [this] { return FolderHandle::open(path("vimbrel/pages")).stampOf(u"p.jpg.htm"_s); };
        const std::optional<FileStamp> written = pageFile();
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY(written && pageFile() == written);
    }

    // The copy: fitted into the web size, never enlarged, upright, in sRGB, and
    // telling nothing of where or who; 0 shows the original itself.
    void webCopies_data()
    {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<int>("webSize");
        QTest::addColumn<QSize>("copy"); // invalid: the page shows the original
        const QByteArray photo = TestPictures::jpeg(1200, 900);
        QTest::newRow("fitted") << photo << 800 << QSize(800, 600);
        QTest::newRow("exactly the web size") << photo << 1200 << QSize(1200, 900);
        QTest::newRow("never enlarged") << photo << 2048 << QSize(1200, 900);
        QTest::newRow("turned upright") << withExif(photo, {"-Orientation#=6", "-GPSLatitude=48.85", "-GPSLatitudeRef=N",
                                                            "-SerialNumber=X123", "-Artist=Someone"})
                                        << 600 << QSize(450, 600);
        QTest::newRow("orientation 4, flipped") << TestPictures::withExifOrientation(photo, 4) << 600 << QSize(600, 450);
        QTest::newRow("orientation 5, transposed") << TestPictures::withExifOrientation(photo, 5) << 600 << QSize(450, 600);
        QTest::newRow("originals shown") << photo << 0 << QSize();
        QTest::newRow("animated GIF shown as itself") << TestPictures::animatedGif(30, 20, 2) << 800 << QSize();
    }

    void webCopies()
    {
        QFETCH(QByteArray, picture);
        QFETCH(int, webSize);
        QFETCH(QSize, copy);
        QVERIFY(TestPictures::writeFile(path("p.jpg"), picture));
        QCOMPARE(runAlbum(webSize), RunOutcome::Completed);
        const QByteArray page = TestPictures::readFile(path("vimbrel/pages/p.jpg.htm"));
        QCOMPARE(QFile::exists(path("vimbrel/web/p.jpg.jpg")), copy.isValid());
        if (!copy.isValid()) {
            QVERIFY(page.contains("<img src=\"../../p.jpg\""));
            return;
        }
        QVERIFY(page.contains("<img src=\"../web/p.jpg.jpg\" width=\"" + QByteArray::number(copy.width()) + "\" height=\""
                              + QByteArray::number(copy.height()) + "\""));
        const QByteArray bytes = TestPictures::readFile(path("vimbrel/web/p.jpg.jpg"));
        QCOMPARE(QImageReader(path("vimbrel/web/p.jpg.jpg")).size(), copy);
        for (const char *told : {"Exif", "GPS", "X123", "Someone", "http://ns.adobe.com"})
            QVERIFY2(!bytes.contains(told), told);
    }

    // A wide-gamut picture looks the same: its colours are converted, not relabelled.
    void coloursKept()
    {
        const QRgb adobe = qRgb(40, 160, 90);
        QVERIFY(TestPictures::writeFile(path("p.jpg"), adobeRgbJpeg(adobe)));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QColor expected = QColorSpace(QColorSpace::AdobeRgb).transformationToColorSpace(QColorSpace::SRgb).map(QColor(adobe));
        for (const char *made : {"vimbrel/web/p.jpg.jpg", "vimbrel/small/p.jpg.jpg"}) {
            const QImage image(path(made));
            QVERIFY(!image.colorSpace().isValid() || image.colorSpace() == QColorSpace::SRgb);
            const QColor got = image.pixelColor(32, 24);
            for (const auto &[a, b] : {std::pair{got.red(), expected.red()}, {got.green(), expected.green()}, {got.blue(), expected.blue()}})
                QVERIFY2(std::abs(a - b) <= 4, qPrintable(QStringLiteral("%1: %2 for %3").arg(made, got.name(), expected.name())));
        }
    }

    // Name order is natural; date order is by the date taken, else the file's
    // time, ties by name; the chain of picture pages covers each once.
    void order_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("name") << int(PictureOrder::Name) << QStringList{"IMG_2.jpg", "img_3.jpg", "IMG_10.jpg", "late.gif"};
        QTest::newRow("date") << int(PictureOrder::Date) << QStringList{"IMG_10.jpg", "late.gif", "IMG_2.jpg", "img_3.jpg"};
    }

    void order()
    {
        QFETCH(int, order);
        QFETCH(QStringList, expected);
        const QByteArray photo = TestPictures::jpeg(40, 30);
        QVERIFY(TestPictures::writeFile(path("IMG_10.jpg"), withExif(photo, {"-DateTimeOriginal=2020:01:01 10:00:00"})));
        QVERIFY(TestPictures::writeFile(path("IMG_2.jpg"), withExif(photo, {"-DateTimeOriginal=2024:05:01 10:00:00"})));
        QVERIFY(TestPictures::writeFile(path("img_3.jpg"), withExif(photo, {"-DateTimeOriginal=2024:05:01 10:00:00"})));
        QVERIFY(TestPictures::writeFile(path("late.gif"), TestPictures::gif(10, 10)));
        QFile gif(path("late.gif"));
        QVERIFY(gif.open(QIODevice::ReadWrite) && gif.setFileTime(QDateTime(QDate(2022, 3, 3), QTime(12, 0)), QFileDevice::FileModificationTime));
        QCOMPARE(runAlbum(PageOptions::defaultWebSize, PictureOrder(order), 2), RunOutcome::Completed);
        QCOMPARE(chain(), expected);
    }

    // Character references in an XMP caption: any character, never a
    // surrogate half, nothing past U+10FFFF, no NUL.
    void xmpCharacterReferences_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("caption");
        QTest::newRow("decimal and hex") << "&#65;&#x42;" << "AB";
        QTest::newRow("NUL") << "a&#0;b" << "ab";
        QTest::newRow("before the surrogates") << "a&#xD7FB;b" << QString::fromUtf8("a\uD7FBb");
        QTest::newRow("first surrogate") << "a&#xD800;b" << "ab";
        QTest::newRow("last surrogate") << "a&#xDFFF;b" << "ab";
        QTest::newRow("emoji") << "a&#x1F600;b" << QString::fromUtf8("a\U0001F600b");
        QTest::newRow("past the last character") << "a&#x110000;b" << "ab";
    }

    void xmpCharacterReferences()
    {
        QFETCH(QString, written);
        QFETCH(QString, caption);
        PictureFacts facts;
        readXmpCaption("<rdf:Description dc:description=\"" + written.toUtf8() + "\"/>", facts);
        QCOMPARE(facts.caption, caption);
    }

    // The IPTC caption is read only from a resource that is whole.
    void iptcResourceBounds_data()
    {
        QTest::addColumn<int>("missing"); // bytes of the resource cut off the end
        QTest::addColumn<QString>("caption");
        QTest::newRow("whole") << 0 << "From the tower";
        QTest::newRow("one byte short") << 1 << "";
    }

    void iptcResourceBounds()
    {
        QFETCH(int, missing);
        QFETCH(QString, caption);
        const QByteArray text = "From the tower";
        const QByteArray iptc = QByteArray("\x1C\x02\x78\x00", 4) + char(text.size()) + text; // 2:120, the caption
        QByteArray resource = QByteArray("8BIM\x04\x04\0\0\0\0\0", 11) + char(iptc.size()) + iptc;
        PictureFacts facts;
        readIptcCaption(QByteArray("Photoshop 3.0\0", 14) + resource.left(resource.size() - missing), facts);
        QCOMPARE(facts.caption, caption);
    }

    // The album's index keeps a name whole whatever it holds: read back, it
    // is the same picture, and nothing is made again.
    void indexKeepsAwkwardNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("tab") << "a\tb.jpg";
        QTest::newRow("line feed") << "a\nb.jpg";
        QTest::newRow("carriage return") << "a\rb.jpg";
        QTest::newRow("backslash") << "a\\b.jpg";
        QTest::newRow("backslash and n") << "a\\nb.jpg";
        QTest::newRow("delete") << "a\x7F" "b.jpg";
    }

    void indexKeepsAwkwardNames()
    {
        QFETCH(QString, name);
        QVERIFY(TestPictures::writeFile(path(name), TestPictures::jpeg(30, 20)));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QMap<QString, QString> first = albumFiles(path("vimbrel"));
        QCOMPARE(first.size(), 5); // three images, its page and the index
        const AlbumIndex index = AlbumIndex::load(FolderHandle::open(path("vimbrel")), AlbumSizes{},
                                                  [](const QString &name) { return name; }, 1);
        QCOMPARE(index.records.keys(), QStringList{name});
        QCOMPARE(index.records.value(name).small, QSize(30, 20));
        QCOMPARE(index.records.value(name).large, QSize(30, 20));
        QVERIFY(!QFileInfo::exists(path("thumbnails"))); // nothing of earlier versions' is made
        // Its pages show it, but no control character of it.
        const QByteArray page = TestPictures::readFile(path("index1.htm"));
        QVERIFY(std::all_of(page.begin(), page.end(), [](char c) { return c == '\n' || (quint8(c) >= 0x20 && c != 0x7F); }));
        QTest::qWait(20); // a file written again gets a later time
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(albumFiles(path("vimbrel")), first);
    }

    // An unchanged re-run rewrites nothing; a changed picture has its images
    // and page made again, a gone one has them removed, and its neighbours'
    // pages are linked anew.
    void rerunsRemakeOnlyWhatChanged()
    {
        for (int i = 1; i <= 4; ++i)
            QVERIFY(TestPictures::writeFile(path(QStringLiteral("p%1.jpg").arg(i)), TestPictures::jpeg(300 + i, 200)));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QMap<QString, QString> first = albumFiles(path("vimbrel"));
        QTest::qWait(20); // a file written again gets a later time
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(albumFiles(path("vimbrel")), first);

        QVERIFY(TestPictures::writeFile(path("p2.jpg"), TestPictures::jpeg(200, 400)));
        QVERIFY(QFile::remove(path("p4.jpg")));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QMap<QString, QString> second = albumFiles(path("vimbrel"));
        QCOMPARE(QImageReader(path("vimbrel/small/p2.jpg.jpg")).size(), QSize(128, 256));
        for (const char *gone : {"small/p4.jpg.jpg", "large/p4.jpg.jpg", "web/p4.jpg.jpg", "pages/p4.jpg.htm"})
            QVERIFY2(!second.contains(path(QStringLiteral("vimbrel/") + gone)), gone);
        QCOMPARE(second.value(path("vimbrel/small/p1.jpg.jpg")), first.value(path("vimbrel/small/p1.jpg.jpg")));
        QCOMPARE(second.value(path("vimbrel/pages/p1.jpg.htm")), first.value(path("vimbrel/pages/p1.jpg.htm")));
        QVERIFY(second.value(path("vimbrel/pages/p3.jpg.htm")) != first.value(path("vimbrel/pages/p3.jpg.htm"))); // no next now
        QCOMPARE(chain(), QStringList({"p1.jpg", "p2.jpg", "p3.jpg"}));
    }

    // A re-run after an option changed, or pictures went: every page and
    // image follows, no page is left above the last, and the album folder
    // holds only what some page shows.
    void rerunsFollowTheOptions_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QList<int>>("before"); // web size, page size, order (0 name, 1 date)
        QTest::addColumn<int>("removed");       // pictures removed before the re-run, from the last
        QTest::addColumn<QList<int>>("after");
        QTest::newRow("copies no longer shown") << 3 << QList{2048, 48, 0} << 0 << QList{0, 48, 0};
        QTest::newRow("smaller copies") << 3 << QList{2048, 48, 0} << 0 << QList{100, 48, 0};
        QTest::newRow("copies again") << 3 << QList{0, 48, 0} << 0 << QList{200, 48, 0};
        QTest::newRow("shrinking gallery") << 25 << QList{0, 10, 0} << 6 << QList{0, 10, 0};
        QTest::newRow("a page exactly emptied") << 21 << QList{0, 10, 0} << 1 << QList{0, 10, 0};
        QTest::newRow("larger pages") << 25 << QList{0, 10, 0} << 0 << QList{0, 20, 0};
        QTest::newRow("smaller pages") << 5 << QList{0, 48, 0} << 0 << QList{0, 2, 0};
        QTest::newRow("by date") << 4 << QList{0, 3, 0} << 0 << QList{0, 3, 1};
        QTest::newRow("every picture gone") << 3 << QList{300, 2, 0} << 3 << QList{300, 2, 0};
    }

    void rerunsFollowTheOptions()
    {
        QFETCH(int, pictures);
        QFETCH(QList<int>, before);
        QFETCH(int, removed);
        QFETCH(QList<int>, after);
        QStringList names;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 0; i < pictures; ++i) { // the later the name, the older the file
            names.append(QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(TestPictures::writeFile(path(names.last()), TestPictures::jpeg(400 + i, 300)));
            QFile file(path(names.last()));
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(now.addDays(-i), QFileDevice::FileModificationTime));
        }
        QCOMPARE(runAlbum(before[0], PictureOrder(before[2]), before[1]), RunOutcome::Completed);
        for (int i = 0; i < removed; ++i)
            QVERIFY(QFile::remove(path(names.takeLast())));
        QCOMPARE(runAlbum(after[0], PictureOrder(after[2]), after[1]), RunOutcome::Completed);

        const int pages = (int(names.size()) + after[1] - 1) / after[1];
        const QStringList written = PageFiles::pages(m_temp->path()).keys();
        QCOMPARE(written.size(), pages);
        QCOMPARE(written.isEmpty() ? QString() : written.last(), pages ? QStringLiteral("index%1.htm").arg(pages) : QString());
        for (const QString &page : PageFiles::pagesUnder(m_temp->path()))
            QCOMPARE(PageFiles::brokenLinks(QDir::cleanPath(m_temp->path()), path(page)), QStringList());
        QCOMPARE(PageFiles::unshownAlbumFiles(QDir::cleanPath(m_temp->path()), path("vimbrel")), QStringList());
        if (after[2] == int(PictureOrder::Date))
            std::reverse(names.begin(), names.end());
        QCOMPARE(chain(), names);
        for (int k = 0; k < names.size(); ++k) { // each picture page leads back to the index page that shows it
            const QString index = QStringLiteral("index%1.htm").arg(k / after[1] + 1);
            QVERIFY(TestPictures::readFile(path(index)).contains("vimbrel/pages/" + names[k].toUtf8() + ".htm"));
            QVERIFY(TestPictures::readFile(path("vimbrel/pages/" + names[k] + ".htm")).contains("href=\"../../" + index.toUtf8() + "\""));
        }
        const QStringList copies = QDir(path("vimbrel/web")).entryList(QDir::Files);
        QCOMPARE(copies.size(), after[0] ? names.size() : 0);
        for (const QString &copy : copies) {
            const QSize size = QImageReader(path("vimbrel/web/" + copy)).size();
            QVERIFY(std::max(size.width(), size.height()) == std::min(after[0], 400 + int(names.indexOf(copy.chopped(4)))));
        }
    }

    // A record no image could match is made again, whatever it claims; a
    // record of no picture here is not even kept, and an index larger than
    // one of this album could be is not read at all.
    void indexRecordsThatCannotBeTrue_data()
    {
        QTest::addColumn<int>("field"); // of the picture's line; -1: junk lines added instead
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("remade");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("as written") << 2 << QByteArray("60 45") << false << QSize(60, 45);
        QTest::newRow("one pixel wide, as written") << 2 << QByteArray("1 256") << false << QSize(1, 300);
        QTest::newRow("thumbnail of no pixels") << 2 << QByteArray("0 0") << true << QSize(60, 45);
        QTest::newRow("thumbnail a pixel off") << 2 << QByteArray("61 45") << false << QSize(60, 45);
        QTest::newRow("thumbnail of another shape") << 2 << QByteArray("60 1") << true << QSize(60, 45);
        QTest::newRow("thumbnail past its box") << 2 << QByteArray("257 10") << true << QSize(60, 45);
        QTest::newRow("HiDPI thumbnail of no pixels") << 3 << QByteArray("0 45") << true << QSize(60, 45);
        QTest::newRow("HiDPI thumbnail past its box") << 3 << QByteArray("513 10") << true << QSize(60, 45);
        QTest::newRow("copy of no pixels") << 4 << QByteArray("0 0") << true << QSize(60, 45);
        QTest::newRow("no copy, though one is there") << 4 << QByteArray("-1 -1") << true << QSize(60, 45);
        QTest::newRow("copy past the web size") << 4 << QByteArray("2049 10") << true << QSize(60, 45);
        QTest::newRow("junk records, within the bound") << -1 << QByteArray::number(5000) << false << QSize(60, 45);
        QTest::newRow("junk records, past the bound") << -1 << QByteArray::number(12000) << true << QSize(60, 45);
    }

    void indexRecordsThatCannotBeTrue()
    {
        QFETCH(int, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, remade);
        QFETCH(QSize, picture);
        QVERIFY(TestPictures::writeFile(path("p.jpg"), TestPictures::jpeg(picture.width(), picture.height())));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        const QByteArray index = TestPictures::readFile(path("vimbrel/index.txt"));
        QList<QByteArray> lines = index.split('\n');
        if (field >= 0) {
            QList<QByteArray> fields = lines[1].split('\t');
            fields[field] = value;
            lines[1] = fields.join('\t');
        } else { // lines of about 150 bytes, as a real index has
            for (int i = value.toInt(); i > 0; --i)
                lines.insert(1, "junk" + QByteArray::number(i) + ".jpg\t1 2 3 4\t60 45\t60 45\t-1 -1\t0\t\t" + QByteArray(100, 'x') + "\t\t\t\t\t");
        }
        QVERIFY(TestPictures::writeFile(path("vimbrel/index.txt"), lines.join('\n')));
        struct : PageFiles::Recorder {
            qint64 ready = -1; // the thumbnails ready before any is made
            void thumbnailed(qint64 count) override { ready = ready < 0 ? count : ready; }
        } notices;
        PageOptions options;
        options.style = PageStyle::Gallery;
        QCOMPARE(runGeneration(m_temp->path(), notices, nullptr, nullptr, options), RunOutcome::Completed);
        QCOMPARE(notices.ready, qint64(!remade));
        QVERIFY(TestPictures::readFile(path("vimbrel/pages/p.jpg.htm")).contains("src=\"../web/p.jpg.jpg\""));
        if (remade || field < 0) { // a record made again is as true as the first; junk is not kept
            QVERIFY(TestPictures::readFile(path("index1.htm")).contains(" width=\"60\" height=\"45\""));
            QCOMPARE(TestPictures::readFile(path("vimbrel/index.txt")), index);
        }
    }

    // Earlier versions' thumbnails/ goes, but for what the user put there.
    void oldThumbnailsCleared()
    {
        QVERIFY(TestPictures::writeFile(path("p.jpg"), TestPictures::jpeg(40, 30)));
        QVERIFY(QDir(m_temp->path()).mkdir("thumbnails"));
        QVERIFY(TestPictures::writeFile(path("thumbnails/index.json"),
                                        R"({"version":2,"box":256,"pictures":{"p.jpg":["1 2 3 4","p.jpg.jpg",10,10]}})"));
        QVERIFY(TestPictures::writeFile(path("thumbnails/p.jpg.jpg"), "old"));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QVERIFY(!QFileInfo::exists(path("thumbnails")));
        QVERIFY(QDir(m_temp->path()).mkdir("thumbnails"));
        // A key that is no picture's name never names a file to remove.
        QVERIFY(TestPictures::writeFile(path("thumbnails/index.json"),
                                        R"({"version":2,"box":256,"pictures":{"holiday":["1 2 3 4","holiday.jpg",10,10]}})"));
        QVERIFY(TestPictures::writeFile(path("thumbnails/mine.txt"), "the user's"));
        QVERIFY(TestPictures::writeFile(path("thumbnails/holiday.jpg"), "the user's"));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(QDir(path("thumbnails")).entryList(QDir::Files), QStringList({"holiday.jpg", "mine.txt"}));
        // An index.json that is not an earlier version's is the user's, as is all beside it.
        QVERIFY(TestPictures::writeFile(path("thumbnails/index.json"), R"({"pictures":{"p.jpg":["","p.jpg.jpg",1,1]}})"));
        QVERIFY(TestPictures::writeFile(path("thumbnails/p.jpg.jpg"), "the user's"));
        QCOMPARE(runAlbum(), RunOutcome::Completed);
        QCOMPARE(QDir(path("thumbnails")).entryList(QDir::Files), QStringList({"holiday.jpg", "index.json", "mine.txt", "p.jpg.jpg"}));
    }
};

QTEST_GUILESS_MAIN(AlbumTest)
#include "tst_album.moc"
