// The page files: their bytes, their chain, and what happens when one cannot be written.
#include "classic/PageFormat.h"
#include "classic/WriteIndexPage.h"
#include "common/ProgramInfo.h"
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using RecordingNotices = PageFiles::Recorder;

QByteArray crlf(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toLatin1() + "\r\n";
    return text;
}

QStringList headLines(int page)
{
    const QString contact = QString::fromLatin1(ProgramInfo::contactAddress);
    return {
        R"(<!DOCTYPE HTML PUBLIC "-//IETF//DTD HTML//EN">)",
        "<html>",
        "",
        "<head>",
        R"(<meta http-equiv="Content-Type")",
        R"(content="text/html; charset=iso-8859-1">)",
        R"(<meta name="GENERATOR" content="Microsoft FrontPage 2.0">)",
        "<title>Home Page</title>",
        "</head>",
        "",
        "",
        R"(<p align="center"><font size="5"><strong>By Tasquen</strong></font></p>)",
        QStringLiteral(R"(<p align="center"><a href="mailto:%1"><font size="4">mailto:%1</font></a></p>)").arg(contact),
        QStringLiteral(R"(<p align="center"><font size="5"><strong>Jpeg/Ani Gif Index %1</strong></font></p>)").arg(page),
    };
}

} // namespace

class PagesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_temp;
    QString folder() const { return m_temp->path(); }
    QString page(int n) const { return m_temp->filePath(QStringLiteral("index%1.htm").arg(n)); }

    void makeGifs(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("p%1.gif").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(TestPictures::writeFile(m_temp->filePath(name), TestPictures::gif(i + 1, 2)));
        }
    }

    int pageCount() const
    {
        return QDir(folder()).entryList({"index*.htm"}, QDir::Files).size();
    }

