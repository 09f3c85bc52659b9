// A folder prepared by someone hostile: links at page names, pipes, sockets
// and devices named like pictures, comment-stuffed and sparse pictures,
// names that are not text or that hold line breaks, folders nested to the
// system's path limit. The run never writes outside the folder, never blocks,
// stays in bounded memory and never says "Completed" over work it did not do.
#include "generation/GenerationRun.h"
#include "support/PageFiles.h"
#include "support/Sanitizers.h"
#include "support/TestPictures.h"
#include "system/NativeName.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Outcome {
    int exitCode = -1; // -1: crashed or did not finish
    QByteArray out;
    QByteArray err;
};

QString binary()
{
    return qEnvironmentVariable("VIMBREL_BINARY");
}

Outcome finish(QProcess &process)
{
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Runs the program through a shell, so arguments may be any bytes.
Outcome runShell(const QByteArray &script, std::function<void()> limit = {})
{
    QProcess process;
    if (limit)
        process.setChildProcessModifier(limit);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromUtf8(script), binary()});
    return finish(process);
}

Outcome runProgram(const QString &folder, std::function<void()> limit = {})
{
    QProcess process;
    if (limit)
        process.setChildProcessModifier(limit);
    process.start(binary(), {QStringLiteral("--generate"), folder});
    return finish(process);
}

void writePictures(const QString &folder, int count)
{
    QVERIFY(PageFiles::writePictures(folder, count));
}

QString pagePath(const QString &folder, const QString &page)
{
    return QDir::toNativeSeparators(QDir(folder).filePath(page));
}

bool canRunAsNobody()
{
    return geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty();
}

bool chown(const QString &path, uid_t user, gid_t group)
{
    return ::lchown(QFile::encodeName(path).constData(), user, group) == 0;
}

} // namespace

class HostileFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(binary()), "VIMBREL_BINARY names no program");
    }

    // Whatever stands at a page's name and is not a plain file is refused,
    // and neither it nor what it points to changes.
    void pageNameThatIsNotAFileIsRefused_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        const QString link = QStringLiteral("It is a symbolic link; a page is never written through a link.");
        QTest::newRow("link to a file outside") << "index1.htm" << "outside" << link;
        QTest::newRow("dangling link") << "index1.htm" << "dangling" << link;
        QTest::newRow("link to a picture of the folder") << "index1.htm" << "picture" << link;
        QTest::newRow("link to a device") << "index1.htm" << "device" << link;
        QTest::newRow("link as the second page") << "index2.htm" << "outside" << link;
        QTest::newRow("pipe as a page") << "index1.htm" << "pipe"
                                        << "Something that is not a file (a pipe, socket or device) is in the way.";
    }

    void pageNameThatIsNotAFileIsRefused()
    {
        QFETCH(QString, page);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir outside;
        QTemporaryDir dir;
        QVERIFY(outside.isValid() && dir.isValid());
        writePictures(dir.path(), 15);
        const QString victim = outside.filePath(QStringLiteral("victim.txt"));
        QVERIFY(TestPictures::writeFile(victim, "the user's own file\n"));
        const QString pagePathName = dir.filePath(page);
        const QString picture = dir.filePath(QStringLiteral("p0003.gif"));
        const QByteArray pictureBytes = TestPictures::readFile(picture);
        if (kind == QLatin1String("outside"))
            QVERIFY(QFile::link(victim, pagePathName));
        else if (kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(outside.filePath(QStringLiteral("created.txt")), pagePathName));
        else if (kind == QLatin1String("picture"))
            QVERIFY(QFile::link(picture, pagePathName));
        else if (kind == QLatin1String("device"))
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), pagePathName));
        else
            QCOMPARE(mkfifo(QFile::encodeName(pagePathName).constData(), 0644), 0);

        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(dir.path(), notices), RunOutcome::Failed);
        QCOMPARE(notices.completions, 0);
        QCOMPARE(notices.failures, QStringList{QStringLiteral("Cannot write %1: %2").arg(pagePath(dir.path(), page), reason)});
        QCOMPARE(TestPictures::readFile(victim), QByteArray("the user's own file\n"));
        QVERIFY(!QFileInfo::exists(outside.filePath(QStringLiteral("created.txt"))));
        QCOMPARE(TestPictures::readFile(picture), pictureBytes);
        QCOMPARE(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("victim.txt")});
        struct stat info;
        QCOMPARE(lstat(QFile::encodeName(pagePathName).constData(), &info), 0);
        QVERIFY(S_ISLNK(info.st_mode) || S_ISFIFO(info.st_mode));
        QCOMPARE(PageFiles::strayFiles(dir.path()), QStringList());
    }

    // A shared folder (mode 1777) where someone else planted a link to the
    // user's own file: the user's run refuses it, the file is untouched.
    void plantedLinkInSharedFolder()
    {
        if (!canRunAsNobody())
            QSKIP("Needs root and runuser to act as an ordinary user.");
        QTemporaryDir shared;
        QTemporaryDir home;
        QVERIFY(shared.isValid() && home.isValid());
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        QVERIFY(::chmod(QFile::encodeName(home.path()).constData(), 0755) == 0);
        writePictures(shared.path(), 3);
        const QString profile = home.filePath(QStringLiteral(".profile"));
        QVERIFY(TestPictures::writeFile(profile, "export PATH\n"));
        QVERIFY(chown(home.path(), 65534, 65534) && chown(profile, 65534, 65534));
        QVERIFY(QFile::link(profile, shared.filePath(QStringLiteral("index1.htm"))));

        QProcess process;
        process.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                                                  binary(), QStringLiteral("--generate"), shared.path()});
        const Outcome outcome = finish(process);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains("symbolic link"), outcome.err.constData());
        QCOMPARE(TestPictures::readFile(profile), QByteArray("export PATH\n"));
    }

    // Root passes permission checks; an ordinary user must meet the same refusal.
    void readOnlyPageAsOrdinaryUser()
    {
        if (!canRunAsNobody())
            QSKIP("Needs root and runuser to act as an ordinary user.");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writePictures(dir.path(), 3);
        const QString page = dir.filePath(QStringLiteral("index1.htm"));
        QVERIFY(TestPictures::writeFile(page, "old page"));
        QVERIFY(::chmod(QFile::encodeName(page).constData(), 0444) == 0);
        QVERIFY(chown(dir.path(), 65534, 65534) && chown(page, 65534, 65534));
        QProcess process;
        process.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"),
                                                  binary(), QStringLiteral("--generate"), dir.path()});
        const Outcome outcome = finish(process);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(outcome.err.contains("The file is read-only."), outcome.err.constData());
        QCOMPARE(TestPictures::readFile(page), QByteArray("old page"));
    }

    // Pipes, sockets and devices named like pictures: skipped with what they are, never opened.
    void specialFilesAreSkippedNotOpened()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writePictures(dir.path(), 2);
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("x.gif"))).constData(), 0644), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("zero.gif"))));
        QVERIFY(QFile::link(QStringLiteral("nowhere.gif"), dir.filePath(QStringLiteral("dangling.jpg"))));
        QVERIFY(QFile::link(QStringLiteral("loop2.gif"), dir.filePath(QStringLiteral("loop1.gif"))));
        QVERIFY(QFile::link(QStringLiteral("loop1.gif"), dir.filePath(QStringLiteral("loop2.gif"))));
        QVERIFY(QFile::link(QStringLiteral("p0001.gif"), dir.filePath(QStringLiteral("linked.gif"))));
        const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = QFile::encodeName(dir.filePath(QStringLiteral("s.gif")));
        QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path));
        std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
        QCOMPARE(::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(socket);

        const Outcome outcome = runProgram(dir.path());
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("Completed\n"));
        const QByteArray folder = QFile::encodeName(QDir::toNativeSeparators(dir.path()));
        for (const QByteArray line : {"x.gif: It is a pipe (FIFO), not a picture file.",
                                      "zero.gif: It is a device, not a picture file.",
                                      "s.gif: It is a socket, not a picture file.",
                                      "dangling.jpg: It is a link to a file that does not exist.",
                                      "loop1.gif: It is a link that leads round in a loop."})
            QVERIFY2(outcome.err.contains("Skipped " + folder + '/' + line + '\n'), outcome.err.constData());
        const QByteArray page = PageFiles::pages(dir.path()).value(QStringLiteral("index1.htm"));
        QCOMPARE(PageFiles::images(page).size(), 3); // the two pictures and the link to one
    }

    // 64 MB of comments and a 3 GB sparse GIF under a 200 MB address-space limit.
    void stuffedAndSparsePicturesInBoundedMemory()
    {
        if (Sanitizers::active)
            QSKIP("The address sanitizer reserves far more address space than the limit allows.");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile stuffed(dir.filePath(QStringLiteral("stuffed.jpg")));
        QVERIFY(stuffed.open(QIODevice::WriteOnly));
        const QByteArray small = TestPictures::jpeg(6, 4);
        stuffed.write(small.left(2));
        QByteArray comment("\xFF\xFE\xFF\xFF", 4);
        comment += QByteArray(65533, 'c');
        for (int i = 0; i < 1024; ++i)
            QCOMPARE(stuffed.write(comment), comment.size());
        stuffed.write(small.mid(2));
        stuffed.close();
        QFile sparse(dir.filePath(QStringLiteral("sparse.gif")));
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        sparse.write(TestPictures::gif(8, 3));
        QVERIFY(sparse.resize(qint64(3) << 30));
        sparse.close();

        const Outcome outcome = runProgram(dir.path(), [] {
            const rlimit limit{200'000'000, 200'000'000};
            setrlimit(RLIMIT_AS, &limit);
        });
        QCOMPARE(outcome.exitCode, 0);
        const QList<PageFiles::PageImage> images =
            PageFiles::images(PageFiles::pages(dir.path()).value(QStringLiteral("index1.htm")));
        QCOMPARE(images.size(), 2);
        QCOMPARE(images[0].source, QByteArray("sparse.gif"));
        QCOMPARE(QSize(int(images[0].width), int(images[0].height)), QSize(10, 5));
        QCOMPARE(QSize(int(images[1].width), int(images[1].height)), QSize(8, 6));
    }

    // A folder that cannot be listed, or a picture or album folder that
    // cannot be opened for want of a file handle, is a failure: one line
    // naming what and why, no "Completed", no skip, the old pages kept.
    void unreadableIsAFailureNotAnEmptyFolder_data()
    {
        QTest::addColumn<QStringList>("style");
        QTest::addColumn<int>("handles"); // 0: run as another user, who may not read the folder
        QTest::addColumn<int>("pictures");
        QTest::addColumn<QString>("named"); // a pattern for what the message names, within the folder
        QTest::addColumn<QString>("reason");
        const QStringList gallery{"--gallery"};
        const QString noHandle = "The system has no file handle left to open it (Too many open files).";
        const QString denied = "Permission denied: the folder cannot be read.";
        // Four handles: the three standard ones and the folder's own, none to list it.
        QTest::newRow("no handle to list it, classic") << QStringList() << 4 << 3 << "" << noHandle;
        QTest::newRow("no handle to list it, gallery") << gallery << 4 << 3 << "" << noHandle;
        // Six: measured two at a time, some picture among many finds none left.
        QTest::newRow("no handle for a picture, classic") << QStringList() << 6 << 2000 << "/p\\d{4}\\.gif" << noHandle;
        QTest::newRow("no handle for the album's folder, gallery") << gallery << 6 << 3 << "/vimbrel/small" << noHandle;
        // Twelve: the album's folders open, too few left for its threads and picture readers.
        QTest::newRow("no handle to make the images, gallery")
            << gallery << 12 << 3 << "/vimbrel"
            << QStringLiteral("The system has no file handle left for the work (it needs %1 open at once).").arg(4 * QThread::idealThreadCount() + 8);
        QTest::newRow("no permission, classic") << QStringList() << 0 << 3 << "" << denied;
        QTest::newRow("no permission, gallery") << gallery << 0 << 3 << "" << denied;
    }

    void unreadableIsAFailureNotAnEmptyFolder()
    {
        QFETCH(QStringList, style);
        QFETCH(int, handles);
        QFETCH(int, pictures);
        QFETCH(QString, named);
        QFETCH(QString, reason);
        if (handles > 0 && Sanitizers::active)
            QSKIP("The sanitizers' runtime needs file handles of its own.");
        if (handles == 0 && !canRunAsNobody())
            QSKIP("Needs root and runuser to act as an ordinary user.");
        QTemporaryDir dir; // its mode 0700 keeps out anyone but its owner
        QVERIFY(dir.isValid());
        writePictures(dir.path(), pictures);
        const QMap<QString, QByteArray> old = PageFiles::writeOldPages(dir.path(), 2);
        const QStringList arguments = QStringList{"--generate"} + style + QStringList{dir.path()};
        QProcess process;
        if (handles > 0) {
            process.setChildProcessModifier([handles] {
                // Only the three standard handles stay open, as from a shell.
                for (int fd = 3; fd < 1024; ++fd)
                    ::close(fd);
                const rlimit limit{rlim_t(handles), rlim_t(handles)};
                setrlimit(RLIMIT_NOFILE, &limit);
            });
            process.start(binary(), arguments);
        } else {
            process.start(QStringLiteral("runuser"), QStringList{"-u", "nobody", "--", binary()} + arguments);
        }
        const Outcome outcome = finish(process);
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY2(!outcome.out.contains("Completed"), outcome.out.constData());
        const QString err = QString::fromLocal8Bit(outcome.err);
        QVERIFY2(!err.contains("Skipped"), qPrintable(err));
        const QString line = err.trimmed().split('\n').last();
        const QRegularExpression expected("^vimbrel: Cannot [a-z' ]+ " + QRegularExpression::escape(dir.path()) + named + ": "
                                          + QRegularExpression::escape(reason) + "$");
        QVERIFY2(expected.match(line).hasMatch(), qPrintable(line));
        QCOMPARE(PageFiles::pages(dir.path()), old);
    }

    // A folder whose name is not valid UTF-8: its bytes go unchanged to the system.
    void folderNameThatIsNotText()
    {
        QTemporaryDir parent;
        QVERIFY(parent.isValid());
        const QByteArray folder = QFile::encodeName(parent.path()) + "/bad\xff" "dir";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        const QString name = NativeName::decode(folder);
        QCOMPARE(NativeName::encode(name), folder);
        for (int i = 0; i < 4; ++i) {
            const QByteArray bytes = TestPictures::gif(5 + i, 5);
            FILE *file = std::fopen((folder + "/p" + QByteArray::number(i) + ".gif").constData(), "wb");
            QVERIFY(file);
            QCOMPARE(std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), file), std::size_t(bytes.size()));
            std::fclose(file);
        }
        // QTemporaryDir cannot remove what it cannot name; the shell can.
        auto removeFolder = qScopeGuard(
            [&] { runShell("rm -rf \"$(printf '" + parent.path().toUtf8() + "/bad\\377dir')\""); });

        const Outcome outcome = runShell("exec \"$0\" --generate \"$(printf '" + parent.path().toUtf8() + "/bad\\377dir')\"");
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("Completed\n"));
        struct stat info;
        QCOMPARE(::stat((folder + "/index1.htm").constData(), &info), 0);
        QVERIFY(info.st_size > 0);

        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(name, notices), RunOutcome::Completed);
        QCOMPARE(notices.readCount, 4);
    }

    // A name holding line breaks cannot put a line of its own into the report.
    void namesCannotForgeTheReport()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(TestPictures::writeFile(dir.filePath(QStringLiteral("z\nCompleted\n\x1b[2J.gif")), "junk"));
        FILE *raw = std::fopen((QFile::encodeName(dir.path()) + "/w\xfe.gif").constData(), "wb");
        QVERIFY(raw);
        std::fclose(raw);
        const Outcome outcome = runProgram(dir.path());
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.startsWith("Completed\n"));
        QCOMPARE(outcome.out.count("Completed"), 1);
        QVERIFY2(outcome.err.contains("/z\\nCompleted\\n\\x1b[2J.gif: It is not a picture that browsers show"),
                 outcome.err.constData());
        QVERIFY2(outcome.err.contains("/w\\xfe.gif: Its name is not valid text"), outcome.err.constData());
        for (const QByteArray &line : outcome.err.split('\n'))
            QVERIFY2(line.isEmpty() || line.startsWith("Read: ") || line.startsWith("Skipped "), line.constData());
    }

    // Nested to the system's path limit: the pages' temporary names must not push past it.
    void folderAtThePathLimit()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QString folder = root.path();
        const int limit = 4096 - 1 - int(QStringLiteral("/index1.htm").size()) - 6;
        while (folder.size() < limit) {
            const int room = std::min<int>(200, limit - int(folder.size()) - 1);
            if (room < 1)
                break;
            folder += QLatin1Char('/') + QString(room, QLatin1Char('d'));
            QVERIFY2(QDir().mkdir(folder), qPrintable(QString::number(folder.size())));
        }
        QVERIFY(TestPictures::writeFile(folder + QStringLiteral("/a.gif"), TestPictures::gif(4, 4)));
        PageFiles::Recorder notices;
        QCOMPARE(runGeneration(folder, notices), RunOutcome::Completed);
        QCOMPARE(notices.failures, QStringList());
        QCOMPARE(PageFiles::images(PageFiles::pages(folder).value(QStringLiteral("index1.htm"))).size(), 1);
        QCOMPARE(PageFiles::strayFiles(folder), QStringList());
    }
};

QTEST_GUILESS_MAIN(HostileFolderTest)
#include "tst_hostilefolder.moc"
