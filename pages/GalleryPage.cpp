#include "GalleryPage.h"

#include "pages/PageFormat.h"
#include "platform/NativeName.h"

namespace GalleryPage {

namespace {

constexpr char style[] =
    "body{font-family:sans-serif;margin:1em;background:#fff;color:#222}\n"
    "h1{font-size:1.4em;text-align:center}\n"
    ".grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(13em,1fr));gap:1em;margin:0;padding:0}\n"
    "figure{margin:0;text-align:center}\n"
    "figure img{max-width:100%;height:auto;border:1px solid #ccc}\n"
    "figcaption{font-size:.85em;overflow-wrap:anywhere}\n"
    "nav{text-align:center;margin:1em 0}\n"
    "nav a{margin:0 1em}\n";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray head(const QString &folderName, qint64 page, qint64 pages)
{
    const QByteArray title = escaped(folderName);
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" + title + " - page " + number(page) + " of " + number(pages) + "</title>\n"
           "<style>\n" + style + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n";
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

QByteArray figure(const GalleryEntry &entry)
{
    const QByteArray name = escaped(entry.name);
    return "<figure><a href=\"" + link(entry.name) + "\"><img src=\""
        + link(thumbnailFolder + QLatin1Char('/') + entry.thumbnail) + "\" width=\""
        + number(entry.size.width()) + "\" height=\"" + number(entry.size.height()) + "\" alt=\"" + name
        + "\" loading=\"lazy\"></a><figcaption>" + name + "<br>" + number(entry.length)
        + " bytes</figcaption></figure>\n";
}

} // namespace

QByteArray page(const QString &folderName, const QList<GalleryEntry> &entries, qint64 page, qint64 pages)
{
    QByteArray text = head(folderName, page, pages) + navigation(page, pages) + "<main class=\"grid\">\n";
    for (const GalleryEntry &entry : entries)
        text += figure(entry);
    return text + "</main>\n" + navigation(page, pages) + "</body>\n</html>\n";
}

QByteArray escaped(const QString &text)
{
    return NativeName::printable(text).toHtmlEscaped().toUtf8();
}

} // namespace GalleryPage
