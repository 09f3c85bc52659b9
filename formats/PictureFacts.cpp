#include "PictureFacts.h"

#include "system/NativeName.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace {

// More entries than any camera writes, few enough that a hostile segment is read at once.
constexpr int mostEntries = 512;
constexpr qsizetype longestText = 2000;

// What cameras write where a caption belongs, compared without case or spaces at either end.
const QStringList boilerplate{
    QStringLiteral("OLYMPUS DIGITAL CAMERA"), QStringLiteral("SONY DSC"), QStringLiteral("DIGITAL CAMERA"),
    QStringLiteral("KODAK Digital Still Camera"), QStringLiteral("Minolta DSC"), QStringLiteral("SAMSUNG"),
    QStringLiteral("SAMSUNG CAMERA PICTURES"), QStringLiteral("LEICA DIGITAL CAMERA"), QStringLiteral("FUJIFILM DIGITAL CAMERA"),
    QStringLiteral("PENTAX DIGITAL CAMERA"), QStringLiteral("CASIO COMPUTER CO.,LTD."), QStringLiteral("Exif_JPEG_PICTURE"),
    QStringLiteral("EASYSHARE"), QStringLiteral("MEMORY CARD"), QStringLiteral("Default"), QStringLiteral("Camera"),
    QStringLiteral("JPEG"), QStringLiteral("Picture"), QStringLiteral("Image"), QStringLiteral("Photo"),
    QStringLiteral("Created with GIMP"), QStringLiteral("Digital Camera"), QStringLiteral("NIKON DIGITAL CAMERA"),
    QStringLiteral("Canon DIGITAL CAMERA"), QStringLiteral("Panasonic"), QStringLiteral("SONY DIGITAL CAMERA")};

/** Reads the TIFF structure of an EXIF segment, every read checked against its length. */
class Tiff
{
public:
    explicit Tiff(const QByteArray &bytes) : m_bytes(bytes), m_big(bytes.startsWith("MM")) {}

    bool isValid() const
    {
        return m_bytes.size() >= 8 && (m_big || m_bytes.startsWith("II")) && u16(2) == 42;
    }
    bool has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at + count <= m_bytes.size(); }
    quint32 u16(qint64 at) const
    {
        if (!has(at, 2))
            return 0;
        const auto b = [&](qint64 i) { return quint32(static_cast<unsigned char>(m_bytes[at + i])); };
        return m_big ? (b(0) << 8) | b(1) : b(0) | (b(1) << 8);
    }
    quint32 u32(qint64 at) const { return m_big ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16); }
    QByteArray bytes(qint64 at, qint64 count) const { return has(at, count) ? m_bytes.mid(at, count) : QByteArray(); }

private:
    const QByteArray &m_bytes;
    bool m_big;
};

struct Entry {
    quint32 type = 0;
    quint32 count = 0;
    qint64 value = 0; // where the value is: in the entry itself when it fits in four bytes
};

int typeSize(quint32 type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1; // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                 // SHORT, SSHORT
    case 4: case 9: return 4;                 // LONG, SLONG
    case 5: case 10: return 8;                // RATIONAL, SRATIONAL
    default: return 0;
    }
}

// The directory at offset, tag by tag; a directory outside the segment is empty.
template<typename Visit>
void forEachEntry(const Tiff &tiff, qint64 offset, Visit visit)
{
    const quint32 count = std::min<quint32>(tiff.u16(offset), mostEntries);
    for (quint32 i = 0; i < count; ++i) {
        const qint64 at = offset + 2 + 12 * qint64(i);
        if (!tiff.has(at, 12))
            return;
        Entry entry{tiff.u16(at + 2), tiff.u32(at + 4), at + 8};
        const qint64 size = qint64(typeSize(entry.type)) * entry.count;
        if (size == 0)
            continue;
        if (size > 4)
            entry.value = tiff.u32(at + 8);
        if (tiff.has(entry.value, size))
            visit(tiff.u16(at), entry);
    }
}

