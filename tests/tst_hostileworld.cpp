// The world around a run, as a hostile or careless user makes it: pictures
// built to exhaust the decoder, the folder moved mid-run, signals, a second
// run, links planted in a shared folder, pictures changed behind an
// unchanged size and time, a crafted thumbnail index, long reports.
#include "catalogue/PictureMeasuring.h"
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/Sanitizers.h"
#include "support/TestPictures.h"
#include "system/FolderHandle.h"
#include "system/NativeName.h"
#include "system/PictureFolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Every run here takes a second or two: one that hangs fails in seconds.
constexpr int deadlineMs = Sanitizers::bound(10000);

struct Run {
    int exitCode = -1; // -1: did not end by itself before the deadline
    QString out;
    QString err;
    qint64 peakKb = 0;
};

// Runs the program under GNU time, which gives its peak memory on the last line of stderr.
Run runProgram(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("/usr/bin/time"),
                  QStringList{"-f", "%M", qEnvironmentVariable("VIMBREL_BINARY")} + arguments);
    if (!process.waitForFinished(deadlineMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    Run run{process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
    QStringList lines = run.err.trimmed().split(QLatin1Char('\n'));
    run.peakKb = lines.takeLast().toLongLong();
    run.err = lines.join(QLatin1Char('\n'));
    return run;
}

// A JPEG behind hundreds of megabytes of comment segments, written sparse: the comments cost no disk.
bool writeCommentStuffed(const QString &path, qint64 commentBytes)
{
    const QByteArray picture = TestPictures::jpeg(64, 48);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(picture.left(2)) != 2)
        return false;
    for (qint64 written = 0; written < commentBytes; written += 65537) {
        if (file.write("\xFF\xFE\xFF\xFF", 4) != 4 || !file.seek(file.pos() + 65533))
            return false;
    }
    return file.write(picture.mid(2)) == picture.size() - 2;
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// Waits until the running program has said it has reached a phase (a count
// on stderr); returns what it said. Read from stderr: waiting on stdout would
// wait for the "Completed" at the end of the run.
QByteArray waitForProgress(QProcess &program, const QByteArray &phase = "Read: ")
{
    program.setReadChannel(QProcess::StandardError);
    QByteArray said;
    while (!said.contains(phase) && program.waitForReadyRead(deadlineMs))
        said += program.readAllStandardError();
    return said;
}

#ifdef Q_OS_UNIX
// Waits until the process is frozen by SIGSTOP: from then on it writes nothing more.
bool waitUntilStopped(pid_t pid)
{
    const QString stat = QStringLiteral("/proc/%1/stat").arg(pid);
    for (int waited = 0; waited < deadlineMs; waited += 5) {
        const QByteArray line = TestPictures::readFile(stat);
        const qsizetype state = line.lastIndexOf(") ") + 2; // the name in parentheses may hold anything
        if (state >= 2 && state < line.size() && line.at(state) == 'T')
            return true;
        QThread::msleep(5);
    }
    return false;
}
#endif

} // namespace

class HostileWorldTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_many; // the classic signal rows' pictures, written once

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("VIMBREL_BINARY")), "VIMBREL_BINARY names no program");
        QVERIFY2(QFile::exists("/usr/bin/time"), "GNU time is missing (scripts/setup.sh test installs it)");
    }

    // Two copies, one for each core: together they must stay within the run's memory.
    void decoderBombsStayWithinBudget_data()
    {
        QTest::addColumn<QByteArray>("bomb");
        QTest::addColumn<qint64>("stuffing");
        QTest::addColumn<bool>("thumbnailed");
        QTest::newRow("progressive 23000 x 23000, 4 scans") << TestPictures::progressiveClaiming(23000, 23000, 4) << 0ll << false;
        QTest::newRow("progressive 13000 x 13000, 2000 scans") << TestPictures::progressiveClaiming(13000, 13000, 2000) << 0ll << false;
        QTest::newRow("progressive 4000 x 4000, 2000 scans") << TestPictures::progressiveClaiming(4000, 4000, 2000) << 0ll << false;
        QTest::newRow("progressive 2000 x 1500, 10 scans") << TestPictures::progressiveClaiming(2000, 1500, 10) << 0ll << true;
        QTest::newRow("baseline 23000 x 23000") << TestPictures::jpegClaiming(23000, 23000) << 0ll << true;
        QTest::newRow("196 MB of comments") << QByteArray() << 196ll * 1000 * 1000 << true;
        // Qt's readers decode the other formats whole: each takes its memory from the same budget.
        // Qt's reader takes no BMP past 16384 x 16384 pixels.
        for (const auto &[format, side] : {std::pair{"gif", 20000}, {"png", 20000}, {"bmp", 16000}, {"webp", 20000}})
            QTest::addRow("%s %d x %d behind a JPEG's name", format, side, side) << TestPictures::claiming(format, side, side) << 0ll << false;
        // Each fits the budget alone, two do not: the second waits until the first's images are made.
        QImage plain(5000, 5000, QImage::Format_RGB32);
        plain.fill(Qt::darkCyan);
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && plain.save(&buffer, "png"));
        QTest::newRow("two PNGs of 5000 x 5000, made") << png << 0ll << true;
    }

    void decoderBombsStayWithinBudget()
    {
        QFETCH(QByteArray, bomb);
        QFETCH(qint64, stuffing);
        QFETCH(bool, thumbnailed);
        if (bomb.startsWith("RIFF") && !QImageReader::supportedImageFormats().contains("webp"))
            QSKIP("Qt here has no WebP reader (qt6-image-formats-plugins): the gallery cannot decode one at all.");
        QTemporaryDir dir;
        for (const char *name : {"bomb1.jpg", "bomb2.jpg"})
            QVERIFY(stuffing > 0 ? writeCommentStuffed(dir.filePath(name), stuffing) : TestPictures::writeFile(dir.filePath(name), bomb));
        QVERIFY(TestPictures::writeFile(dir.filePath("good.jpg"), TestPictures::jpeg(640, 480)));

        const Run gallery = runProgram({"--generate", "--gallery", dir.path()});
        QCOMPARE(gallery.exitCode, 0);
        // The address sanitizer's shadow memory and quarantine alone take more than the bound.
        // Two plain PNGs of 100 MB each decode one at a time, the memory held until their images are made.
        const qint64 boundMb = bomb.startsWith("\x89PNG") && thumbnailed ? 176 : 256;
        if (!Sanitizers::active)
            QVERIFY2(gallery.peakKb < boundMb * 1024, qPrintable(QStringLiteral("peak %1 kB").arg(gallery.peakKb)));
        QVERIFY(QFile::exists(dir.filePath("vimbrel/small/good.jpg.jpg")));
        QCOMPARE(QFile::exists(dir.filePath("vimbrel/small/bomb1.jpg.jpg")), thumbnailed);
        // What the gallery leaves out, the classic pages list: the report says why the two differ.
        const QString skipped = QStringLiteral("Skipped %1: ").arg(QDir::toNativeSeparators(dir.filePath("bomb1.jpg")));
        QCOMPARE(gallery.err.contains(skipped), !thumbnailed);
        if (!thumbnailed)
            QVERIFY2(gallery.err.contains("the classic pages, which decode nothing, still list it", Qt::CaseInsensitive),
                     qPrintable(gallery.err));
        const Run classic = runProgram({"--generate", dir.path()});
        QCOMPARE(classic.exitCode, 0);
        QVERIFY(TestPictures::readFile(dir.filePath("index1.htm")).contains("<img src=\"bomb1.jpg\""));
    }

    // The folder moved away and a link to another left in its place: not
    // one write goes there; the run ends in the folder it opened.
    void folderMovedMidRunWritesNowhereElse_data()
    {
        QTest::addColumn<QStringList>("style");
        QTest::addColumn<int>("pictures");
        QTest::newRow("classic") << QStringList() << 6000;
        QTest::newRow("gallery") << QStringList{"--gallery"} << 1000;
    }

    void folderMovedMidRunWritesNowhereElse()
    {
        QFETCH(QStringList, style);
        QFETCH(int, pictures);
        QTemporaryDir dir;
        const QString folder = dir.filePath("album"), moved = dir.filePath("album.moved"), victim = dir.filePath("victim");
        QVERIFY(QDir().mkpath(folder) && QDir().mkpath(victim));
        QVERIFY(PageFiles::writePictures(folder, pictures));
        QVERIFY(TestPictures::writeFile(victim + "/index1.htm", "the victim's own page"));
        QProcess program;
        program.start(qEnvironmentVariable("VIMBREL_BINARY"), QStringList{"--generate"} + style + QStringList{folder});
        QVERIFY(waitForProgress(program).contains("Read: "));
        QVERIFY(QDir().rename(folder, moved));
        QVERIFY(QFile::link(victim, folder));
        QVERIFY(program.waitForFinished(deadlineMs));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(namesIn(victim), QStringList{"index1.htm"});
        QCOMPARE(TestPictures::readFile(victim + "/index1.htm"), QByteArray("the victim's own page"));
        QVERIFY(TestPictures::readFile(moved + "/index1.htm").contains("p0000.gif"));
        QCOMPARE(QFile::exists(moved + "/vimbrel/small/p0000.gif.jpg"), !style.isEmpty());
    }

