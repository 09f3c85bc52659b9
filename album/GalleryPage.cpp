#include "GalleryPage.h"

#include "album/AlbumImages.h"
#include "album/PageDigest.h"
#include "classic/PageFormat.h"
#include "clips/ClipTypes.h"
#include "common/ReadableBytes.h"
#include "system/NativeName.h"

#include <QLocale>

#include <algorithm>

namespace GalleryPage {

namespace {

constexpr char commonStyle[] =
    ":root{color-scheme:light dark}\n"
    "body{font-family:sans-serif;margin:1em;background:#fff;color:#222}\n"
    "a{color:#0645ad}\n"
    "h1{font-size:1.4em;text-align:center}\n"
    "nav{text-align:center;margin:1em 0}\n"
    "nav a{margin:0 1em}\n"
    "@media (prefers-color-scheme:dark){body{background:#121212;color:#ddd}a{color:#8ab4f8}"
    "figure img{border-color:#444}}\n";

constexpr char indexStyle[] =
    ".grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(13em,1fr));gap:1em;margin:0;padding:0}\n"
    "figure{margin:0;text-align:center}\n"
    "figure img{max-width:100%;height:auto;border:1px solid #ccc}\n"
    "figcaption{font-size:.85em;overflow-wrap:anywhere}\n"
    ".album figcaption{font-weight:bold}\n"
    ".crumbs{text-align:left;margin:0 0 .5em;overflow-wrap:anywhere}\n"
    ".crumbs a{margin:0}\n";

// A clip's card: a play mark over its poster, its length in a corner.
constexpr char clipCardStyle[] =
    ".clip a{position:relative;display:inline-block}\n"
    ".clip .mark{position:absolute;left:50%;top:50%;transform:translate(-50%,-50%);width:2.4em;height:2.4em;"
    "line-height:2.4em;border-radius:50%;background:rgba(0,0,0,.6);color:#fff;pointer-events:none}\n"
    ".clip .length{position:absolute;right:.4em;bottom:.6em;padding:0 .3em;border-radius:.2em;"
    "background:rgba(0,0,0,.6);color:#fff;font-size:.8em;pointer-events:none}\n"
    ".clip .live{position:absolute;left:.4em;top:.4em;padding:0 .3em;border-radius:.2em;"
    "background:rgba(0,0,0,.6);color:#fff;font-size:.7em;letter-spacing:.1em;pointer-events:none}\n";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray navigation(qint64 page, qint64 pages)
{
    QByteArray text = "<nav>";
    if (page > 1)
        text += "<a href=\"" + PageFormat::fileName(page - 1).toLatin1() + "\" rel=\"prev\">Previous</a> ";
    text += "Page " + number(page) + " of " + number(pages);
    if (page < pages)
        text += " <a href=\"" + PageFormat::fileName(page + 1).toLatin1() + "\" rel=\"next\">Next</a>";
    return text + "</nav>\n";
}

void appendSize(QByteArray &text, QSize size)
{
    text += " width=\"";
    text += number(size.width());
    text += "\" height=\"";
    text += number(size.height());
    text += '"';
}

// Appended piece by piece into the page: an index page of many pictures is
// made in one buffer, not from a string for each part.
void appendFigure(QByteArray &text, const GalleryEntry &entry)
{
    static const auto inAlbum = [](const QString &folder) { return (albumFolder + QLatin1Char('/') + folder + QLatin1Char('/')).toUtf8(); };
    static const QByteArray pages = inAlbum(pagesFolder), small = inAlbum(smallFolder), large = inAlbum(largeFolder);
    const QByteArray name = escaped(entry.name);
    // The files' names are the stem and a suffix that needs no escaping.
    const QByteArray stem = link(fileStem(entry.name));
    const bool clip = entry.facts->clipMilliseconds >= 0, motion = !entry.motion.isEmpty();
    text += clip || motion ? "<figure class=\"clip\"><a href=\"" : "<figure><a href=\"";
    text += pages;
    text += stem;
    text += ".htm\"><img src=\"";
    text += small;
    text += stem;
    text += ".jpg\"";
    // Twice the pixels for a screen of twice the density; a small picture has no more to give.
    if (entry.large != entry.small) {
        text += " srcset=\"";
        text += large;
        text += stem;
        text += ".jpg 2x\"";
    }
    appendSize(text, entry.small);
    text += " alt=\"";
    text += name;
    text += "\" loading=\"lazy\">";
    if (clip)
        text += "<span class=\"mark\" aria-hidden=\"true\">\u25B6</span><span class=\"length\">"
            + clipLengthText(entry.facts->clipMilliseconds).toLatin1() + "</span>";
    else if (motion)
        text += "<span class=\"live\">LIVE</span>";
    text += "</a><figcaption>";
    text += name;
    text += "<br>";
    appendReadableBytes(text, entry.length);
    text += "</figcaption></figure>\n";
}

// A sub-album: its cover's thumbnail, its name and how many pictures it holds.
void appendSubAlbum(QByteArray &text, const SubAlbum &album)
{
    const QByteArray name = escaped(album.name);
    const QString in = album.coverFolder + QLatin1Char('/') + albumFolder + QLatin1Char('/');
    const QString image = thumbnailName(album.cover.name);
    text += "<figure class=\"album\"><a href=\"";
    appendLink(text, album.name + QStringLiteral("/index1.htm"));
    text += "\"><img src=\"";
    appendLink(text, in + smallFolder + QLatin1Char('/') + image);
    text += '"';
    if (album.cover.large != album.cover.small) {
        text += " srcset=\"";
        appendLink(text, in + largeFolder + QLatin1Char('/') + image);
        text += " 2x\"";
    }
    appendSize(text, album.cover.small);
    text += " alt=\"" + name + "\" loading=\"lazy\"></a><figcaption>" + name + "<br>"
        + QLocale(QLocale::English).toString(album.pictures).toUtf8() + (album.pictures == 1 ? " picture" : " pictures")
        + "</figcaption></figure>\n";
}

} // namespace

QByteArray crumbs(const QStringList &enclosing, int up)
{
    QByteArray text;
    for (qsizetype i = 0; i < enclosing.size(); ++i) {
        QString href;
        for (qsizetype level = 0; level < up + enclosing.size() - i; ++level)
            href += QStringLiteral("../");
        text += "<a href=\"";
        appendLink(text, href + QStringLiteral("index1.htm"));
        text += "\">" + escaped(enclosing.at(i)) + "</a> \u203A ";
    }
    return text;
}

QByteArray page(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages,
                const AlbumPlace &place)
{
    const QByteArray title = escaped(folderName);
    static const QByteArray withClips = QByteArray(indexStyle) + clipCardStyle;
    const bool clips = std::any_of(entries.cbegin(), entries.cend(),
                                   [](const GalleryEntry &e) { return e.facts->clipMilliseconds >= 0 || !e.motion.isEmpty(); });
    QByteArray text = head(title + " - page " + number(page) + " of " + number(pages), clips ? withClips.constData() : indexStyle)
        + "<body>\n";
    if (!place.enclosing.isEmpty())
        text += "<nav class=\"crumbs\">" + crumbs(place.enclosing, 0) + title + "</nav>\n";
    text += "<h1>" + title + "</h1>\n" + navigation(page, pages) + "<main class=\"grid\">\n";
    text.reserve(text.size() + entries.size() * 400 + 200);
    for (const SubAlbum &album : place.subAlbums)
        appendSubAlbum(text, album);
    for (const GalleryEntry &entry : entries)
        appendFigure(text, entry);
    return text + "</main>\n" + navigation(page, pages) + "</body>\n</html>\n";
}

namespace {

// Raised whenever page() changes what it writes, so that every index page is made again.
constexpr qint64 indexPageFormat = 1;

// What a card shows of an entry: appendFigure() and appendSubAlbum() read no more.
void addCard(Digest &digest, const GalleryEntry &entry)
{
    digest.add(QStringView(entry.name));
    for (const qint64 number : {entry.length, qint64(entry.small.width()), qint64(entry.small.height()),
                                qint64(entry.large.width()), qint64(entry.large.height()), entry.facts->clipMilliseconds,
                                qint64(entry.motion.isEmpty())})
        digest.add(number);
}

} // namespace

quint64 indexPageKey(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages,
                     const AlbumPlace &place)
{
    Digest digest;
    for (const qint64 number : {indexPageFormat, page, pages, qint64(place.enclosing.size()), qint64(place.subAlbums.size()),
                                qint64(entries.size())})
        digest.add(number);
    digest.add(QStringView(folderName));
    for (const QString &album : place.enclosing)
        digest.add(QStringView(album));
    for (const SubAlbum &album : place.subAlbums) {
        digest.add(QStringView(album.name));
        digest.add(album.pictures);
        digest.add(QStringView(album.coverFolder));
        addCard(digest, album.cover);
    }
    for (const GalleryEntry &entry : entries)
        addCard(digest, entry);
    return digest.value();
}

bool isIndexPage(QByteArrayView start)
{
    // The head every album page starts with, then after the title the
    // album's own style: a page of the user's that only shares the common
    // boilerplate of HTML5 is not taken for one.
    static const QByteArray opening = head({}, "").first(head({}, "").indexOf("<title>") + 7);
    return start.startsWith(opening) && start.indexOf("</title>\n<style>\n:root{color-scheme:light dark}\n") > 0
        && start.indexOf("\n.grid{display:grid;") > 0;
}

QByteArray head(const QByteArray &title, const char *style, const QByteArray &extra)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + title + "</title>\n" + extra + "<style>\n" + commonStyle + style + "</style>\n</head>\n";
}