QString text(const Tiff &tiff, const Entry &entry)
{
    if (entry.type != 2 && entry.type != 7)
        return {};
    QByteArray bytes = tiff.bytes(entry.value, std::min<qint64>(entry.count, longestText));
    if (const qsizetype end = bytes.indexOf('\0'); end >= 0)
        bytes.truncate(end);
    return NativeName::printable(QString::fromUtf8(bytes)).simplified();
}

double rational(const Tiff &tiff, const Entry &entry)
{
    if (entry.type == 3)
        return tiff.u16(entry.value);
    if (entry.type == 4)
        return tiff.u32(entry.value);
    if (entry.type != 5 && entry.type != 10)
        return 0;
    const quint32 numerator = tiff.u32(entry.value), denominator = tiff.u32(entry.value + 4);
    if (entry.type == 10)
        return denominator == 0 ? 0 : double(qint32(numerator)) / double(qint32(denominator));
    return denominator == 0 ? 0 : double(numerator) / double(denominator);
}

// "1/250 s" under a second, as cameras show it; "2 s" or "1.3 s" above.
QString exposureText(double seconds)
{
    if (!(seconds > 0) || seconds > 1e6)
        return {};
    if (seconds < 0.95)
        return QStringLiteral("1/%1 s").arg(std::llround(1 / seconds));
    return QStringLiteral("%1 s").arg(QString::number(seconds, 'g', 3));
}

QString oneDecimal(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

QDateTime dateTime(const QString &text)
{
    // "2026:07:14 18:03:22"; cameras that never set a clock write zeros or blanks.
    return QDateTime::fromString(text.left(19), QStringLiteral("yyyy:MM:dd HH:mm:ss"));
}

QString cameraOf(const QString &make, const QString &model)
{
    const QString firstWordOfMake = make.section(QLatin1Char(' '), 0, 0);
    if (model.isEmpty())
        return make;
    if (make.isEmpty() || model.startsWith(firstWordOfMake, Qt::CaseInsensitive))
        return model;
    return make + QLatin1Char(' ') + model;
}

void readPhotoDirectory(const Tiff &tiff, qint64 offset, PictureFacts &facts, QDateTime &original)
{
    forEachEntry(tiff, offset, [&](quint32 tag, const Entry &entry) {
        switch (tag) {
        case 0x829A:
            facts.exposure = exposureText(rational(tiff, entry));
            break;
        case 0x829D:
            if (const double f = rational(tiff, entry); f > 0 && f < 1000)
                facts.aperture = QStringLiteral("f/%1").arg(oneDecimal(f));
            break;
        case 0x8827:
            if (const quint32 iso = tiff.u16(entry.value); iso > 0)
                facts.iso = QStringLiteral("ISO %1").arg(iso);
            break;
        case 0x9003:
            original = dateTime(text(tiff, entry));
            break;
        case 0x920A:
            if (const double mm = rational(tiff, entry); mm > 0 && mm < 100000)
                facts.focalLength = QStringLiteral("%1 mm").arg(mm >= 10 ? QString::number(std::lround(mm)) : oneDecimal(mm));
            break;
        default:
            break;
        }
    });
}

void takeCaption(const QString &caption, PictureFacts &facts)
{
    const QString clean = NativeName::printable(caption).simplified().left(longestText);
    if (facts.caption.isEmpty() && !isBoilerplateCaption(clean))
        facts.caption = clean;
}

QString xmlUnescaped(QString text)
{
    static const QRegularExpression reference(QStringLiteral("&#(x?)([0-9A-Fa-f]{1,6});"));
    QString result;
    qsizetype last = 0;
    for (auto it = reference.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        result += QStringView(text).mid(last, match.capturedStart() - last);
        bool ok = false;
        const uint code = match.captured(2).toUInt(&ok, match.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            const char32_t character = code;
            result += QString::fromUcs4(&character, 1);
        }
        last = match.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

} // namespace

bool isBoilerplateCaption(const QString &text)
{
    const QString trimmed = text.simplified();
    if (trimmed.isEmpty() || std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return !c.isLetterOrNumber(); }))
        return true;
    return std::any_of(boilerplate.begin(), boilerplate.end(),
                       [&](const QString &known) { return trimmed.compare(known, Qt::CaseInsensitive) == 0; });
}