#ifdef Q_OS_UNIX
    // A signal while the run is mid-way, measuring or making thumbnails: the
    // run says so on one line, exits with 128 and its number, and leaves the
    // pages as they were with no temporary. The program is frozen before the
    // signal is sent, so the test knows where the run stood when it came.
    void signalMidRunLeavesTheOldPages_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("style");
        for (const auto &[signal, name] : {std::pair{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}}) {
            QTest::addRow("%s, classic, measuring", name) << signal << QString::fromLatin1(name) << QStringList();
            QTest::addRow("%s, gallery, making thumbnails", name) << signal << QString::fromLatin1(name) << QStringList{"--gallery"};
        }
    }

    void signalMidRunLeavesTheOldPages()
    {
        QFETCH(int, signal);
        QFETCH(QString, name);
        QFETCH(QStringList, style);
        const bool gallery = !style.isEmpty();
        // Measuring a tiny GIF takes microseconds; making its thumbnails, a millisecond.
        const int pictures = gallery ? 1000 : 6000;
        // A cancelled classic run changes nothing, so its rows share one folder.
        QTemporaryDir own;
        const QString folder = gallery ? own.path() : m_many.path();
        if (gallery || !QFile::exists(m_many.filePath("p0000.gif")))
            QVERIFY(PageFiles::writePictures(folder, pictures));
        const QMap<QString, QByteArray> old = PageFiles::writeOldPages(folder, 60);

        QProcess program;
        program.start(qEnvironmentVariable("VIMBREL_BINARY"), QStringList{"--generate"} + style + QStringList{folder});
        const QByteArray phase = gallery ? "Thumbnails: " : "Read: ";
        QByteArray said = waitForProgress(program, phase);
        QVERIFY2(said.contains(phase), said.constData());
        const pid_t pid = pid_t(program.processId());
        QVERIFY(pid > 0 && ::kill(pid, SIGSTOP) == 0);
        auto resume = qScopeGuard([pid] { ::kill(pid, SIGCONT); });
        QVERIFY(waitUntilStopped(pid));
        while (program.waitForReadyRead(200)) // what it said before it froze
            said += program.readAllStandardError();
        // Where the run stood: fewer pictures measured, or thumbnails on disk, than the folder holds.
        qint64 reached = 0;
        if (gallery) {
            reached = QDir(folder + "/vimbrel/small").entryList(QDir::Files).size();
        } else {
            auto counts = QRegularExpression("Read: (\\d+)").globalMatch(QString::fromLatin1(said));
            while (counts.hasNext())
                reached = counts.next().captured(1).toLongLong();
        }
        QVERIFY2(reached < pictures / 2, qPrintable(QStringLiteral("the run had reached %1 of %2").arg(reached).arg(pictures)));

        QCOMPARE(::kill(pid, signal), 0);
        resume.dismiss();
        ::kill(pid, SIGCONT);
        QVERIFY(program.waitForFinished(deadlineMs));
        said += program.readAllStandardError();
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == 128 + signal,
                 qPrintable(QStringLiteral("exit code %1: %2").arg(program.exitCode()).arg(QString::fromLocal8Bit(said.right(2000)))));
        QCOMPARE(QString::fromLocal8Bit(said).trimmed().split('\n').last(),
                 QStringLiteral("vimbrel: stopped by %1; the pages of this folder are as they were.").arg(name));
        QVERIFY(!program.readAllStandardOutput().contains("Completed"));
        QCOMPARE(PageFiles::pages(folder), old);
        QCOMPARE(PageFiles::strayFiles(folder), gallery ? QStringList{"vimbrel"} : QStringList());
    }
