#include "NativeName.h"

#include <QFile>

#include <algorithm>

namespace NativeName {

namespace {

constexpr char16_t keptByteBase = 0xDC00; // a kept byte b is U+DC00 + b, b >= 0x80

bool isKeptByte(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// Returns the length of the valid UTF-8 sequence at bytes[at], or 0.
qsizetype validSequence(QByteArrayView bytes, qsizetype at, char32_t &code)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    qsizetype length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < minimum || code > 0x10FFFF || surrogate)
        return 0;
    return length;
}

} // namespace

#ifdef Q_OS_UNIX
QString decode(QByteArrayView bytes)
{
    // Most names are plain ASCII: one bulk conversion, the same characters.
    if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) < 0x80; }))
        return QString::fromLatin1(bytes);
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        char32_t code = 0;
        const qsizetype length = validSequence(bytes, at, code);
        if (length == 0) {
            text += QChar(char16_t(keptByteBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        // Not through QString::fromUcs4(), which takes U+FEFF at the start
        // for a byte order mark and drops it: the name would lose its bytes.
        if (QChar::requiresSurrogates(code)) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(char16_t(code));
        }
        at += length;
    }
    return text;
}

QByteArray encode(const QString &text)
{
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            bytes += char(c);
        } else if (isKeptByte(c)) {
            bytes += char(c - keptByteBase);
        } else if (QChar::isHighSurrogate(c) && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            bytes += QStringView(text).mid(i, 2).toUtf8();
            ++i;
        } else {
            bytes += QStringView(text).mid(i, 1).toUtf8();
        }
    }
    return bytes;
}
#else
QString decode(QByteArrayView bytes)
{
    return QFile::decodeName(bytes.toByteArray());
}

QByteArray encode(const QString &text)
{
    return QFile::encodeName(text);
}
#endif

bool isValidText(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (QChar::isSurrogate(c))
            return false;
    }
    return true;
}

// Characters that reorder the text around them or show as nothing, so that a
// name could pass for another: "invoice\u202efdp.jpg" reads "invoicegpj.pdf".
// The soft hyphen too: it shows only where a line breaks, so "a\u00adb"
// looks like "ab" in a report or a page.
bool hidesOrReorders(char32_t c)
{
    // Not U+200C, U+200D: emoji sequences and Persian and Indic names need the joiners, which neither reorder nor hide.
    struct Range {
        char16_t first, last;
    };
    static constexpr Range ranges[] = {
        {0x00AD, 0x00AD}, // soft hyphen
        {0x061C, 0x061C}, // Arabic letter mark
        {0x115F, 0x1160}, // Hangul fillers
        {0x180E, 0x180E}, // Mongolian vowel separator
        {0x200B, 0x200B}, // zero width space
        {0x200E, 0x200F}, // left-to-right and right-to-left marks
        {0x202A, 0x202E}, // embeddings and overrides
        {0x2060, 0x206F}, // word joiner, invisible operators, isolates, deprecated format controls
        {0x3164, 0x3164}, // Hangul filler
        {0xFEFF, 0xFEFF}, // zero width no-break space
        {0xFFA0, 0xFFA0}, // halfwidth Hangul filler
    };
    return std::any_of(std::begin(ranges), std::end(ranges), [c](Range r) { return c >= r.first && c <= r.last; });
}

QString printable(const QString &text)
{
    static constexpr char hex[] = "0123456789abcdef";
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            line += text.at(i);
            line += text.at(++i);
            continue;
        }
        unsigned escaped = 0x100; // none
        if (c == '\n')
            line += QLatin1String("\\n");
        else if (c == '\r')
            line += QLatin1String("\\r");
        else if (c == '\t')
            line += QLatin1String("\\t");
        else if (c < 0x20 || c == 0x7F)
            escaped = c;
        else if (isKeptByte(c))
            escaped = c - keptByteBase;
        else if (QChar::isSurrogate(c) || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029
                 || hidesOrReorders(c))
            line += QStringLiteral("\\u%1").arg(unsigned(c), 4, 16, QLatin1Char('0'));
        else
            line += QChar(c);
        if (escaped < 0x100) {
            line += QLatin1String("\\x");
            line += QLatin1Char(hex[escaped >> 4]);
            line += QLatin1Char(hex[escaped & 0xF]);
        }
    }
    return line;
}

} // namespace NativeName
