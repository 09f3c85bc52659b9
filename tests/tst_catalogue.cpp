// Which entries are pictures, how they are measured, and what a build skips.
#include "catalogue/CandidateRule.h"
#include "catalogue/FolderListing.h"
#include "catalogue/GetGif.h"
#include "common/SettingsStore.h"
#include "common/SortHead.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"
#include "system/FolderHandle.h"
#include "system/FolderNames.h"
#include "system/NativeName.h"

#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

namespace {

using namespace Qt::StringLiterals;
using RecordingNotices = PageFiles::Recorder;

QStringList namesOf(const PictureCatalogue &catalogue)
{
    QStringList names;
    for (qint64 i = 0; i < catalogue.count(); ++i)
        names << catalogue.at(i).FileName;
    return names;
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp; // a fresh folder for each case
    QString folder() const { return m_temp->path(); }
    QString path(const QString &name) const { return m_temp->filePath(name); }
    void put(const QString &name, const QByteArray &bytes) { QVERIFY(TestPictures::writeFile(path(name), bytes)); }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }
    void cleanup() { m_temp.reset(); }

    void candidateRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("candidate");
        QTest::newRow("lower gif") << "a.gif" << true;
        QTest::newRow("upper GIF") << "B.GIF" << true;
        QTest::newRow("mixed Jpg") << "c.Jpg" << true;
        QTest::newRow("no dot") << "mygif" << true;
        QTest::newRow("just GIF") << "GIF" << true;
        QTest::newRow("jpeg") << "d.jpeg" << false;
        QTest::newRow("png") << "e.png" << false;
        QTest::newRow("two letters") << "f.gi" << false;
        QTest::newRow("one letter") << "g" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("accented") << QString::fromUtf8("été.jpg") << true;
    }

    void candidateRule()
    {
        QFETCH(QString, name);
        QFETCH(bool, candidate);
        QCOMPARE(isCandidateName(name), candidate);
    }

    // The album takes phone photos and clips too, by an ending after at least one other character.
    void albumCandidateRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("candidate");
        QTest::newRow("clip") << "a.mp4" << true;
        QTest::newRow("clip in capitals") << "A.MOV" << true;
        QTest::newRow("five-letter ending") << "b.WebM" << true;
        QTest::newRow("ending alone") << ".mp4" << false;
        QTest::newRow("five-letter ending alone") << ".webm" << false;
        QTest::newRow("one character before") << "x.3gp" << true;
        QTest::newRow("ending inside") << "a.mp4.txt" << false;
        QTest::newRow("ending grown") << "a.webmx" << false;
        QTest::newRow("no dot") << "amp4" << false;
        QTest::newRow("photo") << "IMG_1.HEIC" << true;
        QTest::newRow("three-letter photo ending") << "c.hif" << true;
        QTest::newRow("photo ending alone") << ".avif" << false;
        QTest::newRow("still a picture") << "d.gif" << true;
    }

    void albumCandidateRule()
    {
        QFETCH(QString, name);
        QFETCH(bool, candidate);
        QCOMPARE(isCandidateName(name, Candidates::Album), candidate);
        QVERIFY(!isCandidateName(name) || name.endsWith(u"gif"_s, Qt::CaseInsensitive)); // the classic rule is unchanged
    }

    void measuresOuterSizeAndLength()
    {
        const QByteArray gif = TestPictures::gif(100, 50);
        put("photo.GIF", gif);
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        QCOMPARE(build.catalogue.count(), 1);
        const Class1 &record = build.catalogue.first();
        QCOMPARE(record.FileName, QStringLiteral("photo.GIF"));
        QCOMPARE(record.imLargeur, 102);
        QCOMPARE(record.imHauteur, 52);
        QCOMPARE(record.FileSize, QString::number(gif.size()));
        QCOMPARE(notices.readPaths.size(), 1);
        QCOMPARE(notices.readCount, 1);
    }

    void onlyCandidateFilesInNameOrder()
    {
        put("b.jpg", TestPictures::jpeg(8, 8));
        put("A.gif", TestPictures::gif(4, 4));
        put("a.GIF", TestPictures::gif(4, 4));
        put("c.jpeg", TestPictures::jpeg(8, 8));
        put("d.png", TestPictures::jpeg(8, 8));
        put("Z.Jpg", TestPictures::jpeg(8, 8));
        QVERIFY(QDir(folder()).mkdir("old.gif")); // a folder is never a picture
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        QCOMPARE(namesOf(build.catalogue), (QStringList{"A.gif", "a.GIF", "b.jpg", "Z.Jpg"}));
        QVERIFY(build.skipped.isEmpty());
    }

    // Plain names are folded as they are compared, others once: the two
    // meet in one order, as if every name had been folded.
    void nameOrderFoldsCaseWithinAndOutsideAscii()
    {
        const QStringList expected{u"a.gif"_s, u"b.gif"_s, u"k.gif"_s, u"\u212A.gif"_s, u"L.gif"_s,
                                   u"\u00E4a.gif"_s, u"\u00C4b.gif"_s, u"\u03A9.gif"_s, u"\u03C91.gif"_s};
        for (qsizetype i = expected.size() - 1; i >= 0; --i)
            put(expected.at(i), TestPictures::gif(2, 2));
        RecordingNotices notices;
        QCOMPARE(namesOf(GetGif(folder(), notices).catalogue), expected);
    }

    void badCandidateIsSkippedAndTheRestMeasured()
    {
        put("1.gif", TestPictures::gif(10, 10));
        put("2.jpg", TestPictures::jpeg(20, 10));
        put("3notes.jpg", "just some text\n");
        put("4.gif", TestPictures::gif(30, 10));
        put("5.jpg", QByteArray());
        put("6.jpg", TestPictures::jpeg(5, 5));
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        QCOMPARE(namesOf(build.catalogue), (QStringList{"1.gif", "2.jpg", "4.gif", "6.jpg"}));
        QCOMPARE(build.skipped.size(), 2);
        QCOMPARE(build.skipped.at(0).name, QStringLiteral("3notes.jpg"));
        QVERIFY(build.skipped.at(0).reason.contains("not a picture that browsers show"));
        QCOMPARE(build.skipped.at(1).name, QStringLiteral("5.jpg"));
        QVERIFY(build.skipped.at(1).reason.contains("empty"));
        QCOMPARE(notices.readCount, 4); // counts measured pictures only
        QCOMPARE(build.catalogue.at(2).imLargeur, 32);
    }

    // Browsers show a picture by its content, whatever its name says.
    void otherFormatsUnderPictureNamesAreMeasured()
    {
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(path("png.jpg"), "PNG"));
        QVERIFY(image.save(path("bmp.gif"), "BMP"));
        QVERIFY(image.save(path("tiff.jpg"), "TIFF") || image.save(path("tiff.jpg"), "PPM"));
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        QCOMPARE(namesOf(build.catalogue), (QStringList{"bmp.gif", "png.jpg"}));
        QCOMPARE(build.catalogue.at(0).imLargeur, 8);
        QCOMPARE(build.catalogue.at(1).imHauteur, 6);
        QCOMPARE(build.skipped.size(), 1);
    }

    void exifOrientation_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("1 upright") << 1 << false;
        QTest::newRow("3 upside down") << 3 << false;
        QTest::newRow("5 transposed") << 5 << true;
        QTest::newRow("6 quarter turn") << 6 << true;
        QTest::newRow("8 three quarters") << 8 << true;
    }

    void exifOrientation()
    {
        QFETCH(int, orientation);
        QFETCH(bool, swapped);
        put("p.jpg", TestPictures::withExifOrientation(TestPictures::jpeg(60, 20), orientation));
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        QCOMPARE(build.catalogue.count(), 1);
        QCOMPARE(build.catalogue.first().imLargeur, swapped ? 22 : 62);
        QCOMPARE(build.catalogue.first().imHauteur, swapped ? 62 : 22);
    }

    void settingsSavedOnlyWhenAsked()
    {
        const QString ini = path("settings.ini");
        QSettingsStore store(ini);
        RecordingNotices notices;
        GetGif(folder(), notices, nullptr);
        QCOMPARE(store.path(), QString());
        GetGif(folder(), notices, &store); // saved even with no picture
        QCOMPARE(store.path(), folder());
        QSettings raw(ini, QSettings::IniFormat);
        QCOMPARE(raw.value("Divers/Path").toString(), folder());
    }

    void missingFolderIsAnErrorNamingIt()
    {
        RecordingNotices notices;
        const QString gone = path("gone");
        const CatalogueBuild build = GetGif(gone, notices);
        QVERIFY(build.error.contains(QDir::toNativeSeparators(gone)));
        QVERIFY(build.error.contains("does not exist"));
    }

    void unrepresentableNameIsSkipped()
    {
#ifdef Q_OS_UNIX
        // A name whose bytes are not valid UTF-8 cannot be put on a page.
        const QByteArray raw = QFile::encodeName(folder()) + "/bad\xff.gif";
        std::FILE *file = std::fopen(raw.constData(), "wb");
        QVERIFY(file);
        const QByteArray gif = TestPictures::gif(3, 3);
        std::fwrite(gif.constData(), 1, std::size_t(gif.size()), file);
        std::fclose(file);
        put("good.gif", gif);
        RecordingNotices notices;
        const CatalogueBuild build = GetGif(folder(), notices);
        std::remove(raw.constData()); // Qt cannot name it, so the folder's clean-up could not either
        QCOMPARE(namesOf(build.catalogue), QStringList{"good.gif"});
        QCOMPARE(build.skipped.size(), 1);
        QVERIFY(build.skipped.first().reason.contains("name"));
#else
        QSKIP("File names are always Unicode here.");
#endif
    }

    void listingSkipsFoldersAndGivesLengths()
    {
        put("b.gif", QByteArray(1234, 'x')); // listing opens no picture
        put("a.JPG", TestPictures::jpeg(4, 4));
        put("c.txt", "x");
        QVERIFY(QDir(folder()).mkdir("holiday.jpg"));
        const FolderListing listing = listPictures(folder());
        QVERIFY(listing.error.isEmpty());
        QCOMPARE(listing.pictures.size(), 2);
        QCOMPARE(listing.pictures.at(0).name, QStringLiteral("a.JPG"));
        QCOMPARE(listing.pictures.at(1).name, QStringLiteral("b.gif"));
        QCOMPARE(listing.pictures.at(1).length, 1234);
        QVERIFY(!listPictures(path("gone")).error.isEmpty());
    }

    // The window lists and previews such a name (its bytes go back to the
    // system unchanged), though no page can show it.
    void listingKeepsANameThatIsNotText()
    {
#ifdef Q_OS_UNIX
        const QByteArray raw = QFile::encodeName(folder()) + "/bad\xff.gif";
        std::FILE *file = std::fopen(raw.constData(), "wb");
        QVERIFY(file);
        std::fwrite("12345", 1, 5, file);
        std::fclose(file);
        const FolderListing listing = listPictures(folder());
        std::remove(raw.constData()); // Qt cannot name it, so the folder's clean-up could not either
        QCOMPARE(listing.pictures.size(), 1);
        QCOMPARE(NativeName::encode(listing.pictures.first().name), QByteArray("bad\xff.gif"));
        QCOMPARE(listing.pictures.first().length, 5);
#else
        QSKIP("File names are always Unicode here.");
#endif
    }

    // A folder's names held as bytes: each found from its text whatever it
    // holds, exactly; a folder is no name; a name set aside is not among
    // them; what is never marked comes back. Many names, so the table probes.
    void folderNamesFindMarkAndGiveBack()
    {
        for (int i = 0; i < 1000; ++i)
            put(QStringLiteral("f%1.jpg").arg(i), QByteArray());
        put(u"\u00E9t\u00E9.jpg"_s, QByteArray());
        put(u"p1.jpg.Ab12Cd"_s, QByteArray());
        QVERIFY(QDir(folder()).mkdir(u"folder.jpg"_s));
#ifdef Q_OS_UNIX
        const QByteArray raw = QFile::encodeName(folder()) + "/bad\xff.jpg";
        std::FILE *file = std::fopen(raw.constData(), "wb");
        QVERIFY(file);
        std::fclose(file);
        const QString bad = NativeName::decode("bad\xff");
#endif
        FolderNames names = FolderNames::list(FolderHandle::open(folder()),
                                              [](QByteArrayView name) { return name.endsWith(".Ab12Cd"); });
#ifdef Q_OS_UNIX
        std::remove(raw.constData()); // Qt cannot name it, so the folder's clean-up could not either
        QVERIFY(names.mark(bad, QLatin1StringView(".jpg")));
#endif
        QCOMPARE(names.setAside(), QStringList{u"p1.jpg.Ab12Cd"_s});
        for (int i = 0; i < 1000; ++i)
            QVERIFY(names.mark(QStringLiteral("f%1").arg(i), QLatin1StringView(".jpg")));
        QVERIFY(!names.contains(u"f1000"_s, QLatin1StringView(".jpg")));
        QVERIFY(!names.contains(u"F1"_s, QLatin1StringView(".jpg"))); // exactly, not by case
        QVERIFY(!names.contains(u"folder"_s, QLatin1StringView(".jpg")));
        QVERIFY(!names.contains(u"f1"_s, QLatin1StringView(".jp")));
        QVERIFY(names.contains(u"\u00E9t\u00E9"_s, QLatin1StringView(".jpg")));
        QCOMPARE(names.unmarked(), QStringList{u"\u00E9t\u00E9.jpg"_s});
    }

    // Where two texts' heads differ, they order them as the texts do: texts
    // from a few letters, capitals, digits and one outside ASCII, up to 20
    // units, so that many share their first sixteen.
    void sortHeadsOrderAsTheTextsDo()
    {
        const QString alphabet = u"aBb09._AZ\u00E9\u00E8"_s;
        QRandomGenerator random(0x5047);
        const auto text = [&] {
            QString t;
            const int size = int(random.bounded(21));
            for (int i = 0; i < size; ++i) {
                // Mostly three letters, so that many texts share a long start.
                const int from = random.bounded(10) < 7 ? 3 : int(alphabet.size());
                t += alphabet.at(random.bounded(from));
            }
            return t;
        };
        const auto foldedCapitals = [](QString t) {
            for (QChar &c : t)
                c = c.unicode() >= u'A' && c.unicode() <= u'Z' ? QChar(c.unicode() + 32) : c;
            return t;
        };
        int decided = 0;
        for (int i = 0; i < 20000; ++i) {
            const bool fold = i % 2 == 0;
            const QString a = text(), b = a.left(random.bounded(int(a.size()) + 1)) + text(); // often a shared start
            const SortHead x = sortHeadOf(a, fold), y = sortHeadOf(b, fold);
            if (x == y)
                continue;
            ++decided;
            const int byText = fold ? foldedCapitals(a).compare(foldedCapitals(b)) : a.compare(b);
            QVERIFY2((x < y) == (byText < 0), qPrintable(a + u" | "_s + b));
        }
        QVERIFY(decided > 5000); // the heads decided most pairs
    }

    // Batches come in name order, none larger than asked, and together make the whole listing.
    void listingInBatches()
    {
        for (int i = 7; i >= 1; --i)
            put(QStringLiteral("p%1.gif").arg(i), QByteArray(i, 'x'));
        put("notes.txt", "x");
        QList<QList<ListedPicture>> batches;
        const QString error = listPicturesInBatches(
            folder(), [&](QList<ListedPicture> &&batch) { batches.append(std::move(batch)); }, nullptr, 3);
        QVERIFY(error.isEmpty());
        QStringList names;
        for (const QList<ListedPicture> &batch : batches) {
            QVERIFY(!batch.isEmpty() && batch.size() <= 3);
            for (const ListedPicture &picture : batch)
                names.append(picture.name);
        }
        QVERIFY(batches.size() >= 3);
        QCOMPARE(names, QStringList({"p1.gif", "p2.gif", "p3.gif", "p4.gif", "p5.gif", "p6.gif", "p7.gif"}));
        QCOMPARE(batches.last().last().length, 7);

        bool handedOver = false;
        const QString missing = listPicturesInBatches(path("gone"), [&](QList<ListedPicture> &&) { handedOver = true; });
        QVERIFY(missing.startsWith(QStringLiteral("Cannot read ") + QDir::toNativeSeparators(path("gone"))));
        QVERIFY(!handedOver);
    }

    // Names are printed in reports and pages as they read: nothing in them
    // may reorder the text or hide, or a name could pass for another.
    void printableShowsWhatHidesOrReorders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("printed");
        for (const char16_t c : {0x0080, 0x009F, 0x00AD, 0x061C, 0x115F, 0x1160, 0x180E, 0x200B, 0x200E, 0x200F,
                                 0x2028, 0x2029, 0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2060, 0x2061, 0x2062, 0x2063,
                                 0x2064, 0x2065, 0x2066, 0x2067, 0x2068, 0x2069, 0x206A, 0x206F, 0x3164, 0xFEFF, 0xFFA0})
            QTest::addRow("U+%04X", unsigned(c))
                << QStringLiteral("a%1b").arg(QChar(c)) << QStringLiteral("a\\u%1b").arg(unsigned(c), 4, 16, QLatin1Char('0'));
        // Their neighbours, the joiners among them, show as themselves.
        for (const char16_t c : {0x0020, 0x007E, 0x00A0, 0x00AC, 0x00AE, 0x061B, 0x061D, 0x115E, 0x1161, 0x180D, 0x180F,
                                 0x200A, 0x200C, 0x200D, 0x2010, 0x202F, 0x205F, 0x2070, 0x3163, 0x3165, 0xFEFE, 0xFFA1})
            QTest::addRow("U+%04X kept", unsigned(c)) << QStringLiteral("a%1b").arg(QChar(c)) << QStringLiteral("a%1b").arg(QChar(c));
        QTest::newRow("DEL") << QStringLiteral("a\x7f") << QStringLiteral("a\\x7f");
        QTest::newRow("lone high surrogate last") << QStringLiteral("a\xd83d") << QStringLiteral("a\\ud83d");
        const QString family = QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7");
        QTest::newRow("emoji joined") << family << family;
        const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("pairs around an override") << face + QChar(0x202E) + face << face + "\\u202e" + face;
        QTest::newRow("lone high surrogate before an override")
            << QString(QChar(0xD83D)) + QChar(0x202E) + "fdp.jpg" << QStringLiteral("\\ud83d\\u202efdp.jpg");
    }

    void printableShowsWhatHidesOrReorders()
    {
        QFETCH(QString, name);
        QFETCH(QString, printed);
        QCOMPARE(NativeName::printable(name), printed);
    }

    void pageEstimate_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<qint64>("pages");
        for (const auto &[count, pages] : {std::pair<qint64, qint64>{0, 0}, {1, 1}, {9, 1}, {10, 1}, {11, 2},
                                           {20, 2}, {21, 3}, {40000, 4000}, {40001, 4001}})
            QTest::addRow("%lld", count) << count << pages;
    }

    void pageEstimate()
    {
        QFETCH(qint64, count);
        QFETCH(qint64, pages);
        QCOMPARE(::pageEstimate(count), pages);
    }
};

QTEST_GUILESS_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
