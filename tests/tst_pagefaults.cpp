// Page writing under faults: a read-only folder or page, a full disk, a
// write-size limit, and a folder that vanishes mid-run. After each, no page
// is half written, every page not rewritten keeps its bytes, the error names
// the file and the reason, and no temporary file is left behind.
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/SmallDisk.h"
#include "support/TestPictures.h"
#include "system/PageOutput.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using PageMap = QMap<QString, QByteArray>;

void writePictures(const QString &folder, int count)
{
    QVERIFY(PageFiles::writePictures(folder, count));
}

// The pages a clean run writes for count pictures, made in a folder of their own.
PageMap pagesOfCleanRun(int count)
{
    QTemporaryDir dir;
    writePictures(dir.path(), count);
    PageFiles::Recorder notices;
    runGeneration(dir.path(), notices);
    return PageFiles::pages(dir.path());
}

QString pagePath(const QString &folder, const QString &page)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(page));
}

bool setWritable(const QString &path, bool writable)
{
    QFile::Permissions permissions = QFile::permissions(path);
    const QFile::Permissions write = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    permissions = writable ? permissions | QFile::WriteOwner | QFile::WriteUser : permissions & ~write;
    return QFile::setPermissions(path, permissions);
}

// Each page is either exactly as it was or exactly the clean run's page.
void checkOldOrNew(const PageMap &now, const PageMap &before, const PageMap &clean)
{
    for (auto it = now.begin(); it != now.end(); ++it) {
        const bool old = before.value(it.key()) == it.value() && before.contains(it.key());
        const bool fresh = clean.value(it.key()) == it.value() && clean.contains(it.key());
        QVERIFY2(old || fresh, qPrintable(it.key() + QStringLiteral(" is neither the old page nor a whole new one")));
    }
    for (auto it = before.begin(); it != before.end(); ++it)
        QVERIFY2(now.contains(it.key()), qPrintable(it.key() + QStringLiteral(" was removed")));
}

} // namespace

class PageFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void readOnlyFolderWritesNothing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writePictures(dir.path(), 12);
        const PageMap before = PageFiles::writeOldPages(dir.path(), 1);
        QVERIFY(setWritable(dir.path(), false));
        PageFiles::Recorder notices;
        const RunOutcome outcome = runGeneration(dir.path(), notices);
        QVERIFY(setWritable(dir.path(), true));

        QCOMPARE(outcome, RunOutcome::Failed);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures,
                 QStringList{QStringLiteral("Cannot write %1: The folder is read-only.")
                                 .arg(pagePath(dir.path(), QStringLiteral("index1.htm")))});
        QCOMPARE(PageFiles::pages(dir.path()), before);
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
    }

    void blockedPageStopsTheRunThere_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::addColumn<bool>("asFolder"); // a folder of the page's name rather than a read-only page
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only first page") << "index1.htm" << false << "The file is read-only.";
        QTest::newRow("read-only second page") << "index2.htm" << false << "The file is read-only.";
        QTest::newRow("read-only last page") << "index3.htm" << false << "The file is read-only.";
        QTest::newRow("folder as second page") << "index2.htm" << true << "A folder of that name is in the way.";
    }

    void blockedPageStopsTheRunThere()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, asFolder);
        QFETCH(QString, reason);
        const PageMap clean = pagesOfCleanRun(25);
        QCOMPARE(clean.size(), 3);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writePictures(dir.path(), 25);
        PageMap before = PageFiles::writeOldPages(dir.path(), 4); // index4.htm is never rewritten
        const QString blockedPath = dir.filePath(blocked);
        if (asFolder) {
            QVERIFY(QFile::remove(blockedPath));
            before.remove(blocked);
            QVERIFY(QDir().mkdir(blockedPath));
        } else {
            QVERIFY(setWritable(blockedPath, false));
        }
        PageFiles::Recorder notices;
        const RunOutcome outcome = runGeneration(dir.path(), notices);
        if (!asFolder)
            QVERIFY(setWritable(blockedPath, true));

        QCOMPARE(outcome, RunOutcome::Failed);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures,
                 QStringList{QStringLiteral("Cannot write %1: %2").arg(pagePath(dir.path(), blocked), reason)});
        const PageMap after = PageFiles::pages(dir.path());
        checkOldOrNew(after, before, clean);
        // Pages before the blocked one are new; it and those after keep their old bytes.
        for (auto it = before.begin(); it != before.end(); ++it) {
            const bool rewritten = it.key().size() < blocked.size()
                || (it.key().size() == blocked.size() && it.key() < blocked);
            QCOMPARE(after.value(it.key()), rewritten ? clean.value(it.key()) : it.value());
        }
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
    }

    // A folder that vanishes while the run measures, or after: the run
    // fails on the first page and says so; there is nothing left to harm.
    void folderDeletedMidRun_data()
    {
        QTest::addColumn<int>("deleteAfterRead");
        QTest::newRow("after the first picture") << 1;
        QTest::newRow("after the fifth picture") << 5;
        QTest::newRow("after the last picture") << 12;
    }

    void folderDeletedMidRun()
    {
        QFETCH(int, deleteAfterRead);
        QTemporaryDir parent;
        QVERIFY(parent.isValid());
        const QString folder = parent.filePath(QStringLiteral("pictures"));
        QVERIFY(QDir().mkdir(folder));
        writePictures(folder, 12);

        class Deleter : public PageFiles::Recorder
        {
        public:
            Deleter(const QString &folder, int after) : m_folder(folder), m_after(after) {}
            void read(qint64 count, const QString &path) override
            {
                Recorder::read(count, path);
                if (count == m_after)
                    QDir(m_folder).removeRecursively();
            }

        private:
            QString m_folder;
            int m_after;
        } notices(folder, deleteAfterRead);

        QCOMPARE(runGeneration(folder, notices), RunOutcome::Failed);
        // Pictures are measured ahead of their notices, so some after the
        // deletion may still have been read in time.
        QVERIFY(notices.readCount >= deleteAfterRead);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures, QStringList{QStringLiteral("Cannot write %1: The folder no longer exists.")
                                                   .arg(pagePath(folder, QStringLiteral("index1.htm")))});
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void fullDiskKeepsEveryPageWhole_data()
    {
        QTest::addColumn<int>("freeBlocks"); // 4 KiB blocks left free: one holds one page
        QTest::addColumn<int>("oldPages");
        QTest::addColumn<QString>("failsAt");
        QTest::newRow("no room at all") << 0 << 1 << "index1.htm";
        QTest::newRow("room for one page") << 1 << 0 << "index2.htm";
        // Old pages are replaced only once every new one is written, so an old
        // index1.htm frees no room for index2.htm.
        QTest::newRow("room for one page and an old one") << 1 << 1 << "index2.htm";
    }

    void fullDiskKeepsEveryPageWhole()
    {
        QFETCH(int, freeBlocks);
        QFETCH(int, oldPages);
        QFETCH(QString, failsAt);
        const PageMap clean = pagesOfCleanRun(25);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const SmallDisk disk(dir.path());
        if (!disk.mounted())
            QSKIP("Mounting a 128 KiB tmpfs was refused (needs root and mount rights); the write-size limit case covers a full disk instead.");
        writePictures(dir.path(), 25);
        const PageMap before = PageFiles::writeOldPages(dir.path(), oldPages);
        QVERIFY(fillDisk(dir.path(), freeBlocks));

        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices), RunOutcome::Failed);
        QCOMPARE(notices.failures.size(), 1);
        const QString prefix = QStringLiteral("Cannot write %1: ").arg(pagePath(dir.path(), failsAt));
        QVERIFY2(notices.failures.first().startsWith(prefix), qPrintable(notices.failures.first()));
        QVERIFY2(notices.failures.first().contains(QLatin1String("No space left on device")),
                 qPrintable(notices.failures.first()));
        const PageMap after = PageFiles::pages(dir.path());
        checkOldOrNew(after, before, clean);
        QCOMPARE(after.contains(failsAt), before.contains(failsAt));
        QCOMPARE(after.value(failsAt), before.value(failsAt));
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList{QStringLiteral("filler")});
    }

    // A write the system cuts short must be reported with the system's reason.
    void shortWriteSaysWhy()
    {
#if defined(Q_OS_UNIX)
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const PageMap before = PageFiles::writeOldPages(dir.path(), 1);
        const QString path = dir.filePath(QStringLiteral("index1.htm"));

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const QString message = writeWholeFile(path, QByteArray(3000, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(message, QStringLiteral("Cannot write %1: File too large").arg(QDir::toNativeSeparators(path)));
        QCOMPARE(PageFiles::pages(dir.path()), before);
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
#else
        QSKIP("A file-size limit needs setrlimit.");
#endif
    }

    // Without root, a file-size limit on the program stands in for a full disk.
    void writeSizeLimitKeepsEveryPageWhole()
    {
#if defined(Q_OS_UNIX)
        const QString binary = qEnvironmentVariable("VIMBREL_BINARY");
        if (binary.isEmpty())
            QSKIP("VIMBREL_BINARY is not set; run this test through ctest.");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writePictures(dir.path(), 12);
        const PageMap before = PageFiles::writeOldPages(dir.path(), 2);

        QProcess program;
        program.setChildProcessModifier([] {
            // A page of ten pictures is well past 1000 bytes; a smaller write would pass.
            const rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN); // fail the write with EFBIG instead of killing the process
        });
        program.start(binary, {QStringLiteral("--generate"), dir.path()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString message = QString::fromLocal8Bit(program.readAllStandardError());
        const QString expected = QStringLiteral("vimbrel: Cannot write %1: File too large\n")
                                     .arg(pagePath(dir.path(), QStringLiteral("index1.htm")));
        QVERIFY2(message.endsWith(expected), qPrintable(message));
        QCOMPARE(PageFiles::pages(dir.path()), before);
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
#else
        QSKIP("A file-size limit needs setrlimit.");
#endif
    }
};

QTEST_GUILESS_MAIN(PageFaultsTest)
#include "tst_pagefaults.moc"