#endif

    // A second run on a folder another run holds stops at once, naming the
    // folder, and touches nothing, not even the other run's temporaries;
    // once free, a run clears what a killed run left, and only that.
    void oneRunAtATime_data()
    {
        QTest::addColumn<QStringList>("style");
        QTest::newRow("classic") << QStringList();
        QTest::newRow("gallery") << QStringList{"--gallery"};
    }

    void oneRunAtATime()
    {
        QFETCH(QStringList, style);
        QTemporaryDir dir;
        QVERIFY(PageFiles::writePictures(dir.path(), 3) && QDir(dir.path()).mkpath("vimbrel/small"));
        const QStringList temporaries{"index1.htm.Ab12Cd", "index3000.htm.zzzzzz", "vimbrel/small/p0000.gif.jpg.Ab12Cd"};
        const QStringList lookAlikes{"index1.htm.Ab12C", "index01.htm.Ab12Cd", "index0.htm.Ab12Cd", "xindex1.htm.Ab12Cd",
                                     "index1.htm.Ab12Cd.bak", "index1.htm.Ab-2Cd", "index1.html.Ab12Cd"};
        for (const QString &name : temporaries + lookAlikes)
            QVERIFY(TestPictures::writeFile(dir.filePath(name), "x"));
        const QStringList before = namesIn(dir.path());
        auto other = std::make_unique<FolderHandle>(FolderHandle::open(dir.path()));
        QCOMPARE(other->lockForRun(), QString());

        const QStringList arguments = QStringList{"--generate"} + style + QStringList{dir.path()};
        const Run refused = runProgram(arguments);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QDir::toNativeSeparators(dir.path())) && refused.err.contains("Another run"),
                 qPrintable(refused.err));
        QCOMPARE(namesIn(dir.path()), before);
        QVERIFY(QFile::exists(dir.filePath(temporaries.last())));

        other.reset();
        QCOMPARE(runProgram(arguments).exitCode, 0);
        for (const QString &name : temporaries)
            QVERIFY2(!QFile::exists(dir.filePath(name)) || (style.isEmpty() && name.startsWith("vimbrel")), qPrintable(name));
        for (const QString &name : lookAlikes)
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
    }

