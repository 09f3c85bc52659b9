// How long listing a folder of 100,000 files into the window takes, and the
// longest the window's event loop stalls meanwhile (targets: under 300 ms,
// no stall over 100 ms). The core's read of the folder alone is timed too.
// A timer ticking every 5 ms measures the gaps between its ticks.
//
//   QT_QPA_PLATFORM=offscreen build/bench_listing [files]
#include "catalogue/FolderListing.h"
#include "common/Beeper.h"
#include "common/SettingsStore.h"
#include "window/Form1.h"
#include "window/MessageBoxes.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

class SilentBoxes : public MessageBoxes
{
public:
    void show(QWidget *, Icon, const QString &, const QString &) override {}
};

class SilentBeeper : public Beeper
{
public:
    void beep() override {}
};

bool makeFolder(const QString &folder, int files)
{
    for (int i = 0; i < files; ++i) {
        // Mostly pictures, some other files that the listing must pass over.
        const char *ending = i % 10 == 9 ? "txt" : (i % 2 ? "jpg" : "GIF");
        QFile file(QDir(folder).filePath(QStringLiteral("picture%1.%2").arg(i, 6, 10, QLatin1Char('0')).arg(QLatin1String(ending))));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(64 + i % 100, 'x')) < 0)
            return false;
    }
    return true;
}

// The largest gap between the ticks of a 5 ms timer, from start() on.
class StallMeter
{
public:
    StallMeter()
    {
        m_ticker.setInterval(5);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_clock.start();
        m_last = 0;
        m_ticker.start();
    }

    void stop()
    {
        tick(); // the gap up to now counts too
        m_ticker.stop();
    }

    qint64 worst() const { return m_worst; }
    int stalls() const { return m_stalls; }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        m_worst = std::max(m_worst, now - m_last);
        m_stalls += now - m_last > 100 ? 1 : 0;
        m_last = now;
    }

    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    int m_stalls = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("pictures"));
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    if (!dir.isValid() || !QDir().mkpath(folder) || !QDir().mkpath(elsewhere) || !makeFolder(folder, files)) {
        std::fprintf(stderr, "cannot make the folder\n");
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    const FolderListing listing = listPictures(folder);
    const qint64 coreMs = timer.elapsed();

    // The window starts in an empty folder, so only the big listing is measured.
    QDir::setCurrent(elsewhere);
    QSettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    SilentBoxes boxes;
    SilentBeeper beeper;
    Form1 window({settings, boxes, beeper, {}});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(200);

    QStringList counts; // each caption the picture count takes
    QObject::connect(&window, &Form1::listingStarted, [&] { counts.clear(); });
    QTimer watcher; // samples the label as a person would see it
    watcher.setInterval(1);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const QString text = window.controls().Label1->text();
        if (counts.isEmpty() || counts.last() != text)
            counts.append(text);
    });

    QSignalSpy finished(&window, &Form1::listingFinished);
    StallMeter meter;
    timer.restart();
    meter.start();
    watcher.start();
    window.Form_Load(folder);
    const qint64 loadMs = timer.elapsed();
    const bool done = finished.wait(60000);
    const qint64 windowMs = timer.elapsed();
    watcher.stop();
    QTest::qWait(50); // the list's first paint after the fill may stall too
    meter.stop();
    const qint64 rows = window.controls().List1->model()->rowCount();

    std::printf("files in folder:          %d\n", files);
    std::printf("pictures listed:          %lld (window list: %lld)\n", qint64(listing.pictures.size()), rows);
    std::printf("core listing:             %lld ms\n", coreMs);
    std::printf("listing into the window:  %lld ms (target: under 300 ms)\n", windowMs);
    std::printf("  of which Form_Load:     %lld ms (opening the folder, on the UI thread)\n", loadMs);
    std::printf("longest stall:            %lld ms (target: 100 ms at most)\n", meter.worst());
    std::printf("stalls > 100 ms:          %d\n", meter.stalls());
    std::printf("picture counts seen:      %lld (%s ... %s)\n", qint64(counts.size()),
                qPrintable(counts.value(0)), qPrintable(counts.value(counts.size() - 1)));
    const bool listed = done && rows == listing.pictures.size();
    return listed && windowMs < 300 && meter.worst() <= 100 ? 0 : 1;
}
