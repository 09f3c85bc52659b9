// The preview and the main window in a hostile folder: a pipe or a device
// named like a picture, a picture slow to decode, a name with line breaks,
// closing mid-decode. The window must keep answering, say why a file cannot
// be shown, and close at once.
#include "common/SettingsStore.h"
#include "support/NonRegularFiles.h"
#include "support/PreviewHost.h"
#include "support/Sanitizers.h"
#include "support/TestPictures.h"
#include "support/WindowFakes.h"
#include "window/Form1.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <memory>

class PreviewHostileTest : public QObject
{
    Q_OBJECT

private:
    WindowServices m_services;
    std::unique_ptr<Form1> m_window;

    QString path(const QString &name) const { return m_services.dir->filePath(name); }
    const Form1Controls &c() const { return m_window->controls(); }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path(name)).path());
        if (!TestPictures::writeFile(path(name), bytes))
            qFatal("cannot write %s", qPrintable(path(name)));
        return path(name);
    }

    bool openWindowOn(const QString &folder, int pictures)
    {
        m_window = m_services.makeWindow();
        m_window->Form_Load(path(folder));
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get())
               && QTest::qWaitFor([&] { return c().List1->model()->rowCount() == pictures; }, 30000);
    }

    // Clicks the named picture in List1 and returns how long the click took.
    qint64 click(const QString &name)
    {
        QListView *list = c().List1;
        const QModelIndexList items =
            list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, name, -1, Qt::MatchExactly);
        if (items.size() != 1)
            qFatal("%s is not listed once", qPrintable(name));
        list->scrollTo(items.first());
        QElapsedTimer clicking;
        clicking.start();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(items.first()).center());
        return clicking.elapsed();
    }

    // Closes the window and waits, as the program does on its way out, for
    // the thread pool: all within a second.
    void endsWithinASecond()
    {
        QElapsedTimer closing;
        closing.start();
        QVERIFY(m_window->close());
        m_window.reset();
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QVERIFY2(closing.elapsed() < Sanitizers::bound(1000), qPrintable(QString::number(closing.elapsed()) + " ms"));
    }