#ifdef Q_OS_UNIX
    // A link is followed only when it is the user's own or its target's
    // owner's, for either style; the user's own links keep working.
    void linksFollowedOnlyForTheirOwner_data()
    {
        QTest::addColumn<uid_t>("linkOwner");
        QTest::addColumn<uid_t>("targetOwner");
        QTest::addColumn<bool>("followed");
        const uid_t me = geteuid(), other = 65534;
        QTest::newRow("mine to mine") << me << me << true;
        QTest::newRow("another's to mine") << other << me << false;
        QTest::newRow("another's to theirs") << other << other << true;
        QTest::newRow("mine to another's") << me << other << true;
    }

    void linksFollowedOnlyForTheirOwner()
    {
        if (geteuid() != 0)
            QSKIP("giving a link to another user needs root");
        QFETCH(uid_t, linkOwner);
        QFETCH(uid_t, targetOwner);
        QFETCH(bool, followed);
        QTemporaryDir shared, privateDir;
        const QString target = privateDir.filePath("private.jpg"), link = shared.filePath("holiday.jpg");
        QVERIFY(TestPictures::writeFile(target, TestPictures::jpeg(40, 30)) && QFile::link(target, link));
        QVERIFY(::chown(target.toLocal8Bit(), targetOwner, 0) == 0 && ::lchown(link.toLocal8Bit(), linkOwner, 0) == 0);
        for (const PageStyle style : {PageStyle::Classic, PageStyle::Gallery}) {
            PageFiles::Recorder notices;
            PageOptions options;
            options.style = style;
            QCOMPARE(runGeneration(shared.path(), notices, nullptr, nullptr, options), RunOutcome::Completed);
            QCOMPARE(TestPictures::readFile(shared.filePath("index1.htm")).contains("holiday.jpg"), followed);
            QCOMPARE(notices.skipped.size(), followed ? 0 : 1);
            if (!followed)
                QVERIFY(notices.skipped.first().reason.contains("another user"));
        }
        QCOMPARE(QFile::exists(shared.filePath("vimbrel/small/holiday.jpg.jpg")), followed);
    }

    // What the listing said of a name no longer holds when it is opened.
    void listedAsAFileFoundOtherwise_data()
    {
        QTest::addColumn<QString>("now"); // what the name is when it is opened
        QTest::addColumn<QString>("error");
        QTest::newRow("gone") << "" << "The file no longer exists.";
        QTest::newRow("a link to my picture") << "real.jpg" << "";
        QTest::newRow("a link to itself") << "p.jpg" << "It is a link that leads round in a loop.";
    }

    void listedAsAFileFoundOtherwise()
    {
        QFETCH(QString, now);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(TestPictures::writeFile(dir.filePath("real.jpg"), TestPictures::jpeg(40, 30)));
        QVERIFY(now.isEmpty() || QFile::link(now, dir.filePath("p.jpg")));
        const Measurement measured = measureIn(PictureFolder(dir.path()), "p.jpg", true);
        QCOMPARE(measured.error, error);
        QCOMPARE(measured.size, error.isEmpty() ? QSize(40, 30) : QSize());
    }

    // A picture changed with its length and modification time put back has
    // a new change time: its thumbnail is made again, once.
    void changedBehindSameSizeAndTime_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("rewritten in place") << false;
        QTest::newRow("replaced by another file") << true;
    }

    void changedBehindSameSizeAndTime()
    {
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString picture = dir.filePath("p.jpg");
        const QByteArray landscape = TestPictures::withExifOrientation(TestPictures::jpeg(300, 200), 1);
        QVERIFY(TestPictures::writeFile(picture, landscape));
        PageOptions options;
        options.style = PageStyle::Gallery;
        PageFiles::Recorder first;
        QCOMPARE(runGeneration(dir.path(), first, nullptr, nullptr, options), RunOutcome::Completed);
        QCOMPARE(QImageReader(dir.filePath("vimbrel/small/p.jpg.jpg")).size(), QSize(256, 171));

        struct stat before;
        QVERIFY(::stat(picture.toLocal8Bit(), &before) == 0);
        QByteArray portrait = landscape;
        portrait[portrait.indexOf(QByteArray("\x01\x12\x00\x03", 4)) + 9] = 6; // the orientation's value
        QVERIFY(TestPictures::writeFile(replaced ? picture + ".new" : picture, portrait));
        QVERIFY(!replaced || (QFile::remove(picture) && QFile::rename(picture + ".new", picture)));
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, picture.toLocal8Bit(), times, 0) == 0);

        PageFiles::Recorder second;
        QCOMPARE(runGeneration(dir.path(), second, nullptr, nullptr, options), RunOutcome::Completed);
        QCOMPARE(QImageReader(dir.filePath("vimbrel/small/p.jpg.jpg")).size(), QSize(171, 256));
    }
