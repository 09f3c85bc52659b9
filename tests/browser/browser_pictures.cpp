// Fills a folder with pictures whose names are hard to carry through a web
// page: the browser test generates pages for it and opens them in Chromium.
//
// Usage: browser_pictures [--album] FOLDER
// Prints a JSON array of {name, width, height} for each picture written, so
// the browser test knows which picture each name should show. --album writes
// fewer, larger pictures, as a camera makes them: some turned by EXIF, a tall
// panorama, an animation, names whose numbers sort by value.
#include "support/HeifFiles.h"
#include "support/TestPictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <iterator>

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

// Sizes as shown, upright; a turned picture is stored the other way round.
// Most are larger than twice the thumbnail square so their HiDPI thumbnails
// are twice the side; no two share a width or a height.
struct AlbumPicture {
    const char *name;
    int width, height;
    int orientation = 1; // EXIF; 6 turns a stored landscape into a portrait
    int frames = 1;      // GIFs only
};

const AlbumPicture albumPictures[] = {
    {"IMG_2.jpg", 1600, 1200},
    {"IMG_10.jpg", 1400, 1050},
    {"img_3.gif", 620, 410},
    {"portrait & turned.jpg", 700, 1000, 6},
    {"#2 portrait.jpg", 600, 900, 6},
    {"tall panorama.jpg", 400, 3000},
    {"animated 100%.gif", 300, 200, 1, 3},
    {"caf\u00e9 cr\u00e8me.jpg", 1300, 866},
    {"\u65e5\u672c\u306e\u5199\u771f.jpg", 1100, 733},
    {"a & b #c %41.jpg", 1000, 667},
    {"two  spaces .jpg", 1200, 801},
    {"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.gif", 120, 90},
    {"smile \U0001F600.jpg", 900, 640},
    {"what?.jpg", 800, 598},
    {"tiny.jpg", 200, 150},
    {"Zebra 9.jpg", 2600, 1700},
    {"phone turned.HEIC", 1240, 1650, 6}, // shown through a JPEG copy, turned by its irot
    {"phone.avif", 1500, 1010},
};

// A phone photo as libheif's encoder writes it, its orientation as irot and imir.
QByteArray phonePhoto(const AlbumPicture &picture, bool av1)
{
    const bool turned = picture.orientation >= 5;
    QImage stored(turned ? picture.height : picture.width, turned ? picture.width : picture.height, QImage::Format_RGB32);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            stored.setPixel(x, y, qRgb(x * 255 / stored.width(), y * 255 / stored.height(), 128));
    HeifRecipe recipe;
    recipe.av1 = av1;
    recipe.orientation = picture.orientation;
    recipe.quality = 50;
    return makeHeif(stored, recipe);
}

QByteArray albumBytes(const AlbumPicture &picture)
{
    if (QByteArrayView(picture.name).endsWith("HEIC") || QByteArrayView(picture.name).endsWith("avif"))
        return phonePhoto(picture, QByteArrayView(picture.name).endsWith("avif"));
    if (QByteArrayView(picture.name).endsWith("gif"))
        return TestPictures::animatedGif(picture.width, picture.height, picture.frames);
    if (picture.orientation >= 5)
        return TestPictures::withExifOrientation(TestPictures::jpeg(picture.height, picture.width), picture.orientation);
    return TestPictures::jpeg(picture.width, picture.height);
}

QByteArray pictureBytes(const QString &name, int width, int height)
{
    return name.endsWith(QLatin1String("gif"), Qt::CaseInsensitive) ? TestPictures::gif(width, height)
                                                                      : TestPictures::jpeg(width, height);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool album = argc == 3 && QByteArrayView(argv[1]) == "--album";
    if (argc != 2 && !album) {
        std::fputs("usage: browser_pictures [--album] FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[argc - 1]));

    QJsonArray written;
    const auto write = [&](const QString &name, const QByteArray &bytes, int width, int height) {
        if (!TestPictures::writeFile(folder.filePath(name), bytes)) {
            std::fprintf(stderr, "browser_pictures: cannot write %s\n", qPrintable(folder.filePath(name)));
            return false;
        }
        written.append(QJsonObject{{QStringLiteral("name"), name},
                                   {QStringLiteral("width"), width},
                                   {QStringLiteral("height"), height}});
        return true;
    };
    if (album) {
        for (const AlbumPicture &picture : albumPictures) {
            if (!write(QString::fromUtf8(picture.name), albumBytes(picture), picture.width, picture.height))
                return 1;
        }
    }
    for (int step = 0; !album && step < int(std::size(pictureNames)); ++step) {
        const QString name = QString::fromUtf8(pictureNames[step]);
        // No two pictures share a width or a height, so a picture shown under the wrong name is caught.
        const int width = 30 + 7 * step;
        const int height = 200 - 5 * step;
        if (!write(name, pictureBytes(name, width, height), width, height))
            return 1;
    }
    // Not a picture: must not appear on any page.
    if (!TestPictures::writeFile(folder.filePath(QStringLiteral("notes.txt")), "not a picture\n"))
        return 1;

    std::fputs(QJsonDocument(written).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputc('\n', stdout);
    return 0;
}