void readExifFacts(const QByteArray &bytes, PictureFacts &facts)
{
    const Tiff tiff(bytes);
    if (!tiff.isValid())
        return;
    QString make, model, description;
    QDateTime changed, original;
    qint64 photo = -1;
    forEachEntry(tiff, tiff.u32(4), [&](quint32 tag, const Entry &entry) {
        switch (tag) {
        case 0x010E: description = text(tiff, entry); break;
        case 0x010F: make = text(tiff, entry); break;
        case 0x0110: model = text(tiff, entry); break;
        case 0x0132: changed = dateTime(text(tiff, entry)); break;
        case 0x8769: photo = tiff.u32(entry.value); break;
        default: break;
        }
    });
    if (photo > 0)
        readPhotoDirectory(tiff, photo, facts, original);
    facts.taken = original.isValid() ? original : changed;
    facts.camera = cameraOf(make, model);
    // A description that only repeats the camera's name is the camera's, not the person's.
    if (description.compare(make, Qt::CaseInsensitive) != 0 && description.compare(model, Qt::CaseInsensitive) != 0)
        takeCaption(description, facts);
}

void readXmpCaption(const QByteArray &xmp, PictureFacts &facts)
{
    if (!facts.caption.isEmpty())
        return;
    const QString packet = QString::fromUtf8(xmp);
    static const QRegularExpression element(
        QStringLiteral(R"re(<dc:description\b[^>]*>.*?<rdf:li\b[^>]*>(.*?)</rdf:li>)re"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression attribute(QStringLiteral(R"re(\bdc:description\s*=\s*"([^"]*)")re"));
    QRegularExpressionMatch match = element.match(packet);
    if (!match.hasMatch())
        match = attribute.match(packet);
    if (match.hasMatch())
        takeCaption(xmlUnescaped(match.captured(1)), facts);
}

void readIptcCaption(const QByteArray &photoshop, PictureFacts &facts)
{
    if (!facts.caption.isEmpty() || !photoshop.startsWith(QByteArrayView("Photoshop 3.0\0", 14)))
        return;
    const auto byte = [&](qint64 at) { return at < photoshop.size() ? int(static_cast<unsigned char>(photoshop[at])) : -1; };
    const auto be16 = [&](qint64 at) { return (byte(at) << 8) | byte(at + 1); };
    qint64 at = 14;
    // Image resources: "8BIM", a number, a name padded to even length, a length, the data padded likewise.
    while (at + 12 <= photoshop.size() && photoshop.mid(at, 4) == "8BIM") {
        const int id = be16(at + 4);
        const qint64 nameLength = byte(at + 6);
        const qint64 sizeAt = at + 6 + ((nameLength + 2) & ~qint64(1));
        const qint64 size = (qint64(be16(sizeAt)) << 16) | be16(sizeAt + 2);
        const qint64 data = sizeAt + 4;
        if (byte(sizeAt + 3) < 0 || size < 0 || data + size > photoshop.size())
            return;
        if (id == 0x0404) {
            // IPTC datasets: 0x1C, record, dataset, a length of two bytes, the value.
            for (qint64 p = data; p + 5 <= data + size && byte(p) == 0x1C;) {
                const qint64 length = be16(p + 3);
                if (length & 0x8000 || p + 5 + length > data + size)
                    return; // an extended length is no caption's
                if (byte(p + 1) == 2 && byte(p + 2) == 120)
                    return takeCaption(QString::fromUtf8(photoshop.mid(p + 5, length)), facts);
                p += 5 + length;
            }
            return;
        }
        at = data + size + (size & 1);
    }
}
