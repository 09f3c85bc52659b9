// The page of one picture in the album, in the album's pages folder: every
// link is relative to it, so the album can be moved or published as it is.
#include "album/AlbumImages.h"
#include "album/GalleryPage.h"
#include "album/PageDigest.h"
#include "album/ClipImages.h"
#include "classic/PageFormat.h"
#include "clips/ClipTypes.h"
#include "common/ReadableBytes.h"

#include <QLocale>

#include <cstring>

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
    ".bar .crumbs{flex:1 1 0;min-width:0;max-width:max-content;overflow:hidden;text-overflow:ellipsis;white-space:nowrap}\n"
    ".shown{margin:0;text-align:center}\n"
    ".shown img{display:block;margin:0 auto;width:auto;height:auto;max-width:100%;"
    "max-height:calc(100vh - 3em);max-height:calc(100dvh - 3em)}\n"
    ".about{max-width:48em;margin:0 auto;padding:0 1em 2em}\n"
    ".about h1{text-align:left;overflow-wrap:anywhere}\n"
    ".facts{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}\n"
    ".facts dt{font-weight:bold}\n"
    ".facts dd{margin:0}\n";

// A clip plays where a picture would stand, as large as the window allows.
constexpr char clipStyle[] =
    ".shown video{display:block;margin:0 auto;max-width:100%;height:auto;"
    "max-height:calc(100vh - 3em);max-height:calc(100dvh - 3em);background:#000}\n"
    ".shown [hidden]{display:none}\n"; // the still or its motion, whichever is not playing

// A Live Photo's motion plays over its still, muted, on a button: a button
// answers mouse, touch and keyboard alike.
constexpr char motionScript[] =
    "<script>\n"
    "(function () {\n"
    "  var button = document.getElementById('motion'), video = document.querySelector('.shown video'),\n"
    "      still = document.querySelector('.shown img');\n"
    "  function show(playing) {\n"
    "    video.hidden = !playing; still.hidden = playing; button.setAttribute('aria-pressed', String(playing));\n"
    "  }\n"
    "  button.addEventListener('click', function () {\n"
    "    if (!video.hidden) { video.pause(); show(false); return; }\n"
    "    show(true); video.currentTime = 0; var p = video.play(); if (p) p.catch(function () { show(false); });\n"
    "  });\n"
    "  video.addEventListener('ended', function () { show(false); });\n"
    "})();\n"
    "</script>\n";

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
    // No "3 of 120": one picture added or removed would change every page after it.
    // From the pages folder the album's own folder is two levels up.
    return "<nav class=\"bar\"><span class=\"crumbs\">" + crumbs(place.enclosing, 2) + "<a id=\"index\" href=\""
        + link(index) + "\">" + escaped(folderName) + "</a></span>"
        + "<span class=\"steps\">" + step("previous", "prev", "Previous", place.previous)
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
    const PictureFacts &f = *entry.facts;
    static const QLocale english(QLocale::English);
    const QString taken = f.taken.isValid() ? english.toString(f.taken, QStringLiteral("d MMMM yyyy, HH:mm")) : QString();
    QStringList exposure{f.exposure, f.aperture, f.iso};
    exposure.removeAll(QString());
    const QString size = QStringLiteral("%1 x %2 pixels, %3")
                             .arg(entry.shown.width()).arg(entry.shown.height()).arg(readableBytes(entry.length));
    const QString length = f.clipMilliseconds >= 0 ? clipLengthText(f.clipMilliseconds) : QString();
    return "<dl class=\"facts\">" + fact("Length", length) + fact("Taken", taken) + fact("Camera", f.camera)
        + fact("Exposure", exposure.join(QStringLiteral(", "))) + fact("Focal length", f.focalLength)
        + fact("Size", size) + "</dl>\n";
}

// Raised whenever picturePage() changes what it writes, so that every page is made again.
constexpr quint64 pageFormat = 1;

} // namespace

