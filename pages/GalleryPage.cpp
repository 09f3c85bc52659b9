#include "GalleryPage.h"

#include "pages/AlbumImages.h"
#include "pages/PageFormat.h"
#include "platform/NativeName.h"
#include "platform/ReadableBytes.h"

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
    "figcaption{font-size:.85em;overflow-wrap:anywhere}\n";

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

QString inAlbum(const QString &folder, const QString &name)
{
    return albumFolder + QLatin1Char('/') + folder + QLatin1Char('/') + name;
}

QByteArray sizeAttributes(QSize size)
{
    return " width=\"" + number(size.width()) + "\" height=\"" + number(size.height()) + "\"";
}

QByteArray figure(const GalleryEntry &entry)
{
    const QByteArray name = escaped(entry.name);
    const QString image = thumbnailName(entry.name);
    QByteArray text = "<figure><a href=\"" + link(inAlbum(pagesFolder, pageName(entry.name))) + "\"><img src=\""
        + link(inAlbum(smallFolder, image)) + "\"";
    // Twice the pixels for a screen of twice the density; a small picture has no more to give.
    if (entry.large != entry.small)
        text += " srcset=\"" + link(inAlbum(largeFolder, image)) + " 2x\"";
    return text + sizeAttributes(entry.small) + " alt=\"" + name + "\" loading=\"lazy\"></a><figcaption>" + name
        + "<br>" + readableBytes(entry.length).toUtf8() + "</figcaption></figure>\n";
}

} // namespace

QByteArray page(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages)
{
    const QByteArray title = escaped(folderName);
    QByteArray text = head(title + " - page " + number(page) + " of " + number(pages), indexStyle)
        + "<body>\n<h1>" + title + "</h1>\n" + navigation(page, pages) + "<main class=\"grid\">\n";
    for (const GalleryEntry &entry : entries)
        text += figure(entry);
    return text + "</main>\n" + navigation(page, pages) + "</body>\n</html>\n";
}

QByteArray head(const QByteArray &title, const char *style, const QByteArray &extra)
{
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + title + "</title>\n" + extra + "<style>\n" + commonStyle + style + "</style>\n</head>\n";
}

QByteArray escaped(const QString &text)
{
    return NativeName::printable(text).toHtmlEscaped().toUtf8();
}

// As the classic pages' image sources, and stricter: a space or a bracket
// is percent-encoded too, so the address is one that validators accept. A
// colon is encoded as well: "c:photo.jpg" would be read as a scheme.
QByteArray link(const QString &path)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr QByteArrayView kept = "-._~!$()*+,;=@/";
    QByteArray text;
    for (const char byte : path.toUtf8()) {
        const auto b = static_cast<unsigned char>(byte);
        const bool alphanumeric = (b >= '0' && b <= '9') || ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
        if (alphanumeric || kept.contains(byte)) {
            text += byte;
        } else {
            text += '%';
            text += hex[b >> 4];
            text += hex[b & 0x0F];
        }
    }
    return text;
}

} // namespace GalleryPage
