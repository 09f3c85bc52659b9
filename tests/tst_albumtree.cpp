// Sub-folders as nested albums: which folders become albums, their
// breadcrumbs and sub-albums, every link leading somewhere, and the folders
// that are left alone, refused or fail while the others are still written.
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/TestPictures.h"
#include "system/FolderHandle.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

namespace {

PageOptions treeOptions()
{
    PageOptions options;
    options.style = PageStyle::Gallery;
    options.recursive = true;
    return options;
}

void writePicture(const QString &path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(TestPictures::writeFile(path, TestPictures::jpeg(60, 40)));
}

} // namespace

class AlbumTreeTest : public QObject
{
    Q_OBJECT

private slots:
    // The albums a tree gets, and what is left alone: hidden folders, folders
    // without pictures below them, links to folders (reported), the albums' own folders.
    void albumsOfATree_data()
    {
        QTest::addColumn<QStringList>("pictures"); // paths from the top
        QTest::addColumn<QStringList>("pages");    // index pages expected
        QTest::addColumn<int>("shown");            // pictures with a page of their own
        QTest::addColumn<QString>("refused");      // the folder named in a failure, or empty when the run completes
        QTest::newRow("nested") << QStringList{"top.jpg", "2026/Summer/Day 1/a.jpg", "2026/Winter/b.jpg"}
                                << QStringList{"2026/Summer/Day 1/index1.htm", "2026/Summer/index1.htm",
                                               "2026/Winter/index1.htm", "2026/index1.htm", "index1.htm"}
                                << 3 << QString();
        QTest::newRow("pictures only below") << QStringList{"a/b/c.jpg"}
                                             << QStringList{"a/b/index1.htm", "a/index1.htm", "index1.htm"} << 1 << QString();
        QTest::newRow("left alone") << QStringList{"p.jpg", ".hidden/h.jpg", "empty/deeper/notes.jpeg", "vimbrel/small/y.jpg"}
                                    << QStringList{"index1.htm"} << 1 << QString();
        QTest::newRow("awkward names") << QStringList{"a #1 & 50%/x.jpg", QString::fromUtf8("été/ü.jpg")}
                                       << QStringList{"a #1 & 50%/index1.htm", "index1.htm", QString::fromUtf8("été/index1.htm")}
                                       << 2 << QString();
        // Folders of the user's that bear the album's names are albums like any other.
        QTest::newRow("a folder of yours named vimbrel") << QStringList{"trip/vimbrel/a.jpg", "thumbnails/b.jpg"}
                                                         << QStringList{"index1.htm", "thumbnails/index1.htm", "trip/index1.htm", "trip/vimbrel/index1.htm"}
                                                         << 2 << QString();
        // Beside pictures it takes the album's place: that album alone fails, named.
        QTest::newRow("vimbrel beside pictures") << QStringList{"p.jpg", "vimbrel/a.jpg"} << QStringList{"vimbrel/index1.htm"}
                                                 << 1 << QStringLiteral(".");
    }