private slots:
    void init()
    {
        QVERIFY(m_services.reset());
        QVERIFY(QDir::setCurrent(m_services.dir->path()));
    }

    void cleanup()
    {
        m_window.reset();
        // No decode may outlive its test and write into the next one's folder.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QDir::setCurrent(QDir::tempPath());
        m_services.dir.reset();
    }

    void pipeClickedInTheWindowDoesNotFreeze()
    {
#ifndef Q_OS_UNIX
        QSKIP("a pipe named like a picture is a Unix file");
#endif
        write("pics/a.gif", TestPictures::gif(40, 30));
        write("pics/x.gif", TestPictures::gif(5, 5));
        QVERIFY(openWindowOn("pics", 2));
        QVERIFY(click("a.gif") < Sanitizers::bound(1000));
        QTRY_COMPARE(c().Picture2->size(), QSize(42, 32));

        // Made after the listing, as a file swapped under it; whether the
        // listing shows pipes or not, the click must not hang.
        QVERIFY(QFile::remove(path("pics/x.gif")));
        QVERIFY(NonRegularFiles::makeFifo(path("pics/x.gif")));
        const NonRegularFiles::PipeRelease release(path("pics/x.gif"), 5000);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);

        QVERIFY(click("x.gif") < Sanitizers::bound(1000));
        QTRY_VERIFY_WITH_TIMEOUT(ticks > 0, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(failureText(*c().PreviewFailure),
                                  QStringLiteral("Cannot show x.gif: It is a pipe (FIFO), not a picture file."), 1000);
        QVERIFY(!release.released());
        QCOMPARE(m_services.beeper.beeps, 1);
        QCOMPARE(c().Picture2->size(), QSize(42, 32)); // the picture before stays on view
    }

    void notAFileKeepsThePreviousPicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::newRow("pipe") << "x.gif" << "Cannot show x.gif: It is a pipe (FIFO), not a picture file.";
        QTest::newRow("link to /dev/zero") << "z.gif" << "Cannot show z.gif: It is a device, not a picture file.";
    }

    void notAFileKeepsThePreviousPicture()
    {
#ifndef Q_OS_UNIX
        QSKIP("pipes and devices named like pictures are Unix files");
#endif
        QFETCH(QString, name);
        QFETCH(QString, label);
        Host host;
        RecordingBeeper beeper;
        PicturePreview preview(host.controls(), beeper, nullptr);
        host.window.show();
        preview.Form_Resize();
        QVERIFY(previewAndWait(preview, write("good.gif", TestPictures::gif(600, 500)), 1));
        host.vScroll1->setValue(30);
        const Snapshot before(host);

        QVERIFY(name == "x.gif" ? NonRegularFiles::makeFifo(path(name)) : QFile::link("/dev/zero", path(name)));
        const NonRegularFiles::PipeRelease release(path(name), 5000);
        QSignalSpy failed(&preview, &PicturePreview::failed);
        QVERIFY(previewAndWait(preview, path(name), 0));
        QVERIFY(!release.released());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(beeper.count, 1);
        QVERIFY(Snapshot(host).samePicture(before));
        QCOMPARE(failureText(*host.failure), label);
    }

    // Line breaks in a name are shown as \n, so the note says nothing the
    // file did not.
    void nameCannotBreakTheNote()
    {
        Host host;
        RecordingBeeper beeper;
        PicturePreview preview(host.controls(), beeper, nullptr);
        const QString name = QStringLiteral("z\nCompleted\n.gif");
        QVERIFY(previewAndWait(preview, write(name, "no picture"), 10));
        QCOMPARE(failureText(*host.failure),
                 QStringLiteral("Cannot show z\\nCompleted\\n.gif: It is not a picture that browsers show (GIF, JPEG, PNG, BMP or WebP)."));
    }

    void newerRequestWinsOverAnOlderSlowOne_data()
    {
        QTest::addColumn<bool>("measured"); // the slow one comes from a run, not a click
        QTest::newRow("click after click") << false;
        QTest::newRow("click after a run's picture") << true;
    }

    void newerRequestWinsOverAnOlderSlowOne()
    {
        QFETCH(bool, measured);
        Host host;
        RecordingBeeper beeper;
        PicturePreview preview(host.controls(), beeper, nullptr);
        const QString slow = write("slow.jpg", TestPictures::jpegClaiming(16000, 16000));
        const QString quick = write("quick.gif", TestPictures::gif(60, 40));
        QSignalSpy shown(&preview, &PicturePreview::shown);
        QSignalSpy failed(&preview, &PicturePreview::failed);

        QElapsedTimer asking;
        asking.start();
        if (measured)
            preview.showMeasured(slow);
        else
            preview.AfficheGif(slow, 652);
        QVERIFY2(asking.elapsed() < Sanitizers::bound(1000), "the request held the window up");
        preview.AfficheGif(quick, 100);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 30000);
        QCOMPARE(shown.first().first().toString(), quick);

        // The slow one never turns up, even once every decode is over.
        QVERIFY(QThreadPool::globalInstance()->waitForDone(30000));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(shown.size(), 1);
        QVERIFY(failed.isEmpty());
        QCOMPARE(beeper.count, 0);
        QCOMPARE(host.picture2->size(), QSize(62, 42));
        QCOMPARE(host.label3->text(), QStringLiteral("100 Bytes"));
    }

    void closingMidDecodeEndsWithinASecond()
    {
        write("pics/a.gif", TestPictures::gif(40, 30));
        write("pics/slow.jpg", TestPictures::jpegClaiming(16000, 16000));
        QVERIFY(openWindowOn("pics", 2));
        QVERIFY(click("slow.jpg") < Sanitizers::bound(1000));
        endsWithinASecond();
    }

    void closingMidRunEndsWithinASecond()
    {
        for (int i = 1; i <= 3; ++i)
            write(QStringLiteral("pics/a%1.jpg").arg(i), TestPictures::jpegClaiming(16000, 16000));
        for (int i = 1; i <= 1500; ++i)
            write(QStringLiteral("pics/p%1.gif").arg(i, 4, 10, QLatin1Char('0')), TestPictures::gif(8, 8));
        QVERIFY(openWindowOn("pics", 1503));
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        QTRY_VERIFY(c().Label5->text().startsWith(QStringLiteral("Read: ")));
        endsWithinASecond();
    }

    // The run is over in a moment; the preview still decodes the last picture it measured.
    void closingAfterARunMidDecodeEndsWithinASecond()
    {
        for (int i = 1; i <= 3; ++i)
            write(QStringLiteral("pics/a%1.jpg").arg(i), TestPictures::jpegClaiming(16000, 16000));
        QVERIFY(openWindowOn("pics", 3));
        QSignalSpy ended(m_window.get(), &Form1::runEnded);
        QTest::mouseClick(c().Command1, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        endsWithinASecond();
    }
};

QTEST_MAIN(PreviewHostileTest)
#include "tst_previewhostile.moc"
