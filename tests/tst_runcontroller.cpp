// The run behind the window: notices crossing threads, the pictures shown, the final text.
#include "common/SettingsStore.h"
#include "support/TestPictures.h"
#include "window/RunController.h"
#include "window/RunMessages.h"
#include "window/WindowNotices.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class RunControllerTest : public QObject
{
    Q_OBJECT

private slots:
    // However fast a run reports, the window's queue holds one progress signal at most.
    void noticesDoNotFloodTheWindow()
    {
        WindowNotices notices;
        int signalled = 0;
        connect(&notices, &WindowNotices::progressed, this, [&] { ++signalled; }, Qt::QueuedConnection);
        QThread *worker = QThread::create([&notices] {
            for (int i = 1; i <= 5000; ++i)
                notices.read(i, QStringLiteral("/p/%1.gif").arg(i));
        });
        worker->start();
        QVERIFY(worker->wait(10000));
        delete worker;
        QCOMPARE(signalled, 0); // nothing runs before the window's loop does
        QCoreApplication::processEvents();
        QCOMPARE(signalled, 1);
        const WindowNotices::Progress progress = notices.takeProgress();
        QCOMPARE(progress.count, qint64(5000));
        QCOMPARE(progress.path, QStringLiteral("/p/5000.gif"));

        notices.read(5001, QStringLiteral("/p/5001.gif")); // taken: the next one signals again
        QCoreApplication::processEvents();
        QCOMPARE(signalled, 2);
    }

    void noticesKeepTheOutcome()
    {
        WindowNotices notices;
        notices.completed({{QStringLiteral("a.gif"), QStringLiteral("Broken.")}});
        notices.failed(QStringLiteral("Cannot write x: full."));
        QCOMPARE(notices.skipped().size(), 1);
        QCOMPARE(notices.failure(), QStringLiteral("Cannot write x: full."));
        notices.reset();
        QVERIFY(notices.skipped().isEmpty());
        QVERIFY(notices.failure().isEmpty());
    }

    void countsUpAndEndsOnTheLastPicture()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (int i = 1; i <= 40; ++i)
            QVERIFY(TestPictures::writeFile(dir.filePath(QStringLiteral("p%1.gif").arg(i, 2, 10, QLatin1Char('0'))),
                                            TestPictures::gif(2, 2)));
        QSettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
        RunController run(settings, nullptr);
        QSignalSpy counted(&run, &RunController::counted);
        QSignalSpy measured(&run, &RunController::measured);
        QSignalSpy finished(&run, &RunController::finished);

        QVERIFY(run.start(dir.path()));
        QVERIFY(!run.start(dir.path())); // one run at a time
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.first().at(0).value<RunOutcome>(), RunOutcome::Completed);
        QVERIFY(!run.isRunning());

        QVERIFY(!counted.isEmpty());
        qint64 previous = 0;
        for (const QList<QVariant> &arguments : counted) {
            QVERIFY(arguments.first().toLongLong() > previous);
            previous = arguments.first().toLongLong();
        }
        QCOMPARE(previous, qint64(40));
        QVERIFY(!measured.isEmpty());
        QCOMPARE(measured.last().first().toString(), QDir(dir.path()).filePath(QStringLiteral("p40.gif")));
        QCOMPARE(settings.path(), dir.path());
    }

    void completedText_data()
    {
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<int>("lines");
        QTest::newRow("none") << 0 << "Completed" << 1;
        QTest::newRow("one") << 1 << "f1.gif: Reason 1." << 4;
        QTest::newRow("fifteen") << 15 << "f15.gif: Reason 15." << 18;
        QTest::newRow("forty") << 40 << "... and 25 more." << 19;
    }

    void completedText()
    {
        QFETCH(int, skipped);
        QFETCH(QString, lastLine);
        QFETCH(int, lines);
        QList<SkippedFile> files;
        for (int i = 1; i <= skipped; ++i)
            files.append({QStringLiteral("f%1.gif").arg(i), QStringLiteral("Reason %1.").arg(i)});
        const QStringList text = RunMessages::completedText(files).split(QLatin1Char('\n'));
        QCOMPARE(text.first(), QStringLiteral("Completed"));
        QCOMPARE(text.last(), lastLine);
        QCOMPARE(text.size(), lines);
    }
};

QTEST_GUILESS_MAIN(RunControllerTest)
#include "tst_runcontroller.moc"
