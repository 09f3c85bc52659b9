// Fills a folder with pictures whose names are hard to carry through a web
// page: the browser test generates pages for it and opens them in Chromium.
//
// Usage: browser_pictures FOLDER
// Prints a JSON array of {name, width, height} for each picture written, so
// the browser test knows which picture each name should show.
#include "support/TestPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

// Every kind of character that the page must escape, encode or keep as it is.
// 32 pictures make four pages, the last one partly filled.
const char *const pictureNames[] = {
    "-leading dash.gif",
    "space in name.jpg",
    "tom & jerry.gif",
    "#hash first.jpg",
    "full 100%.gif",
    "already %20 encoded.jpg",
    "what?.gif",
    "double \"quoted\".jpg",
    "single 'quoted'.gif",
    "<angle> brackets.jpg",
    "back\\slash.gif",
    "caf\u00e9 cr\u00e8me.jpg",
    "\u00fcber gr\u00fcn.GIF",
    "\u65e5\u672c\u306e\u5199\u771f.JPG",
    "\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.gif",
    "\u0420\u0443\u0441\u0441\u043a\u0438\u0439.jpg",
    "looks like &amp; an entity.gif",
    "semi;colon,comma.jpg",
    "plus+equals=.gif",
    "smile \U0001F600.jpg",
    "all -&#%?\"'<>\\\u00e9\u65e5 at once.gif",
    "UPPER CASE.GIF",
    "lower case.jpg",
    "dots..in.the.name.jpg",
    "Zebra last.gif",
    // A browser trims leading spaces and reads "word:" as a scheme.
    " lead.gif",
    "lead.gif",
    "  two spaces first.jpg",
    "http:x.gif",
    "c:photo.jpg",
    "mailto:me.gif",
    "data:x.gif",
};

QByteArray pictureBytes(const QString &name, int width, int height)
{
    return name.endsWith(QLatin1String("gif"), Qt::CaseInsensitive) ? TestPictures::gif(width, height)
                                                                      : TestPictures::jpeg(width, height);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: browser_pictures FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    QJsonArray written;
    int step = 0;
    for (const char *utf8 : pictureNames) {
        const QString name = QString::fromUtf8(utf8);
        // No two pictures share a width or a height, so a picture shown under the wrong name is caught.
        const int width = 30 + 7 * step;
        const int height = 200 - 5 * step;
        ++step;
        const QString path = folder.filePath(name);
        if (!TestPictures::writeFile(path, pictureBytes(name, width, height))) {
            std::fprintf(stderr, "browser_pictures: cannot write %s\n", qPrintable(path));
            return 1;
        }
        written.append(QJsonObject{{QStringLiteral("name"), name},
                                   {QStringLiteral("width"), width},
                                   {QStringLiteral("height"), height}});
    }
    // Not a picture: must not appear on any page.
    if (!TestPictures::writeFile(folder.filePath(QStringLiteral("notes.txt")), "not a picture\n"))
        return 1;

    std::fputs(QJsonDocument(written).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    return 0;
}
