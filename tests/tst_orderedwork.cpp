#include "common/OrderedWork.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <mutex>
#include <thread>

// Results must come back in order, on the calling thread, and a stop must
// stop: the measuring of a run and the listing of the window rely on both.
class OrderedWorkTest : public QObject
{
    Q_OBJECT

private slots:
    void resultsComeInOrder_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("chunkSize");
        QTest::addColumn<int>("threads");
        QTest::newRow("nothing") << 0 << 8 << 4;
        QTest::newRow("less than a chunk") << 3 << 8 << 4;
        QTest::newRow("a chunk exactly") << 8 << 8 << 4;
        QTest::newRow("many chunks, ragged end") << 1001 << 7 << 4;
        QTest::newRow("one thread") << 100 << 7 << 1;
        QTest::newRow("chunks of one") << 200 << 1 << 3;
    }

    void resultsComeInOrder()
    {
        QFETCH(int, count);
        QFETCH(int, chunkSize);
        QFETCH(int, threads);
        std::mutex mutex;
        QSet<std::thread::id> workers;
        const auto work = [&](qsizetype i) {
            // Uneven work, so that later chunks often finish first.
            if (QRandomGenerator::global()->bounded(4) == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(200)));
            const std::lock_guard lock(mutex);
            workers.insert(std::this_thread::get_id());
            return QString::number(i);
        };
        QStringList taken;
        const auto caller = std::this_thread::get_id();
        bool allOnCaller = true;
        const auto take = [&](qsizetype i, QString &&result) {
            allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
            taken.append(QStringLiteral("%1=%2").arg(i).arg(result));
            return true;
        };
        OrderedWork<QString>::run(count, work, take, chunkSize, threads);
        QStringList expected;
        for (int i = 0; i < count; ++i)
            expected.append(QStringLiteral("%1=%1").arg(i));
        QCOMPARE(taken, expected);
        QVERIFY(allOnCaller);
        QVERIFY(workers.size() <= threads);
        if (count > chunkSize * 20 && threads > 1)
            QVERIFY2(workers.size() > 1, "the work was never shared");
    }

    // After take says no, nothing more is taken and little more is done.
    void aStopStops()
    {
        constexpr int count = 10000;
        constexpr int chunkSize = 16;
        constexpr int threads = 4;
        std::atomic<int> worked = 0;
        const auto work = [&](qsizetype i) {
            ++worked;
            return int(i);
        };
        int takes = 0;
        const auto take = [&](qsizetype i, int &&) {
            ++takes;
            return i < 99;
        };
        OrderedWork<int>::run(count, work, take, chunkSize, threads);
        QCOMPARE(takes, 100);
        // Each thread may have been inside a chunk, and the caller ahead by some.
        QVERIFY2(worked < 100 + 64 * chunkSize * threads, qPrintable(QString::number(worked)));
    }
};

QTEST_GUILESS_MAIN(OrderedWorkTest)
#include "tst_orderedwork.moc"