#endif

    // An index names pictures; a gone picture's files are named from its
    // name alone, and a name with a folder part is no picture's.
    void craftedIndexRemovesOnlyAlbumFiles_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("file"); // relative to the album folder
        QTest::addColumn<bool>("removed");
        QTest::newRow("its own thumbnail") << "gone.jpg" << "small/gone.jpg.jpg" << true;
        QTest::newRow("its own page") << "gone.jpg" << "pages/gone.jpg.htm" << true;
        QTest::newRow("a note of the user's") << "notes.txt" << "notes.txt" << false;
        QTest::newRow("up and out") << "../notes.txt" << "notes.txt.jpg" << false;
        QTest::newRow("up twice") << "../../index1.htm" << "../index1.htm.jpg" << false;
    }

    void craftedIndexRemovesOnlyAlbumFiles()
    {
        QFETCH(QString, picture);
        QFETCH(QString, file);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        for (const char *folder : {"vimbrel/small", "vimbrel/pages"})
            QVERIFY(QDir(dir.path()).mkpath(folder));
        QVERIFY(TestPictures::writeFile(dir.filePath("vimbrel/" + file), "the user's"));
        const QByteArray index = "vimbrel album 1 box 256 web 2048\n" + picture.toUtf8()
            + "\t1 2 3 4\t10 10\t10 10\t-1 -1\t0\t\t\t\t\t\t\t\n";
        QVERIFY(TestPictures::writeFile(dir.filePath("vimbrel/index.txt"), index));
        PageOptions options;
        options.style = PageStyle::Gallery;
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices, nullptr, nullptr, options), RunOutcome::Completed);
        QCOMPARE(QFile::exists(dir.filePath("vimbrel/" + file)), !removed);
    }