quint64 picturePageKey(const QString &folderName, const GalleryEntry &entry, const Place &place)
{
    Digest digest;
    const PictureFacts &f = *entry.facts;
    for (const QString &text : {folderName, entry.name, place.previous, place.next, place.previousImage, place.nextImage,
                                f.camera, f.exposure, f.aperture, f.iso, f.focalLength, f.caption, f.clipCopy, entry.motion,
                                entry.motionCopy})
        digest.add(QStringView(text));
    for (const QString &album : place.enclosing)
        digest.add(QStringView(album));
    digest.add(qint64(place.enclosing.size()));
    for (const qint64 number : {qint64(pageFormat), entry.length, qint64(entry.shown.width()), qint64(entry.shown.height()),
                                qint64(entry.small.width()), qint64(entry.small.height()), qint64(entry.large.width()),
                                qint64(entry.large.height()), qint64(entry.web.width()), qint64(entry.web.height()),
                                f.taken.isValid() ? f.taken.toMSecsSinceEpoch() : -1, place.indexPage, f.clipMilliseconds})
        digest.add(number);
    return digest.value();
}

QString shownImage(const GalleryEntry &entry)
{
    return entry.web.isValid() ? fromPage(webFolder, thumbnailName(entry.name)) : pictureFromPage(entry.name);
}

namespace {

QByteArray sizeAttributes(QSize size)
{
    return "width=\"" + QByteArray::number(size.width()) + "\" height=\"" + QByteArray::number(size.height()) + '"';
}

// A clip plays from its copy, its poster shown until it does; a browser
// without video support offers the original instead.
QByteArray shownClip(const GalleryEntry &entry, const QByteArray &name)
{
    const QString kind = entry.facts->clipCopy;
    return "<video controls playsinline preload=\"metadata\" poster=\"" + link(shownImage(entry)) + "\" "
        + sizeAttributes(entry.web) + " aria-label=\"" + name + "\"><source src=\""
        + link(fromPage(webFolder, clipCopyName(entry.name, kind))) + "\" type=\"video/" + kind.toLatin1() + "\">"
        + "<a href=\"" + link(pictureFromPage(entry.name)) + "\">" + name + "</a></video>";
}

} // namespace

QByteArray picturePage(const QString &folderName, const GalleryEntry &entry, const Place &place)
{
    const QByteArray name = escaped(entry.name);
    const QSize shownSize = entry.web.isValid() ? entry.web : entry.shown;
    const bool clip = !entry.facts->clipCopy.isEmpty() && entry.web.isValid();
    static const QByteArray withClip = QByteArray(pictureStyle) + clipStyle;
    QByteArray shown = clip ? shownClip(entry, name)
                            : "<img src=\"" + link(shownImage(entry)) + "\" " + sizeAttributes(shownSize) + " alt=\"" + name + "\">";
    const bool motion = !clip && !entry.motion.isEmpty();
    if (motion)
        shown += "<video muted playsinline preload=\"none\" hidden " + sizeAttributes(shownSize) + " src=\""
            + link(fromPage(webFolder, clipCopyName(entry.motion, entry.motionCopy))) + "\"></video>";
    QByteArray text = head(name + " - " + escaped(folderName), clip || motion ? withClip.constData() : pictureStyle, prefetches(place))
        + "<body>\n" + bar(folderName, place) + "<main>\n<figure class=\"shown\">" + shown
        + "</figure>\n<div class=\"about\">\n<h1>" + name + "</h1>\n";
    if (!entry.facts->caption.isEmpty())
        text += "<p class=\"caption\">" + escaped(entry.facts->caption) + "</p>\n";
    if (motion)
        text += "<p><button type=\"button\" id=\"motion\" aria-pressed=\"false\">\u25B6 Live Photo</button></p>\n";
    if (entry.facts->clipMilliseconds >= 0 && !clip)
        text += "<p class=\"caption\">This clip is too large to be converted for browsers within the memory the album "
                "may use: download the original to play it.</p>\n";
    text += facts(entry) + "<p><a href=\"" + link(pictureFromPage(entry.name)) + "\" download>Download the original ("
        + readableBytes(entry.length).toUtf8() + ")</a></p>\n</div>\n</main>\n";
    return text + keysAndSwipes + (motion ? motionScript : "") + "</body>\n</html>\n";
}

} // namespace GalleryPage
