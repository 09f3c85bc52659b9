// The page of one picture in the album, in the album's pages folder: every
// link is relative to it, so the album can be moved or published as it is.
#include "pages/AlbumImages.h"
#include "pages/GalleryPage.h"
#include "pages/PageFormat.h"
#include "platform/ReadableBytes.h"

#include <QLocale>

namespace GalleryPage {

namespace {

// The picture takes the window's height but for the bar above it: whole on
// any screen without scrolling. dvh where the browser knows it: a phone's
// address bar comes and goes.
constexpr char pictureStyle[] =
    "body{margin:0}\n"
    ".bar{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:center;gap:.5em;margin:0;"
    "padding:.4em 1em;min-height:2em;box-sizing:border-box}\n"
    ".bar a,.bar span{margin:0}\n"
    ".steps{white-space:nowrap}\n"
    ".steps a,.steps span{margin:0 .6em}\n"
    ".off{opacity:.4}\n"
    "#index{flex:1 1 0;min-width:0;max-width:max-content;overflow:hidden;text-overflow:ellipsis;white-space:nowrap}\n"
    ".shown{margin:0;text-align:center}\n"
    ".shown img{display:block;margin:0 auto;width:auto;height:auto;max-width:100%;"
    "max-height:calc(100vh - 3em);max-height:calc(100dvh - 3em)}\n"
    ".about{max-width:48em;margin:0 auto;padding:0 1em 2em}\n"
    ".about h1{text-align:left;overflow-wrap:anywhere}\n"
    ".facts{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}\n"
    ".facts dt{font-weight:bold}\n"
    ".facts dd{margin:0}\n";

// Arrow keys and Escape, and a horizontal swipe, follow the page's own links:
// without the script they are still there to click.
constexpr char keysAndSwipes[] =
    "<script>\n"
    "(function () {\n"
    "  function go(id) { var a = document.getElementById(id); if (a) location.href = a.href; }\n"
    "  document.addEventListener('keydown', function (e) {\n"
    "    if (e.altKey || e.ctrlKey || e.metaKey || e.shiftKey) return;\n"
    "    if (e.key === 'ArrowLeft') go('previous');\n"
    "    else if (e.key === 'ArrowRight') go('next');\n"
    "    else if (e.key === 'Escape') go('index');\n"
    "  });\n"
    "  var x = null, y = 0;\n"
    "  document.addEventListener('touchstart', function (e) {\n"
    "    if (e.touches.length === 1) { x = e.touches[0].clientX; y = e.touches[0].clientY; } else x = null;\n"
    "  }, { passive: true });\n"
    "  document.addEventListener('touchend', function (e) {\n"
    "    if (x === null) return;\n"
    "    var t = e.changedTouches[0], dx = t.clientX - x, dy = t.clientY - y;\n"
    "    x = null;\n"
    "    if (Math.abs(dx) > 50 && Math.abs(dx) > 2 * Math.abs(dy)) go(dx < 0 ? 'next' : 'previous');\n"
    "  });\n"
    "})();\n"
    "</script>\n";

// From the pages folder: up one to the album folder, up two to the pictures.
QString fromPage(const QString &folder, const QString &name)
{
    return QStringLiteral("../") + folder + QLatin1Char('/') + name;
}

QString pictureFromPage(const QString &name)
{
    return QStringLiteral("../../") + name;
}

QByteArray step(const char *id, const char *rel, const char *words, const QString &neighbour)
{
    if (neighbour.isEmpty())
        return QByteArray("<span class=\"off\">") + words + "</span>";
    return QByteArray("<a id=\"") + id + "\" href=\"" + link(pageName(neighbour)) + "\" rel=\"" + rel + "\">" + words + "</a>";
}

QByteArray bar(const QString &folderName, const Place &place)
{
    const QString index = pictureFromPage(PageFormat::fileName(place.indexPage));
    return "<nav class=\"bar\"><a id=\"index\" href=\"" + link(index) + "\">" + escaped(folderName) + "</a>"
        + "<span class=\"steps\">" + step("previous", "prev", "Previous", place.previous) + "<span>"
        + QByteArray::number(place.number) + " of " + QByteArray::number(place.count) + "</span>"
        + step("next", "next", "Next", place.next) + "</span></nav>\n";
}

// The neighbours' images, fetched while this one is looked at.
QByteArray prefetches(const Place &place)
{
    QByteArray text;
    for (const QString &image : {place.previousImage, place.nextImage}) {
        if (!image.isEmpty())
            text += "<link rel=\"prefetch\" href=\"" + link(image) + "\">\n";
    }
    return text;
}

QByteArray fact(const char *term, const QString &value)
{
    if (value.isEmpty())
        return {};
    return QByteArray("<dt>") + term + "</dt><dd>" + escaped(value) + "</dd>";
}

QByteArray facts(const GalleryEntry &entry)
{
    const PictureFacts &f = entry.facts;
    const QString taken = f.taken.isValid() ? QLocale(QLocale::English).toString(f.taken, QStringLiteral("d MMMM yyyy, HH:mm"))
                                            : QString();
    QStringList exposure{f.exposure, f.aperture, f.iso};
    exposure.removeAll(QString());
    const QString size = QStringLiteral("%1 x %2 pixels, %3")
                             .arg(entry.shown.width()).arg(entry.shown.height()).arg(readableBytes(entry.length));
    return "<dl class=\"facts\">" + fact("Taken", taken) + fact("Camera", f.camera)
        + fact("Exposure", exposure.join(QStringLiteral(", "))) + fact("Focal length", f.focalLength)
        + fact("Size", size) + "</dl>\n";
}

} // namespace

QString shownImage(const GalleryEntry &entry)
{
    return entry.web.isValid() ? fromPage(webFolder, thumbnailName(entry.name)) : pictureFromPage(entry.name);
}

QByteArray picturePage(const QString &folderName, const GalleryEntry &entry, const Place &place)
{
    const QByteArray name = escaped(entry.name);
    const QSize shownSize = entry.web.isValid() ? entry.web : entry.shown;
    QByteArray text = head(name + " - " + escaped(folderName), pictureStyle, prefetches(place))
        + "<body>\n" + bar(folderName, place) + "<main>\n<figure class=\"shown\"><img src=\""
        + link(shownImage(entry)) + "\" width=\"" + QByteArray::number(shownSize.width()) + "\" height=\""
        + QByteArray::number(shownSize.height()) + "\" alt=\"" + name + "\"></figure>\n<div class=\"about\">\n<h1>" + name
        + "</h1>\n";
    if (!entry.facts.caption.isEmpty())
        text += "<p class=\"caption\">" + escaped(entry.facts.caption) + "</p>\n";
    text += facts(entry) + "<p><a href=\"" + link(pictureFromPage(entry.name)) + "\" download>Download the original ("
        + readableBytes(entry.length).toUtf8() + ")</a></p>\n</div>\n</main>\n";
    return text + keysAndSwipes + "</body>\n</html>\n";
}

} // namespace GalleryPage
