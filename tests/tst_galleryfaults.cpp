// Gallery runs under faults: killed at seeded random moments, and out of
// room mid-way. Every thumbnail and page left is whole, the temporaries a
// kill leaves are cleared by the next run, and that run ends as a clean one.
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/SmallDisk.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

using FileMap = QMap<QString, QByteArray>;

constexpr int killCount = 24;
constexpr quint32 killSeed = 0x9a11e7;
constexpr int webSize = 800; // copies smaller than the pictures, made in a fraction of the time of full-size ones
const QString thumbnails = QStringLiteral("vimbrel"); // the album: its images, pages and index

// Pictures large enough that making their thumbnails takes a while to kill into.
bool writePictures(const QString &folder, int count, int width)
{
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("photo%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        if (!TestPictures::writeFile(QDir(folder).filePath(name), TestPictures::jpeg(width + 8 * i, width * 3 / 4)))
            return false;
    }
    return true;
}

// Every file in folder and its sub-folders, by its path inside folder.
FileMap filesOf(const QString &folder)
{
    FileMap files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), TestPictures::readFile(path));
    }
    return files;
}

RunOutcome galleryRun(const QString &folder, PageFiles::Recorder &notices)
{
    PageOptions options;
    options.style = PageStyle::Gallery;
    options.galleryPageSize = 7;
    options.webSize = webSize;
    return runGeneration(folder, notices, nullptr, nullptr, options);
}

// A thumbnail is whole when it is byte for byte the one a clean run makes.
void checkWholeThumbnails(const FileMap &now, const FileMap &clean, const QString &when)
{
    static const QRegularExpression temporary(QStringLiteral(R"(^(.+\.(jpg|htm)|index\.txt)\.[A-Za-z0-9]{6}$)"));
    for (auto it = now.begin(); it != now.end(); ++it) {
        const QString where = when + QStringLiteral(": ") + it.key();
        if (clean.contains(it.key()) && it.key() != QLatin1String("index.txt")) {
            QVERIFY2(it.value() == clean.value(it.key()), qPrintable(where + QStringLiteral(" is half written")));
        } else if (it.key() == QLatin1String("index.txt")) {
            QVERIFY2(it.value().startsWith("vimbrel album") && it.value().endsWith('\n'),
                     qPrintable(where + QStringLiteral(" is not whole")));
        } else {
            const auto match = temporary.match(it.key());
            QVERIFY2(match.hasMatch(), qPrintable(where + QStringLiteral(" should not be there")));
            if (match.captured(1) != QLatin1String("index.txt"))
                QVERIFY2(clean.value(match.captured(1)).startsWith(it.value()), qPrintable(where));
        }
    }
}

void checkWholePages(const FileMap &now, const FileMap &clean, const QString &when)
{
    for (auto it = now.begin(); it != now.end(); ++it)
        QVERIFY2(it.value() == clean.value(it.key()), qPrintable(when + QStringLiteral(": ") + it.key() + QStringLiteral(" is not the whole page")));
}

} // namespace

class GalleryFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void killedRunsLeaveWholeFiles()
    {
        if (qEnvironmentVariableIsEmpty("VIMBREL_BINARY"))
            QSKIP("VIMBREL_BINARY is not set; run this test through ctest.");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir folder(dir.path());
        QVERIFY(writePictures(folder.path(), 40, 1600));

        // The clean run, timed from outside as the kills will be.
        const QStringList arguments{QStringLiteral("--generate"), QStringLiteral("--gallery"),
                                    QStringLiteral("--page-size"), QStringLiteral("7"), QStringLiteral("--web-size"),
                                    QString::number(webSize), folder.path()};
        QElapsedTimer whole;
        whole.start();
        QCOMPARE(QProcess::execute(qEnvironmentVariable("VIMBREL_BINARY"), arguments), 0);
        const qint64 runMicroseconds = qMax<qint64>(1000, whole.nsecsElapsed() / 1000);
        const FileMap cleanThumbnails = filesOf(folder.filePath(thumbnails));
        const FileMap cleanPages = PageFiles::pages(folder.path());
        QCOMPARE(cleanThumbnails.size(), 4 * 40 + 1); // small, large, web, page; the index
        QCOMPARE(cleanPages.size(), 6);

        QRandomGenerator random(killSeed);
        int leftovers = 0;
        for (int kill = 0; kill < killCount; ++kill) {
            // Every other kill starts afresh; the rest carry on from what the last one left.
            if (kill % 2 == 0) {
                QVERIFY(QDir(folder.filePath(thumbnails)).removeRecursively());
                for (const QString &page : cleanPages.keys()) {
                    QFile::remove(folder.filePath(page));
                    QVERIFY(!QFile::exists(folder.filePath(page)));
                }
            }
            const qint64 delay = random.bounded(runMicroseconds);
            QProcess program;
            program.start(qEnvironmentVariable("VIMBREL_BINARY"), arguments);
            QVERIFY(program.waitForStarted());
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            program.kill();
            QVERIFY(program.waitForFinished(60000));

            const QString when = QStringLiteral("kill %1 after %2 us").arg(kill).arg(delay);
            const FileMap now = filesOf(folder.filePath(thumbnails));
            checkWholeThumbnails(now, cleanThumbnails, when);
            checkWholePages(PageFiles::pages(folder.path()), cleanPages, when);
            for (auto it = now.begin(); it != now.end(); ++it)
                leftovers += cleanThumbnails.contains(it.key()) ? 0 : 1;
        }
        qInfo("%d kills (seed %#x, within %lld us); %d temporaries left by them", killCount, killSeed,
              runMicroseconds, leftovers);

        PageFiles::Recorder notices;
        QCOMPARE(galleryRun(folder.path(), notices), RunOutcome::Completed);
        const FileMap after = filesOf(folder.filePath(thumbnails));
        QCOMPARE(after.keys(), cleanThumbnails.keys());
        checkWholeThumbnails(after, cleanThumbnails, QStringLiteral("the run after the kills"));
        QCOMPARE(PageFiles::pages(folder.path()), cleanPages);
    }

    // Out of room among the thumbnails: the run fails naming one, keeps
    // every thumbnail whole, writes no page; with room again it completes.
    void fullDiskKeepsThumbnailsWhole()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Named as the other: the album's pages carry the folder's name.
        QTemporaryDir cleanParent;
        const QString cleanDir = cleanParent.filePath(QFileInfo(dir.path()).fileName());
        QVERIFY(QDir().mkpath(cleanDir));
        QVERIFY(writePictures(cleanDir, 12, 400));
        PageFiles::Recorder cleanNotices;
        QCOMPARE(galleryRun(cleanDir, cleanNotices), RunOutcome::Completed);
        const FileMap clean = filesOf(QDir(cleanDir).filePath(thumbnails));

        const SmallDisk disk(dir.path(), QStringLiteral("1m"));
        if (!disk.mounted())
            QSKIP("Mounting a small tmpfs was refused (needs root and mount rights).");
        QVERIFY(writePictures(dir.path(), 12, 400));
        QVERIFY(fillDisk(dir.path(), 6));

        PageFiles::Recorder notices;
        QCOMPARE(galleryRun(dir.path(), notices), RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), 1);
        const QString failure = notices.failures.first();
        QVERIFY2(failure.startsWith(QStringLiteral("Cannot write %1/").arg(QDir::toNativeSeparators(QDir(dir.path()).filePath(thumbnails)))),
                 qPrintable(failure));
        QVERIFY2(failure.contains(QLatin1String("No space left on device")), qPrintable(failure));
        const FileMap partial = filesOf(QDir(dir.path()).filePath(thumbnails));
        QVERIFY2(partial.size() < clean.size() - 1, "the disk did not fill among the thumbnails");
        for (auto it = partial.begin(); it != partial.end(); ++it) {
            QVERIFY2(clean.contains(it.key()), qPrintable(it.key() + QStringLiteral(" was left behind")));
            if (it.key() != QLatin1String("index.txt"))
                QVERIFY2(it.value() == clean.value(it.key()), qPrintable(it.key() + QStringLiteral(" is half written")));
        }
        QVERIFY(PageFiles::pages(dir.path()).isEmpty());

        QVERIFY(QFile::remove(QDir(dir.path()).filePath(QStringLiteral("filler"))));
        PageFiles::Recorder again;
        QCOMPARE(galleryRun(dir.path(), again), RunOutcome::Completed);
        const FileMap whole = filesOf(QDir(dir.path()).filePath(thumbnails));
        QCOMPARE(whole.keys(), clean.keys());
        checkWholeThumbnails(whole, clean, QStringLiteral("the run with room again"));
        QCOMPARE(PageFiles::pages(dir.path()).size(), 2);
    }

    // The picture pages and the index pages are made side by side, but put
    // in place in turn: when a picture page cannot be, no index page is
    // touched, one failure names the page, and no temporary stays.
    void aPicturePageRefusedLeavesTheIndexPagesAsTheyWere()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(writePictures(dir.path(), 9, 40));
        PageFiles::Recorder first;
        QCOMPARE(galleryRun(dir.path(), first), RunOutcome::Completed);
        const FileMap pagesBefore = PageFiles::pages(dir.path());
        QCOMPARE(pagesBefore.size(), 2);
        // A picture grown: its card and its page change. Where its page
        // goes stands a folder, which no page can replace.
        const QString changed = QStringLiteral("photo004.jpg");
        QVERIFY(TestPictures::writeFile(QDir(dir.path()).filePath(changed), TestPictures::jpeg(90, 60)));
        const QString page = QDir(dir.path()).filePath(thumbnails + QStringLiteral("/pages/") + changed + QStringLiteral(".htm"));
        QVERIFY(QFile::remove(page));
        QVERIFY(QDir().mkpath(page + QStringLiteral("/kept")));

        PageFiles::Recorder notices;
        QCOMPARE(galleryRun(dir.path(), notices), RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), 1);
        QVERIFY2(notices.failures.first().contains(changed + QStringLiteral(".htm")), qPrintable(notices.failures.first()));
        QCOMPARE(PageFiles::pages(dir.path()), pagesBefore);
        const QStringList left = QDir(dir.path()).entryList(QDir::Files);
        QVERIFY2(std::none_of(left.cbegin(), left.cend(), [](const QString &name) { return name.startsWith(u"index"_s) && !name.endsWith(u".htm"_s); }),
                 qPrintable(left.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(GalleryFaultsTest)
#include "tst_galleryfaults.moc"