private slots:
    void init()
    {
        m_temp = std::make_unique<QTemporaryDir>();
        QVERIFY(m_temp->isValid());
    }

    void cleanup()
    {
        // Undo the read-only marks a case left, so the folder can go.
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        for (const QString &name : QDir(folder()).entryList(QDir::Files))
            QFile::setPermissions(m_temp->filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        m_temp.reset();
    }

    void workedExampleByteForByte()
    {
        const struct { const char *name; const char *size; int w; int h; } rows[] = {
            {"a.gif", "1024", 32, 32},   {"b.jpg", "20480", 320, 240}, {"c.gif", "2048", 64, 48},
            {"d.jpg", "15360", 200, 150}, {"e.gif", "512", 16, 16},     {"f.jpg", "30720", 640, 480},
            {"g.gif", "4096", 100, 80},   {"h.jpg", "10240", 160, 120}, {"i.gif", "768", 24, 24},
            {"j.jpg", "25600", 400, 300}, {"k.gif", "3072", 90, 60},    {"l.jpg", "12288", 240, 180},
        };
        PictureCatalogue catalogue;
        for (const auto &row : rows)
            catalogue.append({row.name, row.size, row.h, row.w});

        QStringList one = headLines(1);
        QStringList two = headLines(2);
        for (int i = 0; i < 12; ++i) {
            const auto &row = rows[i];
            const QString line = QStringLiteral(R"(<p><img src="%1" width="%2" height="%3"> %1  %4</p>)")
                                     .arg(row.name).arg(row.w).arg(row.h).arg(row.size);
            (i < 10 ? one : two) << line << "";
        }
        one << "<p>&nbsp;</p>" << R"(<p align="center"><a href="index2.htm"><font size="5">Index 2</font></a></p>)"
            << "</body>" << "</html>";
        two << "<p>&nbsp;</p>" << "</body>" << "</html>";
        QCOMPARE(one.size(), 38);
        QCOMPARE(two.size(), 21);

        PageWrite written = WriteIndexPage(catalogue, folder(), 1);
        QVERIFY2(written.error.isEmpty(), qPrintable(written.error));
        QVERIFY(written.more);
        QCOMPARE(catalogue.count(), 2);
        written = WriteIndexPage(catalogue, folder(), 2);
        QVERIFY(!written.more);
        QVERIFY(catalogue.isEmpty());
        QCOMPARE(TestPictures::readFile(page(1)), crlf(one));
        QCOMPARE(TestPictures::readFile(page(2)), crlf(two));
        QVERIFY(!WriteIndexPage(catalogue, folder(), 3).more);
        QVERIFY(!QFile::exists(page(3)));
    }

    void pageChain_data()
    {
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("pages");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("ten") << 10 << 1;
        QTest::newRow("eleven") << 11 << 2;
        QTest::newRow("twenty") << 20 << 2;
        QTest::newRow("ninety-one") << 91 << 10;
    }

    void pageChain()
    {
        QFETCH(int, pictures);
        QFETCH(int, pages);
        makeGifs(pictures);
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices), RunOutcome::Completed);
        QCOMPARE(notices.completions, 1);
        QCOMPARE(notices.readCount, pictures);
        QCOMPARE(pageCount(), pages);
        int seen = 0;
        for (int n = 1; n <= pages; ++n) {
            const QList<QByteArray> lines = TestPictures::readFile(page(n)).split('\n');
            const bool last = n == pages;
            const int onPage = last ? pictures - 10 * (pages - 1) : 10;
            QCOMPARE(lines.size() - 1, 14 + 2 * onPage + (last ? 3 : 4));
            QCOMPARE(lines.at(13), QByteArray(headLines(n).at(13).toLatin1() + '\r'));
            const QByteArray link = QStringLiteral("<a href=\"index%1.htm\"><font size=\"5\">Index %1</font>")
                                        .arg(n + 1).toLatin1();
            QCOMPARE(TestPictures::readFile(page(n)).contains(link), !last);
            seen += onPage;
        }
        QCOMPARE(seen, pictures);
    }

    void visibleName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << "My holiday (2), v1.jpg" << QByteArray("My holiday (2), v1.jpg");
        QTest::newRow("markup") << "a&b<c>\"d'.gif" << QByteArray("a&amp;b&lt;c&gt;&quot;d'.gif");
        QTest::newRow("latin") << QString::fromUtf8("été.jpg") << QByteArray("&#233;t&#233;.jpg");
        QTest::newRow("astral") << QString::fromUtf8("\xF0\x9F\x98\x80.gif") << QByteArray("&#128512;.gif");
        QTest::newRow("control") << "a\tb.gif" << QByteArray("a&#9;b.gif");
        // Shown, not obeyed: the name cannot read as another.
        QTest::newRow("right-to-left override") << QString::fromUtf8("invoice\u202Efdp.jpg") << QByteArray("invoice\\u202efdp.jpg");
        QTest::newRow("isolate and mark") << QString::fromUtf8("a\u2066b\u200F.gif") << QByteArray("a\\u2066b\\u200f.gif");
        QTest::newRow("joiner kept") << QString::fromUtf8("a\u200Db.gif") << QByteArray("a&#8205;b.gif");
    }

    void visibleName()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, text);
        QCOMPARE(PageFormat::visibleName(name), text);
    }

    void imageSource_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("source");
        QTest::newRow("plain") << "My holiday (2), v1.jpg" << QByteArray("My holiday (2), v1.jpg");
        QTest::newRow("url specials") << "a#b%c?d.gif" << QByteArray("a%23b%25c%3Fd.gif");
        QTest::newRow("quotes") << "a\"b'c.gif" << QByteArray("a%22b%27c.gif");
        QTest::newRow("angles and backslash") << "<a>\\b.gif" << QByteArray("%3Ca%3E%5Cb.gif");
        QTest::newRow("ampersand") << "a&b.gif" << QByteArray("a&amp;b.gif");
        QTest::newRow("utf-8") << QString::fromUtf8("é.jpg") << QByteArray("%C3%A9.jpg");
        // Spaces at either end would be trimmed by the browser, a colon read as a scheme.
        QTest::newRow("spaces at the ends") << "  a b .gif " << QByteArray("%20%20a b .gif%20");
        QTest::newRow("only spaces and a name") << " gif" << QByteArray("%20gif");
        QTest::newRow("scheme-like") << "http:x.gif" << QByteArray("http%3Ax.gif");
        QTest::newRow("drive-like") << "c:photo.jpg" << QByteArray("c%3Aphoto.jpg");
    }

    void imageSource()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, source);
        QCOMPARE(PageFormat::imageSource(name), source);
    }

    void oddNamesReachThePage()
    {
        const QString name = QString::fromUtf8("Zoë & \"Ann\" #1 100%.jpg");
        QVERIFY(TestPictures::writeFile(m_temp->filePath(name), TestPictures::jpeg(10, 10)));
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices), RunOutcome::Completed);
        const QByteArray text = TestPictures::readFile(page(1));
        QVERIFY(text.contains(R"(<img src="Zo%C3%AB &amp; %22Ann%22 %231 100%25.jpg" width="12" height="12"> )"
                              "Zo&#235; &amp; &quot;Ann&quot; #1 100%.jpg  "));
        for (const char byte : text)
            QVERIFY(uchar(byte) < 0x80);
    }

    void readOnlyPageStopsTheRun()
    {
        makeGifs(15);
        QVERIFY(TestPictures::writeFile(page(2), "old page 2"));
        QVERIFY(QFile::setPermissions(page(2), QFile::ReadOwner | QFile::ReadGroup));
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices), RunOutcome::Failed);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures.size(), 1);
        QVERIFY(notices.failures.first().contains(QDir::toNativeSeparators(page(2))));
        QVERIFY(notices.failures.first().contains("read-only"));
        QVERIFY(TestPictures::readFile(page(1)).endsWith("</html>\r\n"));
        QCOMPARE(TestPictures::readFile(page(2)), QByteArray("old page 2"));
    }

    void readOnlyFolderWritesNothing()
    {
        makeGifs(3);
        QVERIFY(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices), RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), 1);
        QVERIFY(notices.failures.first().contains(QDir::toNativeSeparators(page(1))));
        QVERIFY(notices.failures.first().contains("folder is read-only"));
        QCOMPARE(pageCount(), 0);
    }

    void rewriteKeepsPermissionsAndHigherPages()
    {
        makeGifs(3);
        QVERIFY(TestPictures::writeFile(page(1), "old"));
        QVERIFY(TestPictures::writeFile(page(7), "left from a bigger folder"));
        QVERIFY(QFile::setPermissions(page(1), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices), RunOutcome::Completed);
        QVERIFY(TestPictures::readFile(page(1)).startsWith("<!DOCTYPE"));
        QCOMPARE(QFile::permissions(page(1)) & QFile::ReadOther, QFile::ReadOther);
        QCOMPARE(TestPictures::readFile(page(7)), QByteArray("left from a bigger folder"));
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden).filter(".htm").size(), 2);
    }

    void cancelledRunWritesNoPage()
    {
        makeGifs(5);
        std::atomic<bool> cancel = true;
        RecordingNotices notices;
        QCOMPARE(runGeneration(folder(), notices, nullptr, &cancel), RunOutcome::Cancelled);
        QCOMPARE(notices.completions + int(notices.failures.size()), 0);
        QCOMPARE(pageCount(), 0);
    }
};

QTEST_GUILESS_MAIN(PagesTest)
#include "tst_pages.moc"