#ifdef Q_OS_UNIX
    // A name's bytes reach the system unchanged, a byte order mark among
    // them, or any byte from 0x80 to 0xFF on its own.
    void namesKeptByteForByte_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("text"); // valid UTF-8, so a page can name it
        QTest::newRow("byte order mark first") << QByteArray("\xEF\xBB\xBFphoto.gif") << true;
        QTest::newRow("byte order mark inside") << QByteArray("a\xEF\xBB\xBF" "b.gif") << true;
        QTest::newRow("four-byte character") << QByteArray("\xF0\x90\x82\x80.gif") << true;
        for (int byte = 0x80; byte <= 0xFF; ++byte) // never valid UTF-8 on its own
            QTest::addRow("byte %02X", byte) << QByteArray("b") + char(byte) + QByteArray(".gif") << false;
    }

    void namesKeptByteForByte()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, text);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        // Qt cannot name an undecodable file to remove it with its folder.
        const auto removeIt = qScopeGuard([&path] { std::remove(path.constData()); });
        const QByteArray gif = TestPictures::gif(3, 2);
        FILE *file = std::fopen(path.constData(), "wb");
        QVERIFY(file && std::fwrite(gif.constData(), 1, std::size_t(gif.size()), file) == std::size_t(gif.size()));
        std::fclose(file);
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices), RunOutcome::Completed);
        QCOMPARE(notices.readPaths.size() + notices.skipped.size(), 1);
        const QString seen = notices.readPaths.isEmpty() ? notices.skipped.first().name : notices.readPaths.first();
        QCOMPARE(NativeName::encode(QFileInfo(seen).fileName()), name);
        QCOMPARE(notices.skipped.isEmpty(), text);
    }
#endif

    // A report is one line however many pages it names.
    void olderPagesSummarised_data()
    {
        QTest::addColumn<QList<int>>("older");
        QTest::addColumn<QString>("line");
        QTest::newRow("two") << QList<int>{2, 3} << "index2.htm, index3.htm";
        QTest::newRow("a run of three") << QList<int>{2, 3, 4} << "index2.htm … index4.htm, 3 pages";
        QTest::newRow("six apart") << QList<int>{2, 4, 6, 8, 10, 12} << "index2.htm, index4.htm, index6.htm, index8.htm, index10.htm, index12.htm";
        QTest::newRow("seven apart") << QList<int>{2, 4, 6, 8, 10, 12, 14}
                                     << "index2.htm, index4.htm, index6.htm, index8.htm, index10.htm, index12.htm, …, 7 pages";
        QList<int> many;
        for (int page = 2; page <= 3000; ++page)
            many.append(page);
        QTest::newRow("2,999") << many << "index2.htm … index3000.htm, 2,999 pages";
    }

    void olderPagesSummarised()
    {
        QFETCH(QList<int>, older);
        QFETCH(QString, line);
        QTemporaryDir dir;
        QVERIFY(PageFiles::writePictures(dir.path(), 1));
        for (const int page : older)
            QVERIFY(TestPictures::writeFile(dir.filePath(QStringLiteral("index%1.htm").arg(page)), "old"));
        const Run run = runProgram({"--generate", dir.path()});
        QCOMPARE(run.out, QStringLiteral("Completed\nOlder pages left as they were: %1\n").arg(line));
    }
};

QTEST_GUILESS_MAIN(HostileWorldTest)
#include "tst_hostileworld.moc"
