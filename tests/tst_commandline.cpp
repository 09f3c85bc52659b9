// The headless run as a user starts it: a real process with no display.
#include "app/CommandLine.h"
#include "app/ToolkitOptions.h"
#include "app/WindowStart.h"
#include "common/ProgramInfo.h"
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

    QProcessEnvironment noDisplay() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        return env;
    }

    Outcome runProgram(const QStringList &arguments, const QString &workingFolder = {})
    {
        QProcess process;
        process.setProcessEnvironment(noDisplay());
        if (!workingFolder.isEmpty())
            process.setWorkingDirectory(workingFolder);
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

    // Switching styles replaces the other style's pages by name; the classic
    // pages a gallery run does not reach are named, as older pages are.
    void switchingStylesNamesThePagesLeft()
    {
        QTemporaryDir folder;
        for (int i = 0; i < 25; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("p%1.gif").arg(i, 2, 10, QChar('0'))),
                                            TestPictures::gif(5 + i, 5)));
        QCOMPARE(runProgram({"--generate", folder.path()}).exitCode, 0);
        const QByteArray classicFirst = TestPictures::readFile(folder.filePath("index1.htm"));
        const QByteArray classicThird = TestPictures::readFile(folder.filePath("index3.htm"));

        const Outcome gallery = runProgram({"--generate", "--gallery", folder.path()});
        QCOMPARE(gallery.exitCode, 0);
        QCOMPARE(gallery.out, QStringLiteral("Completed\nOlder pages left as they were: index2.htm, index3.htm\n"));
        QVERIFY(TestPictures::readFile(folder.filePath("index1.htm")).startsWith("<!DOCTYPE html>"));
        QCOMPARE(TestPictures::readFile(folder.filePath("index3.htm")), classicThird);

        const Outcome classic = runProgram({"--generate", folder.path()});
        QCOMPARE(classic.out, QStringLiteral("Completed\n"));
        QCOMPARE(TestPictures::readFile(folder.filePath("index1.htm")), classicFirst);
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

    // The style may come between --generate and its folder, in either form.
    void galleryAfterGenerate()
    {
        for (const QStringList &options : {QStringList{"--generate", "--gallery"},
                                           QStringList{"--generate", "--page-size", "5", "--gallery"},
                                           QStringList{"--gallery", "--generate"}}) {
            QTemporaryDir folder;
            QVERIFY(TestPictures::writeFile(folder.filePath("a.jpg"), TestPictures::jpeg(30, 20)));
            const Outcome outcome = runProgram(options + QStringList{folder.path()});
            QCOMPARE(outcome.exitCode, 0);
            QVERIFY2(outcome.out.startsWith("Completed\n"), qPrintable(outcome.err));
            QVERIFY(TestPictures::readFile(folder.filePath("index1.htm")).startsWith("<!DOCTYPE html>"));
            QVERIFY(QFileInfo(folder.filePath("vimbrel/small")).isDir());
        }
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
        QVERIFY(QFile::exists(folder.filePath("vimbrel/small/p4.jpg.jpg")));
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

    // Without a display the window cannot open: said in one line, not a crash.
    void noDisplayIsAUsageError_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no argument") << QStringList();
        QTest::newRow("a folder") << QStringList{QDir::tempPath()};
        QTest::newRow("a Qt style") << QStringList{"-style", "fusion"};
        QTest::newRow("X11 asked for") << QStringList{"-platform", "xcb"};
    }

    void noDisplayIsAUsageError()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = runProgram(arguments);
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err,
                 QStringLiteral("vimbrel: no display found; vimbrel --generate FOLDER writes the pages without one.\n"));
        QVERIFY(outcome.out.isEmpty());
    }

    // Qt's own options reach Qt, and a folder after "--" may start with a dash.
    void windowTakesQtOptionsAndDashedFolders()
    {
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkdir("-dash-folder"));
        QProcess process;
        process.setProcessEnvironment(noDisplay());
        process.setWorkingDirectory(work.path());
        process.start(qEnvironmentVariable("VIMBREL_BINARY"),
                      {"-platform", "offscreen", "-style", "fusion", "-reverse", "--", "-dash-folder"});
        QVERIFY(process.waitForStarted());
        // A window stays open until closed: the program still running is the proof.
        const bool ended = process.waitForFinished(1000);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        if (!ended) {
            process.kill();
            QVERIFY(process.waitForFinished(10000));
        }
        QVERIFY2(!ended, qPrintable(err));
        QVERIFY2(!err.contains("vimbrel:"), qPrintable(err));

        // A folder that cannot be opened is named, and the window opens all the same.
        QProcess missing;
        missing.setProcessEnvironment(noDisplay());
        missing.setWorkingDirectory(work.path());
        missing.start(qEnvironmentVariable("VIMBREL_BINARY"), {"-platform", "offscreen", "--", "-not-there"});
        const bool missingEnded = missing.waitForFinished(1000);
        if (!missingEnded) {
            missing.kill();
            QVERIFY(missing.waitForFinished(10000));
        }
        QVERIFY(!missingEnded);
        const QString said = QString::fromLocal8Bit(missing.readAllStandardError());
        QVERIFY2(said.startsWith(QStringLiteral("vimbrel: Cannot open %1: The folder does not exist.\n")
                                     .arg(QDir::toNativeSeparators(work.filePath("-not-there")))),
                 qPrintable(said));
    }

    // Qt's options mean nothing without a window, and do not stop a run.
    void generateLetsQtOptionsPass()
    {
        QTemporaryDir folder;
        QVERIFY(TestPictures::writeFile(folder.filePath("a.gif"), TestPictures::gif(3, 3)));
        const Outcome outcome = runProgram({"-platform", "offscreen", "-reverse", "--generate", folder.path()});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\n"));
        QVERIFY(QFile::exists(folder.filePath("index1.htm")));
    }

    void everyFolderIsGeneratedInTurn_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "@x" is the folder x
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("summary"); // the last line on stderr; "" for none
        QTest::newRow("one") << QStringList{"--generate", "@A"} << QStringList{"A"} << 0 << "";
        QTest::newRow("after the option") << QStringList{"--generate", "@A", "@B", "@C"} << QStringList{"A", "B", "C"} << 0
                                          << "vimbrel: 3 of 3 folders done";
        QTest::newRow("option twice") << QStringList{"-g", "@A", "--generate", "@B"} << QStringList{"A", "B"} << 0
                                      << "vimbrel: 2 of 2 folders done";
        QTest::newRow("stops at a failure") << QStringList{"--generate", "@A", "@missing", "@B"} << QStringList{"A"} << 1
                                            << "vimbrel: 1 of 3 folders done; stopped at @missing";
        QTest::newRow("dashed after --") << QStringList{"--generate", "@A", "--", "-dashed"} << QStringList{"A", "-dashed"}
                                         << 0 << "vimbrel: 2 of 2 folders done";
    }

    void everyFolderIsGeneratedInTurn()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, written);
        QFETCH(int, exitCode);
        QFETCH(QString, summary);
        QTemporaryDir work;
        for (const char *name : {"A", "B", "C", "-dashed"}) {
            QVERIFY(QDir(work.path()).mkdir(name));
            QVERIFY(TestPictures::writeFile(QDir(work.filePath(name)).filePath("p.gif"), TestPictures::gif(3, 3)));
        }
        const QString at = QDir::toNativeSeparators(work.path()) + QDir::separator();
        for (QString &argument : arguments)
            argument.replace(QLatin1Char('@'), at);
        summary.replace(QLatin1Char('@'), at);

        const Outcome outcome = runProgram(arguments, work.path());
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.out, QStringLiteral("Completed\n").repeated(written.size()));
        const QStringList lines = outcome.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!summary.isEmpty())
            QCOMPARE(lines.last(), summary);
        else
            QVERIFY2(!outcome.err.contains(" folders done"), qPrintable(outcome.err));
        for (const char *name : {"A", "B", "C", "-dashed"}) {
            const bool pages = QFile::exists(QDir(work.filePath(name)).filePath("index1.htm"));
            QVERIFY2(pages == written.contains(QLatin1String(name)), name);
        }
    }

    // Every message starts with the program's name; usage errors exit with 2, failures with 1.
    void messagesAndExitCodes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString missing = QDir(m_home.path()).filePath("missing");
        QTest::newRow("nothing to do") << QStringList{"--gallery"} << 2 << "vimbrel: nothing to do";
        QTest::newRow("no folder") << QStringList{"--generate"} << 2 << "vimbrel: Missing value after '--generate'.";
        QTest::newRow("bad page size") << QStringList{"-g", m_home.path(), "--gallery", "--page-size", "x"} << 2
                                       << "vimbrel: --page-size takes";
        QTest::newRow("page size without gallery")
            << QStringList{"-g", m_home.path(), "--page-size", "5"} << 2
            << "vimbrel: --page-size applies to gallery pages only: add --gallery.";
        QTest::newRow("web size without gallery") << QStringList{"-g", m_home.path(), "--web-size", "800"} << 2
                                                  << "vimbrel: --web-size applies to gallery pages only: add --gallery.";
        QTest::newRow("order without gallery") << QStringList{"-g", m_home.path(), "--order", "date"} << 2
                                               << "vimbrel: --order applies to gallery pages only: add --gallery.";
        QTest::newRow("web size one past the largest")
            << QStringList{"-g", m_home.path(), "--gallery", "--web-size", "16385"} << 2
            << "vimbrel: --web-size takes a whole number from 0 to 16384.";
        QTest::newRow("web size below 0") << QStringList{"-g", m_home.path(), "--gallery", "--web-size", "-1"} << 2
                                          << "vimbrel: --web-size takes";
        QTest::newRow("sub-folders without gallery") << QStringList{"-g", m_home.path(), "--recursive"} << 2
                                                     << "vimbrel: --recursive applies to gallery pages only: add --gallery.";
        QTest::newRow("unknown order") << QStringList{"-g", m_home.path(), "--gallery", "--order", "size"} << 2
                                       << "vimbrel: --order takes name or date.";
        QTest::newRow("two folders for the window") << QStringList{"-platform", "offscreen", m_home.path(), m_home.path()}
                                                    << 2 << "vimbrel: the window opens one folder";
        QTest::newRow("run folder missing") << QStringList{"--generate", missing} << 1
                                            << "vimbrel: Cannot read " + QDir::toNativeSeparators(missing);
    }

    void messagesAndExitCodes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Outcome outcome = runProgram(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(outcome.err.startsWith(message), qPrintable(outcome.err));
    }

    // A truncated JPEG makes Qt's decoder warn while thumbnails are made:
    // none of it may break into the report.
    void qtWarningsStayOutOfTheReport()
    {
        QTemporaryDir folder;
        const QByteArray whole = TestPictures::jpeg(400, 300, 90);
        for (int i = 0; i < 4; ++i)
            QVERIFY(TestPictures::writeFile(folder.filePath(QStringLiteral("cut%1.jpg").arg(i)), whole.left(whole.size() / 2)));
        QVERIFY(TestPictures::writeFile(folder.filePath("whole.jpg"), whole));
        const Outcome outcome = runProgram({"--generate", folder.path(), "--gallery"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QStringLiteral("Completed\n"));
        for (const QString &line : outcome.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const bool ours = line.startsWith("Read: ") || line.startsWith("Thumbnails: ") || line.startsWith("Skipped ");
            QVERIFY2(ours, qPrintable(outcome.err));
        }
        QVERIFY(outcome.err.contains("Thumbnails: 5"));
    }

    void toolkitOptionsAreTakenOut_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("none") << QStringList{"vimbrel"} << QStringList{"vimbrel"} << false;
        QTest::newRow("platform and folder") << QStringList{"vimbrel", "-platform", "offscreen", "pics"}
                                             << QStringList{"vimbrel", "pics"} << false;
        QTest::newRow("two dashes, joined style") << QStringList{"vimbrel", "--platform", "xcb", "-style=fusion", "-reverse"}
                                                  << QStringList{"vimbrel"} << false;
        QTest::newRow("value that looks like an option") << QStringList{"vimbrel", "-title", "-g"}
                                                         << QStringList{"vimbrel"} << false;
        QTest::newRow("with --generate") << QStringList{"vimbrel", "-style", "fusion", "--generate", "pics"}
                                         << QStringList{"vimbrel", "--generate", "pics"} << true;
        QTest::newRow("after --") << QStringList{"vimbrel", "--", "-platform", "-g"}
                                  << QStringList{"vimbrel", "--", "-platform", "-g"} << false;
        QTest::newRow("unknown") << QStringList{"vimbrel", "-platforms"} << QStringList{"vimbrel", "-platforms"} << true;
    }

    void toolkitOptionsAreTakenOut()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, kept);
        QFETCH(bool, commandLine);
        QCOMPARE(ToolkitOptions::removed(arguments), kept);
        QCOMPARE(CommandLine::wanted(arguments), commandLine);
    }

    void displayIsFound_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("x11");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<bool>("window");
        const QStringList none{"vimbrel"};
        QTest::newRow("nothing") << none << "" << "" << "" << false;
        QTest::newRow("X11") << none << "" << ":0" << "" << true;
        QTest::newRow("Wayland") << none << "" << "" << "wayland-0" << true;
        QTest::newRow("offscreen by variable") << none << "offscreen" << "" << "" << true;
        QTest::newRow("xcb by variable, no X11") << none << "xcb" << "" << "wayland-0" << false;
        QTest::newRow("xcb by variable, X11") << none << "xcb" << ":1" << "" << true;
        QTest::newRow("a list with a fallback") << none << "xcb;offscreen" << "" << "" << true;
        QTest::newRow("argument over variable") << QStringList{"vimbrel", "-platform", "offscreen"} << "xcb" << "" << ""
                                                << true;
        QTest::newRow("xcb by argument") << QStringList{"vimbrel", "-platform", "xcb"} << "" << "" << "" << false;
        QTest::newRow("display by argument") << QStringList{"vimbrel", "-display", ":0"} << "" << "" << "" << true;
    }

    void displayIsFound()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QFETCH(QString, x11);
        QFETCH(QString, wayland);
        QFETCH(bool, window);
        QCOMPARE(canShowWindow(arguments, {platform, x11, wayland}), window);
    }

    void versionAndHelp()
    {
        Outcome outcome = runProgram({"--version"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out.trimmed(), QStringLiteral("Vimbrel ") + ProgramInfo::version());
        outcome = runProgram({"--help"});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.contains("--generate <folder>"));
        QVERIFY(outcome.out.contains("[folder...]") && outcome.out.contains("Exit status: 0 done, 1 a run failed"));
        outcome = runProgram({"--bogus"});
        QVERIFY(outcome.exitCode > 0);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_commandline.moc"
