// The program killed while it writes pages, many times at seeded random
// moments: every page must be either its old bytes or the whole new page,
// pages the run does not reach keep their bytes, and no temporary file that
// looks like a page is left behind.
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/Sanitizers.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

namespace {

// A whole run takes a few seconds: one that hangs fails soon after.
constexpr int deadlineMs = Sanitizers::bound(15000);

using PageMap = QMap<QString, QByteArray>;

constexpr int pictureCount = 2000; // 200 pages: long enough to be killed in the middle
constexpr int oldPageCount = 230;  // pages 201 to 230 are never rewritten
constexpr int killCount = 40;
constexpr quint32 killSeed = 0x6b111ed;

void writePictures(const QString &folder)
{
    QVERIFY(PageFiles::writePictures(folder, pictureCount));
}

// Starts the program on folder and returns once it has measured every picture,
// that is when it starts writing pages.
bool startAndWaitForPages(QProcess &program, const QString &folder)
{
    program.setReadChannel(QProcess::StandardError);
    program.start(qEnvironmentVariable("VIMBREL_BINARY"), {QStringLiteral("--generate"), folder});
    const QByteArray lastRead = "Read: " + QByteArray::number(pictureCount) + '\n';
    QByteArray seen;
    while (!seen.endsWith(lastRead)) {
        if (!program.waitForReadyRead(deadlineMs))
            return false;
        seen += program.readAllStandardError();
        seen = seen.right(64);
    }
    return true;
}

struct KillCounts {
    int beforeFirstPage = 0;
    int midway = 0; // some pages new, some old
    int afterLastPage = 0;
    int leftoverTemporaries = 0;
};

} // namespace

class KilledRunTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VIMBREL_BINARY"))
            QSKIP("VIMBREL_BINARY is not set; run this test through ctest.");
        QVERIFY(m_folder.isValid());
        QVERIFY(m_cleanFolder.isValid());
        writePictures(m_folder.path());
        writePictures(m_cleanFolder.path());
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(m_cleanFolder.path(), notices), RunOutcome::Completed);
        m_clean = PageFiles::pages(m_cleanFolder.path());
        QCOMPARE(m_clean.size(), pictureCount / 10);
    }

    void wholeRunWritesEveryPage()
    {
        const PageMap old = PageFiles::writeOldPages(m_folder.path(), oldPageCount);
        QProcess program;
        QVERIFY(startAndWaitForPages(program, m_folder.path()));
        QElapsedTimer writing;
        writing.start();
        QVERIFY(program.waitForFinished(deadlineMs));
        m_writingMicroseconds = qMax<qint64>(1000, writing.nsecsElapsed() / 1000);
        QCOMPARE(program.exitCode(), 0);

        const PageMap after = PageFiles::pages(m_folder.path());
        for (auto it = old.begin(); it != old.end(); ++it)
            QCOMPARE(after.value(it.key()), m_clean.value(it.key(), it.value()));
        QCOMPARE(PageFiles::strayFiles(m_folder.path()), QStringList());
    }

    void killedRunLeavesEveryPageWhole()
    {
        QVERIFY(m_writingMicroseconds > 0);
        static const QRegularExpression temporary(QStringLiteral(R"(^(index\d+\.htm)\.[A-Za-z0-9]{6}$)"));
        QRandomGenerator random(killSeed);
        KillCounts counts;
        for (int kill = 0; kill < killCount; ++kill) {
            const PageMap old = PageFiles::writeOldPages(m_folder.path(), oldPageCount);
            const qint64 delay = random.bounded(m_writingMicroseconds);
            QProcess program;
            QVERIFY(startAndWaitForPages(program, m_folder.path()));
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            program.kill();
            QVERIFY(program.waitForFinished(deadlineMs));

            const PageMap after = PageFiles::pages(m_folder.path());
            QCOMPARE(after.size(), old.size());
            int fresh = 0;
            for (auto it = after.begin(); it != after.end(); ++it) {
                const bool isNew = m_clean.contains(it.key()) && it.value() == m_clean.value(it.key());
                QVERIFY2(isNew || it.value() == old.value(it.key()),
                         qPrintable(QStringLiteral("kill %1 after %2 us: %3 is half written").arg(kill).arg(delay).arg(it.key())));
                fresh += isNew ? 1 : 0;
            }
            if (fresh == 0)
                ++counts.beforeFirstPage;
            else if (fresh == m_clean.size())
                ++counts.afterLastPage;
            else
                ++counts.midway;

            // A run killed between creating a temporary and renaming it leaves
            // "index7.htm.AbC123": never a name ending in .htm, and holding
            // nothing but the start of that page (empty when the kill came
            // between creating and writing it).
            for (const QString &name : PageFiles::strayFiles(m_folder.path())) {
                const auto match = temporary.match(name);
                QVERIFY2(match.hasMatch(), qPrintable(name));
                QFile file(m_folder.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                const QByteArray held = file.readAll();
                QVERIFY2(m_clean.value(match.captured(1)).startsWith(held), qPrintable(name));
                file.close();
                QVERIFY(file.remove());
                ++counts.leftoverTemporaries;
            }
        }
        qInfo("%d kills (seed %#x, within %lld us of writing): %d before the first page, %d midway, %d after the "
              "last; %d leftover temporaries",
              killCount, killSeed, m_writingMicroseconds, counts.beforeFirstPage, counts.midway, counts.afterLastPage,
              counts.leftoverTemporaries);
        // Pages are put in place together, after one flush: most kills land
        // before the first is renamed, some after the last; all leave whole pages.
        QVERIFY2(counts.beforeFirstPage + counts.midway > 0, "no kill landed while pages were being written");
    }

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_cleanFolder;
    PageMap m_clean;
    qint64 m_writingMicroseconds = 0;
};

QTEST_GUILESS_MAIN(KilledRunTest)
#include "tst_killedrun.moc"
