// The headless run as a user starts it: a real process with no display.
#include "platform/ProgramInfo.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home; // stands in for the user's home and config folders

    Outcome runProgram(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("VIMBREL_BINARY"), arguments);
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("VIMBREL_BINARY")), "VIMBREL_BINARY names no program");
        QVERIFY(m_home.isValid());
    }

    void generatesWithoutDisplayOrSettings()
    {
        QTemporaryDir folder;
        for (int i = 0; i < 12; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.gif").arg(i, 2, 10, QChar('0'))),
                                            TestPictures::gif(5, 5)));
        QVERIFY(TestPictures::writeFile(folder.filePath("broken.jpg"), "not a picture"));
        const QString conf = m_home.filePath("config/Vimbrel/Vimbrel.conf");
        const QByteArray stored = "[Divers]\nPath=/somewhere/else\n";
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
        QVERIFY(TestPictures::writeFile(conf, stored));
        const Outcome outcome = runProgram({"--generate", folder.path()});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\n"));
        QVERIFY(outcome.err.contains("Read: 12"));
        QVERIFY(!outcome.err.contains("Read: 13"));
        const QString skipped = QStringLiteral("Skipped %1: ").arg(QDir::toNativeSeparators(folder.filePath("broken.jpg")));
        QVERIFY2(outcome.err.contains(skipped), qPrintable(outcome.err));
        QVERIFY(QFile::exists(folder.filePath("index2.htm")));
        QVERIFY(!QFile::exists(folder.filePath("index3.htm")));
        // The command line must not move the window's remembered folder.
        QFile settings(conf);
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QCOMPARE(settings.readAll(), stored);
    }

    void emptyFolderStillCompletes()
    {
        QTemporaryDir folder;
        const Outcome outcome = runProgram({"--generate", folder.path()});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\nNo picture in this folder: no page was written.\n"));
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    // Pages of an earlier, longer run may be the user's own: left alone, but named.
    void olderPagesAreNamed()
    {
        QTemporaryDir folder;
        for (int i = 0; i < 25; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.gif").arg(i, 2, 10, QChar('0'))),
                                            TestPictures::gif(5, 5)));
        for (const char *old : {"index4.htm", "index5.htm", "index12.htm", "index05.htm"})
            QVERIFY(TestPictures::writeFile(folder.filePath(old), "an old page"));
        const Outcome outcome = runProgram({"--generate", folder.path()});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\nOlder pages left as they were: index4.htm, index5.htm, index12.htm\n"));
        QCOMPARE(TestPictures::readFile(folder.filePath("index4.htm")), QByteArray("an old page"));
    }

    // A run that would write the same bytes leaves every page as it is.
    void unchangedRerunTouchesNoPage()
    {
        QTemporaryDir folder;
        for (int i = 0; i < 35; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0'))),
                                            TestPictures::jpeg(6, 4)));
        QCOMPARE(runProgram({"--generate", folder.path()}).exitCode, 0);
        const QDateTime past = QDateTime::currentDateTime().addDays(-3);
        QMap<QString, QByteArray> before;
        for (const QString &page : QDir(folder.path()).entryList({"index*.htm"})) {
            QFile file(folder.filePath(page));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
            before.insert(page, file.readAll());
        }
        QCOMPARE(before.size(), 4);
        QCOMPARE(runProgram({"--generate", folder.path()}).exitCode, 0);
        for (auto it = before.begin(); it != before.end(); ++it) {
            const QFileInfo page(folder.filePath(it.key()));
            QCOMPARE(page.lastModified(), past);
            QCOMPARE(TestPictures::readFile(page.filePath()), it.value());
        }
    }

    // Every page is made durable with one flush, not one flush a page.
    void manyPagesFewFlushes()
    {
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed (scripts/setup.sh installs it).");
        QTemporaryDir folder;
        for (int i = 0; i < 500; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.gif").arg(i, 3, 10, QChar('0'))),
                                            TestPictures::gif(3, 3)));
        QProcess process;
        // LeakSanitizer cannot work under a tracer; the flushes are what is counted here.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process.setProcessEnvironment(env);
        process.start(strace, {QStringLiteral("-f"), QStringLiteral("-c"), QStringLiteral("-e"),
                               QStringLiteral("trace=fsync,fdatasync,syncfs,sync,msync"), QStringLiteral("-o"),
                               folder.filePath("flushes.txt"), qEnvironmentVariable("VIMBREL_BINARY"),
                               QStringLiteral("--generate"), folder.path()});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QDir(folder.path()).entryList({"index*.htm"}).size(), 50);
        const QString summary = QString::fromUtf8(TestPictures::readFile(folder.filePath("flushes.txt")));
        // strace -c: "% time, seconds, usecs/call, calls, [errors,] syscall" a line.
        int flushes = 0;
        for (const QString &line : summary.split(QLatin1Char('\n'))) {
            const QStringList fields = line.simplified().split(QLatin1Char(' '));
            if (fields.size() >= 5 && QRegularExpression(QStringLiteral("^(f|fdata)?sync(fs)?$")).match(fields.last()).hasMatch())
                flushes += fields.at(3).toInt();
        }
        QVERIFY2(flushes >= 1 && flushes <= 3, qPrintable(summary));
        QFile::remove(folder.filePath("flushes.txt"));
    }

    // A usage error is told apart from a run that failed.
    void unknownOptionIsAUsageError()
    {
        const Outcome outcome = runProgram({"--bogus"});
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err, QStringLiteral("vimbrel: Unknown option 'bogus'.\n"));
    }

    void failuresNameTheFileAndExitNonZero()
    {
        QTemporaryDir folder;
        const QString missing = folder.filePath("nowhere");
        Outcome outcome = runProgram({"--generate", missing});
        QVERIFY(outcome.exitCode > 0);
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(outcome.err.contains(QDir::toNativeSeparators(missing)));
        QVERIFY(outcome.err.contains("does not exist"));
        QCOMPARE(outcome.err.count('\n'), 1);

        QVERIFY(TestPictures::writeFile(folder.filePath("a.gif"), TestPictures::gif(2, 2)));
        QVERIFY(TestPictures::writeFile(folder.filePath("index1.htm"), "keep me"));
        QVERIFY(QFile::setPermissions(folder.filePath("index1.htm"), QFile::ReadOwner));
        outcome = runProgram({"--generate", folder.path()});
        QVERIFY(outcome.exitCode > 0);
        QVERIFY(outcome.err.contains("index1.htm: The file is read-only."));
        QVERIFY(QFile::setPermissions(folder.filePath("index1.htm"), QFile::ReadOwner | QFile::WriteOwner));
        QFile kept(folder.filePath("index1.htm"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("keep me"));
    }

    void galleryIsChosenOnTheCommandLine()
    {
        QTemporaryDir folder;
        for (int i = 0; i < 5; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.jpg").arg(i)), TestPictures::jpeg(300, 200)));
        Outcome outcome = runProgram({"--generate", folder.path(), "--gallery", "--page-size", "2"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\n"));
        QVERIFY2(outcome.err.contains("Read: 5") && outcome.err.contains("Thumbnails: 5"), qPrintable(outcome.err));
        QVERIFY(TestPictures::readFile(folder.filePath("index1.htm")).startsWith("<!DOCTYPE html>"));
        QVERIFY(QFile::exists(folder.filePath("index3.htm")));
        QVERIFY(QFile::exists(folder.filePath("thumbnails/p4.jpg.jpg")));
        QVERIFY(!TestPictures::readFile(m_home.filePath("config/Vimbrel/Vimbrel.conf")).contains("PageStyle"));

        // Without --gallery the classic pages come back, over the gallery's.
        outcome = runProgram({"--generate", folder.path()});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(TestPictures::readFile(folder.filePath("index1.htm")).startsWith("<!DOCTYPE HTML PUBLIC"));
        QVERIFY(!outcome.err.contains("Thumbnails"));

        outcome = runProgram({"--generate", folder.path(), "--gallery", "--page-size", "0"});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY(outcome.err.contains("--page-size"));
        outcome = runProgram({"--help"});
        QVERIFY(outcome.out.contains("--gallery") && outcome.out.contains("--page-size <count>"));
    }

    void versionAndHelp()
    {
        Outcome outcome = runProgram({"--version"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out.trimmed(), QStringLiteral("Vimbrel ") + ProgramInfo::version());
        outcome = runProgram({"--help"});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.contains("--generate <folder>"));
        outcome = runProgram({"--bogus"});
        QVERIFY(outcome.exitCode > 0);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
