// Fills a folder with COUNT copies of one JPEG of WIDTH x HEIGHT, for the benchmarks.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fputs("usage: make_pictures FOLDER COUNT WIDTH HEIGHT\n", stderr);
        return 2;
    }
    const QDir folder(args.at(1));
    const int count = args.at(2).toInt();
    QImage image(args.at(3).toInt(), args.at(4).toInt(), QImage::Format_RGB32);
    QRandomGenerator random(42); // noise keeps the JPEG from compressing to nothing
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, int(random.bounded(256)));
    }
    const QString first = folder.filePath(QStringLiteral("picture00000.jpg"));
    if (!QDir().mkpath(folder.path()) || !image.save(first, "JPEG", 85)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(first));
        return 1;
    }
    for (int i = 1; i < count; ++i)
        QFile::copy(first, folder.filePath(QStringLiteral("picture%1.jpg").arg(i, 5, 10, QChar('0'))));
    return 0;
}
