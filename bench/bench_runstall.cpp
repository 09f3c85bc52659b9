// The longest the window's event loop stalls during a generation run over
// 1,000 12-megapixel JPEGs (target: no stall over 100 ms). A timer ticking
// every 5 ms measures the gaps between its ticks while the run goes on.
// --gallery makes gallery pages with thumbnails instead; --close-after MS
// closes the window that long into the run and times how long closing
// waits for the run to stop (target: 100 ms).
//
//   QT_QPA_PLATFORM=offscreen build/bench_runstall [--gallery] [--close-after MS] [pictures]
#include "common/Beeper.h"
#include "common/SettingsStore.h"
#include "support/TestPictures.h"
#include "window/Form1.h"
#include "window/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

class SilentBoxes : public MessageBoxes
{
public:
    void show(QWidget *, Icon, const QString &, const QString &text) override { lastText = text; }
    QString lastText;
};

class SilentBeeper : public Beeper
{
public:
    void beep() override {}
};

bool makeFolder(const QString &folder, int pictures)
{
    const QString first = QDir(folder).filePath(QStringLiteral("photo0000.jpg"));
    if (!TestPictures::writeFile(first, TestPictures::jpeg(4000, 3000, 90)))
        return false;
    for (int i = 1; i < pictures; ++i) {
        if (!QFile::copy(first, QDir(folder).filePath(QStringLiteral("photo%1.jpg").arg(i, 4, 10, QLatin1Char('0')))))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool gallery = arguments.removeAll(QStringLiteral("--gallery")) > 0;
    int closeAfter = -1;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--close-after")); at >= 0 && at + 1 < arguments.size()) {
        closeAfter = arguments.at(at + 1).toInt();
        arguments.remove(at, 2);
    }
    const int pictures = arguments.isEmpty() ? 1000 : arguments.first().toInt();
    QTemporaryDir dir;
    const QString photos = dir.filePath(QStringLiteral("photos"));
    if (!dir.isValid() || !QDir().mkpath(photos) || !makeFolder(photos, pictures)) {
        std::fprintf(stderr, "cannot make the folder\n");
        return 1;
    }
    std::printf("made %d copies of a 4000 x 3000 JPEG of %lld bytes\n", pictures,
                QFileInfo(QDir(photos).filePath(QStringLiteral("photo0000.jpg"))).size());

    QSettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    settings.savePageStyle(gallery ? PageStyle::Gallery : PageStyle::Classic);
    SilentBoxes boxes;
    SilentBeeper beeper;
    Form1 window({settings, boxes, beeper, {}});
    window.Form_Load(photos);
    window.show();
    QSignalSpy ended(&window, &Form1::runEnded);

    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 worst = 0;
    int ticks = 0;
    int stalls = 0; // gaps over 100 ms
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - lastTick);
        stalls += now - lastTick > 100 ? 1 : 0;
        lastTick = now;
        ++ticks;
    });

    // Let the folder listing end first: only the run is measured.
    QTimer::singleShot(500, [&] {
        clock.start();
        ticker.start();
        window.controls().Command1->click();
    });
    QEventLoop running;
    QObject::connect(&window, &Form1::runEnded, &running, &QEventLoop::quit);
    qint64 closingMs = -1;
    if (closeAfter >= 0) {
        QTimer::singleShot(500 + closeAfter, [&] {
            QElapsedTimer closing;
            closing.start();
            window.close();
            closingMs = closing.elapsed();
            running.quit();
        });
    }
    QTimer::singleShot(600000, &running, &QEventLoop::quit);
    running.exec();
    const bool done = ended.count() > 0 || closingMs >= 0;
    const qint64 runMs = clock.elapsed();
    ticker.stop();

    std::printf("run:           %lld ms, ended with \"%s\"\n", runMs, qPrintable(boxes.lastText.section('\n', 0, 0)));
    std::printf("timer ticks:   %d\n", ticks);
    std::printf("longest stall: %lld ms (target: 100 ms at most)\n", worst);
    std::printf("stalls > 100 ms: %d\n", stalls);
    if (closeAfter >= 0)
        std::printf("closing took:  %lld ms, %d ms into the run (target: 100 ms at most)\n", closingMs, closeAfter);
    return done && worst <= 100 && closingMs <= 100 ? 0 : 1;
}