QByteArray escaped(const QString &text)
{
    // Most names are plain: printable ASCII with nothing to escape, as they stand.
    const bool plain = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u >= 0x20 && u < 0x7F && u != '<' && u != '>' && u != '&' && u != '"';
    });
    if (plain)
        return text.toLatin1();
    return NativeName::printable(text).toHtmlEscaped().toUtf8();
}

// As the classic pages' image sources, and stricter: a space or a bracket
// is percent-encoded too, so the address is one that validators accept. A
// colon is encoded as well: "c:photo.jpg" would be read as a scheme.
QByteArray link(const QString &path)
{
    QByteArray text;
    appendLink(text, path);
    return text;
}

void appendLink(QByteArray &text, const QString &path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr QByteArrayView kept = "-._~!$()*+,;=@/";
    const QByteArray bytes = path.toUtf8();
    const qsizetype start = text.size();
    text.resize(start + bytes.size() * 3); // written into, not appended to: an album has many
    char *out = text.data() + start;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        const bool alphanumeric = (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
        if (alphanumeric || kept.contains(byte)) {
            *out++ = byte;
        } else {
            *out++ = '%';
            *out++ = hex[b >> 4];
            *out++ = hex[b & 0x0F];
        }
    }
    text.truncate(out - text.constData());
}

} // namespace GalleryPage
