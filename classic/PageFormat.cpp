#include "PageFormat.h"

#include "common/ProgramInfo.h"
#include "system/NativeName.h"

#include <algorithm>
#include <QList>
#include <QStringView>

namespace PageFormat {

namespace {

constexpr char lineEnd[] = "\r\n";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

bool needsPercent(unsigned char byte)
{
    if (byte < 0x20 || byte >= 0x7F)
        return true;
    switch (byte) {
    case '"': case '\'': case '#': case '%': case '?': case '<': case '>': case '\\':
        return true;
    default:
        return false;
    }
}

} // namespace

QByteArray head(qint64 page)
{
    const QByteArray contact = ProgramInfo::contactAddress;
    QByteArray text;
    text += "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n"
            "<html>\r\n"
            "\r\n"
            "<head>\r\n"
            "<meta http-equiv=\"Content-Type\"\r\n"
            "content=\"text/html; charset=iso-8859-1\">\r\n"
            "<meta name=\"GENERATOR\" content=\"Microsoft FrontPage 2.0\">\r\n"
            "<title>Home Page</title>\r\n"
            "</head>\r\n"
            "\r\n"
            "\r\n"
            "<p align=\"center\"><font size=\"5\"><strong>By Tasquen</strong></font></p>\r\n";
    text += "<p align=\"center\"><a href=\"mailto:" + contact + "\"><font size=\"4\">mailto:" + contact
        + "</font></a></p>" + lineEnd;
    text += "<p align=\"center\"><font size=\"5\"><strong>Jpeg/Ani Gif Index " + number(page)
        + "</strong></font></p>" + lineEnd;
    return text;
}

QByteArray pictureLines(const Class1 &record)
{
    QByteArray text;
    appendPictureLines(text, record);
    return text;
}

void appendPictureLines(QByteArray &page, const Class1 &record)
{
    // Appended in place: a page of ten pictures is one buffer, not a hundred temporaries.
    page.append("<p><img src=\"");
    appendImageSource(page, record.FileName);
    page.append("\" width=\"").append(number(record.imLargeur)).append("\" height=\"").append(number(record.imHauteur));
    page.append("\"> ");
    appendVisibleName(page, record.FileName);
    // The gap between the visible name's two spaces and the size is empty.
    page.append("  ");
    page.append(record.FileSize.toLatin1());
    page.append("</p>").append(lineEnd).append(lineEnd);
}

QByteArray tail(qint64 nextPage)
{
    QByteArray text = QByteArray("<p>&nbsp;</p>") + lineEnd;
    if (nextPage > 0) {
        text += "<p align=\"center\"><a href=\"index" + number(nextPage) + ".htm\"><font size=\"5\">Index "
            + number(nextPage) + "</font></a></p>" + lineEnd;
    }
    text += QByteArray("</body>") + lineEnd + "</html>" + lineEnd;
    return text;
}

QByteArray visibleName(const QString &name)
{
    QByteArray text;
    appendVisibleName(text, name);
    return text;
}

void appendVisibleName(QByteArray &text, const QString &name)
{
    // Most names are printable ASCII: each character is its byte, but for four.
    const bool plain = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
    if (plain) {
        // Written straight into the page, room made once for the longest escape (&quot;).
        const qsizetype start = text.size();
        text.resize(start + 6 * name.size());
        char *out = text.data() + start;
        const auto put = [&out](const char *escape) {
            while (*escape)
                *out++ = *escape++;
        };
        for (const QChar c : name) {
            switch (c.unicode()) {
            case '&': put("&amp;"); break;
            case '<': put("&lt;"); break;
            case '>': put("&gt;"); break;
            case '"': put("&quot;"); break;
            default: *out++ = char(c.unicode());
            }
        }
        text.resize(out - text.constData());
        return;
    }
    for (const uint c : QStringView(name).toUcs4()) {
        switch (c) {
        case '&': text += "&amp;"; continue;
        case '<': text += "&lt;"; continue;
        case '>': text += "&gt;"; continue;
        case '"': text += "&quot;"; continue;
        default: break;
        }
        if (NativeName::hidesOrReorders(c)) // shown, not obeyed: "invoice\u202efdp.jpg" would read "invoicegpj.pdf"
            text += QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0')).toLatin1();
        else if (c < 0x20 || c >= 0x7F)
            text += "&#" + number(qint64(c)) + ';';
        else
            text += char(c);
    }
}

QByteArray imageSource(const QString &name)
{
    QByteArray text;
    appendImageSource(text, name);
    return text;
}

void appendImageSource(QByteArray &text, const QString &name)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = name.toUtf8();
    // A browser trims spaces at either end of the attribute, and reads
    // "name:" as a scheme; encoded, every name stays a path to that file.
    qsizetype lead = 0;
    while (lead < bytes.size() && bytes[lead] == ' ')
        ++lead;
    qsizetype tail = bytes.size();
    while (tail > lead && bytes[tail - 1] == ' ')
        --tail;
    // Written straight into the page, room made once for the longest form (&amp;).
    const qsizetype start = text.size();
    text.resize(start + 5 * bytes.size());
    char *out = text.data() + start;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool edgeSpace = b == ' ' && (i < lead || i >= tail);
        if (b == '&') {
            for (const char c : {'&', 'a', 'm', 'p', ';'})
                *out++ = c;
        } else if (needsPercent(b) || edgeSpace || b == ':') {
            *out++ = '%';
            *out++ = hex[b >> 4];
            *out++ = hex[b & 0x0F];
        } else {
            *out++ = char(b);
        }
    }
    text.resize(out - text.constData());
}

QString fileName(qint64 page)
{
    return QStringLiteral("index%1.htm").arg(page);
}

} // namespace PageFormat
