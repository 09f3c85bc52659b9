// How long listing a folder of 20,000 files takes: the core's read of the
// folder, and the whole listing into the window's list with its counts.
//
//   QT_QPA_PLATFORM=offscreen build/bench_listing [files]
#include "app/PictureListing.h"
#include "catalogue/FolderListing.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool makeFolder(const QString &folder, int files)
{
    for (int i = 0; i < files; ++i) {
        // Mostly pictures, some other files that the listing must pass over.
        const char *ending = i % 10 == 9 ? "txt" : (i % 2 ? "jpg" : "GIF");
        QFile file(QDir(folder).filePath(QStringLiteral("picture%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(QLatin1String(ending))));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(64 + i % 100, 'x')) < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 20000;
    QTemporaryDir dir;
    if (!dir.isValid() || !makeFolder(dir.path(), files)) {
        std::fprintf(stderr, "cannot make the folder\n");
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    const FolderListing listing = listPictures(dir.path());
    const qint64 coreMs = timer.elapsed();

    QWidget window;
    auto *list1 = new QListWidget(&window);
    auto *label1 = new QLabel(&window);
    auto *label2 = new QLabel(&window);
    window.show();
    PictureListing listing1(list1, label1, label2, nullptr);
    QSignalSpy listed(&listing1, &PictureListing::listed);
    timer.restart();
    listing1.ListGiff(dir.path());
    const bool done = listed.wait(60000);
    const qint64 windowMs = timer.elapsed();

    std::printf("files in folder:        %d\n", files);
    std::printf("pictures listed:        %lld (window list: %d)\n", qint64(listing.pictures.size()), list1->count());
    std::printf("core listing:           %lld ms\n", coreMs);
    std::printf("listing into the window: %lld ms (target: well under 1000 ms)\n", windowMs);
    return done && list1->count() == listing.pictures.size() ? 0 : 1;
}