    void albumsOfATree()
    {
        QFETCH(QStringList, pictures);
        QFETCH(QStringList, pages);
        QFETCH(int, shown);
        QFETCH(QString, refused);
        QTemporaryDir dir;
        for (const QString &picture : pictures)
            writePicture(dir.filePath(picture));
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, treeOptions()),
                 refused.isEmpty() ? RunOutcome::Completed : RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), refused.isEmpty() ? 0 : 1);
        if (!refused.isEmpty())
            QVERIFY2(notices.failures.first().contains(QDir::toNativeSeparators(QDir::cleanPath(dir.filePath(refused)))), qPrintable(notices.failures.first()));
        QStringList index = PageFiles::pagesUnder(dir.path()).filter(QRegularExpression(QStringLiteral("(^|/)index\\d+\\.htm$")));
        QCOMPARE(index, pages);
        for (const QString &page : PageFiles::pagesUnder(dir.path())) {
            for (const QString &broken : PageFiles::brokenLinks(dir.path(), dir.filePath(page))) // none but crumbs up to the album that failed
                QVERIFY2(!refused.isEmpty() && broken.endsWith(" -> " + QDir::cleanPath(dir.filePath(refused)) + "/index1.htm"), qPrintable(broken));
        }
        QCOMPARE(PageFiles::pagesUnder(dir.path()).filter("vimbrel/pages/").size(), shown);
        // Only a folder with pictures of its own gets the album's folder of images.
        for (const QString &page : pages) {
            const QString folder = QFileInfo(page).path();
            for (const char *own : {"small", "large", "web", "pages"}) // nothing made in a folder of the user's
                QVERIFY(!QFileInfo::exists(dir.filePath(folder + "/" + own)));
            const bool own = std::any_of(pictures.begin(), pictures.end(),
                                         [&](const QString &picture) { return QFileInfo(picture).path() == folder; });
            QCOMPARE(QFileInfo::exists(dir.filePath(folder + "/vimbrel/index.txt")), own);
        }
    }

    // The breadcrumbs lead up, never above the top; the sub-albums count what is in them.
    void breadcrumbsAndCounts()
    {
        QTemporaryDir dir;
        for (const char *picture : {"2026/Summer/Day 1/a.jpg", "2026/Summer/Day 1/b.jpg", "2026/Summer/c.jpg", "2026/Winter/d.jpg"})
            writePicture(dir.filePath(picture));
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        const QString top = QFileInfo(dir.path()).fileName();
        QVERIFY(TestPictures::readFile(dir.filePath("2026/Summer/Day 1/index1.htm"))
                    .contains("<nav class=\"crumbs\"><a href=\"../../../index1.htm\">" + top.toUtf8()
                              + "</a> \u203A <a href=\"../../index1.htm\">2026</a> \u203A <a href=\"../index1.htm\">Summer</a> \u203A Day 1</nav>"));
        QVERIFY(!TestPictures::readFile(dir.filePath("index1.htm")).contains("class=\"crumbs\""));
        const QByteArray year = TestPictures::readFile(dir.filePath("2026/index1.htm"));
        QVERIFY(year.contains("<figcaption>Summer<br>3 pictures</figcaption>"));
        QVERIFY(year.contains("<figcaption>Winter<br>1 picture</figcaption>"));
        QVERIFY(year.indexOf("Summer") < year.indexOf("Winter"));
        QVERIFY(TestPictures::readFile(dir.filePath("index1.htm")).contains("<figcaption>2026<br>4 pictures</figcaption>"));
        // A card shows the album's own first picture; an album without one, its first sub-album's cover.
        QVERIFY(year.contains("<img src=\"Summer/vimbrel/small/c.jpg.jpg\""));
        QVERIFY(TestPictures::readFile(dir.filePath("index1.htm")).contains("<img src=\"2026/Summer/vimbrel/small/c.jpg.jpg\""));
        // A picture page's Escape goes to its own album; its crumbs reach the top.
        const QByteArray picture = TestPictures::readFile(dir.filePath("2026/Summer/vimbrel/pages/c.jpg.htm"));
        QVERIFY(picture.contains("<a href=\"../../../../index1.htm\">" + top.toUtf8() + "</a>"));
        QVERIFY(picture.contains("<a id=\"index\" href=\"../../index1.htm\">Summer</a>"));
    }

    // Sub-albums are cards as pictures are, first: --page-size counts both.
    void subAlbumsArePaged_data()
    {
        QTest::addColumn<int>("albums");
        QTest::addColumn<int>("pictures");
        QTest::addColumn<int>("pageSize");
        QTest::newRow("albums fill a page exactly") << 4 << 0 << 4;
        QTest::newRow("one album past a page") << 5 << 0 << 4;
        QTest::newRow("albums, then pictures on the same page") << 3 << 3 << 4;
        QTest::newRow("pictures begin a page") << 4 << 1 << 4;
        QTest::newRow("one card a page") << 2 << 2 << 1;
    }

    void subAlbumsArePaged()
    {
        QFETCH(int, albums);
        QFETCH(int, pictures);
        QFETCH(int, pageSize);
        QTemporaryDir dir;
        QStringList cards;
        for (int i = 0; i < albums; ++i)
            writePicture(dir.filePath(QStringLiteral("a%1/p.jpg").arg(i)));
        for (int i = 0; i < pictures; ++i)
            writePicture(dir.filePath(QStringLiteral("p%1.jpg").arg(i)));
        PageOptions options = treeOptions();
        options.galleryPageSize = pageSize;
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, options), RunOutcome::Completed);
        const int pages = (albums + pictures + pageSize - 1) / pageSize;
        QCOMPARE(PageFiles::pages(dir.path()).size(), pages);
        static const QRegularExpression card(QStringLiteral("<figure(?: class=\"album\")?><a href=\"([^\"]+)\""));
        for (int page = 1; page <= pages; ++page) {
            const QString text = QString::fromUtf8(TestPictures::readFile(dir.filePath(QStringLiteral("index%1.htm").arg(page))));
            for (auto it = card.globalMatch(text); it.hasNext();) {
                const QString link = it.next().captured(1);
                cards.append(link);
                if (link.startsWith("vimbrel/pages/")) // its picture page leads back to this page
                    QVERIFY(TestPictures::readFile(dir.filePath(link)).contains(QStringLiteral("href=\"../../index%1.htm\"").arg(page).toUtf8()));
            }
            QCOMPARE(int(cards.size()), std::min(page * pageSize, albums + pictures));
        }
        for (int i = 0; i < albums + pictures; ++i)
            QCOMPARE(cards.at(i), i < albums ? QStringLiteral("a%1/index1.htm").arg(i)
                                             : QStringLiteral("vimbrel/pages/p%1.jpg.htm").arg(i - albums));
    }

    // 64 folders deep is followed; the 65th is reported, as is a link to a folder, and neither is written.
    void depthAndLinks_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("followed");
        QTest::addColumn<bool>("bound"); // the top bound inside itself too: a loop no link shows
        QTest::newRow("64 deep") << 64 << true << false;
        QTest::newRow("65 deep") << 65 << false << false;
        QTest::newRow("bind mount loop") << 1 << true << true;
    }

    void depthAndLinks()
    {
        QFETCH(int, depth);
        QFETCH(bool, followed);
        QTemporaryDir dir, outside;
        QString deep = dir.path();
        for (int level = 0; level < depth; ++level)
            deep += QStringLiteral("/d");
        writePicture(deep + "/deep.jpg");
        writePicture(dir.filePath("top.jpg"));
        writePicture(outside.filePath("o.jpg"));
        QVERIFY(QFile::link(outside.path(), dir.filePath("away")));
        QVERIFY(QFile::link(dir.path(), dir.filePath("loop")));
        QFETCH(bool, bound);
        if (bound && (!QDir().mkpath(dir.filePath("d/bound")) || QProcess::execute("mount", {"--bind", dir.path(), dir.filePath("d/bound")}) != 0))
            QSKIP("mount --bind needs root");
        const auto unbind = qScopeGuard([&] { if (bound) QProcess::execute("umount", {dir.filePath("d/bound")}); });
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        QCOMPARE(QFile::exists(deep + "/index1.htm"), followed);
        QStringList reported;
        for (const SkippedFile &file : std::as_const(notices.skipped))
            reported.append(file.name);
        QVERIFY(reported.contains("away") && reported.contains("loop"));
        QCOMPARE(reported.contains("d/bound"), bound);
        QCOMPARE(reported.size(), (followed ? 2 : 3) + int(bound));
        QCOMPARE(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"o.jpg"});
    }

    // A folder that cannot be written, or that another run holds, is named;
    // the other albums are still written, and the run fails, never completes.
    void failingFolderStopsOnlyItself_data()
    {
        QTest::addColumn<bool>("busy"); // else immutable
        QTest::newRow("another run holds it") << true;
        QTest::newRow("cannot be written") << false;
    }

    void failingFolderStopsOnlyItself()
    {
        QFETCH(bool, busy);
        QTemporaryDir dir;
        for (const char *picture : {"a/p.jpg", "b/p.jpg", "c/p.jpg", "top.jpg"})
            writePicture(dir.filePath(picture));
        std::unique_ptr<FolderHandle> held;
        if (busy) {
            held = std::make_unique<FolderHandle>(FolderHandle::open(dir.filePath("b")));
            QCOMPARE(held->lockForRun(), QString());
        } else if (QProcess::execute("chattr", {"+i", dir.filePath("b")}) != 0) {
            QSKIP("chattr +i is not allowed here");
        }
        const auto mutableAgain = qScopeGuard([&] { QProcess::execute("chattr", {"-i", dir.filePath("b")}); });
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, treeOptions()), RunOutcome::Failed);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures.size(), 1);
        QVERIFY2(notices.failures.first().contains(QDir::toNativeSeparators(dir.filePath("b"))), qPrintable(notices.failures.first()));
        for (const char *written : {"a/index1.htm", "c/index1.htm", "index1.htm"})
            QVERIFY2(QFile::exists(dir.filePath(written)), written);
        QVERIFY(!QFile::exists(dir.filePath("b/index1.htm")));
    }

    // Stopped after an album changed and was written again, the tree leaves
    // every page with the images it shows, the album around it among them
    // (its old cover is kept), names the albums written, and writes nothing after.
    void stoppedTreeLeavesEveryPageWhole()
    {
        QTemporaryDir dir;
        for (const char *picture : {"a/p.jpg", "b/p.jpg", "c/p.jpg", "d/p.jpg"})
            writePicture(dir.filePath(picture));
        PageFiles::Recorder first;
        QCOMPARE(runGeneration(dir.path(), first, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        const QByteArray top = TestPictures::readFile(dir.filePath("index1.htm"));
        QVERIFY(QFile::remove(dir.filePath("b/p.jpg")));
        writePicture(dir.filePath("b/q.jpg"));
        writePicture(dir.filePath("d/r.jpg"));
        struct Canceller : PageFiles::Recorder {
            std::atomic<bool> cancel{false};
            int folders = 0;
            void read(qint64 count, const QString &path) override
            {
                Recorder::read(count, path);
                if (++folders == 3) // in c, once b is written
                    cancel.store(true);
            }
        } notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, &notices.cancel, treeOptions()), RunOutcome::Cancelled);
        QCOMPARE(notices.completions, 0);
        QVERIFY(TestPictures::readFile(dir.filePath("b/index1.htm")).contains("q.jpg"));
        QCOMPARE(TestPictures::readFile(dir.filePath("index1.htm")), top);
        QVERIFY(!TestPictures::readFile(dir.filePath("d/index1.htm")).contains("r.jpg"));
        for (const QString &page : PageFiles::pagesUnder(dir.path()))
            QVERIFY2(PageFiles::brokenLinks(dir.path(), dir.filePath(page)).isEmpty(), qPrintable(PageFiles::brokenLinks(dir.path(), dir.filePath(page)).join(' ')));
        QCOMPARE(notices.unfinished.size(), 1);
        QVERIFY2(notices.unfinished.first().contains(": 2 (a, b)"), qPrintable(notices.unfinished.first()));
        // The next run finishes it: the gone picture's files go once the top shows b's new cover.
        PageFiles::Recorder again;
        QCOMPARE(runGeneration(dir.path(), again, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        QCOMPARE(QDir(dir.filePath("b/vimbrel/small")).entryList(QDir::Files), QStringList{"q.jpg.jpg"});
        for (const QString &page : PageFiles::pagesUnder(dir.path()))
            QVERIFY2(PageFiles::brokenLinks(dir.path(), dir.filePath(page)).isEmpty(), qPrintable(PageFiles::brokenLinks(dir.path(), dir.filePath(page)).join(' ')));
    }

    // An unchanged re-run of a tree rewrites nothing.
    void unchangedTreeRewritesNothing()
    {
        QTemporaryDir dir;
        for (const char *picture : {"a/b/p.jpg", "a/q.jpg", "r.jpg"})
            writePicture(dir.filePath(picture));
        PageFiles::Recorder first;
        QCOMPARE(runGeneration(dir.path(), first, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        QMap<QString, QDateTime> times;
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            times.insert(path, QFileInfo(path).lastModified());
        }
        QTest::qWait(20);
        PageFiles::Recorder second;
        QCOMPARE(runGeneration(dir.path(), second, nullptr, nullptr, treeOptions()), RunOutcome::Completed);
        for (auto t = times.begin(); t != times.end(); ++t)
            QVERIFY2(QFileInfo(t.key()).lastModified() == t.value(), qPrintable(t.key()));
    }
};

QTEST_GUILESS_MAIN(AlbumTreeTest)
#include "tst_albumtree.moc"
