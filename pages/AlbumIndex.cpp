#include "AlbumIndex.h"

#include "platform/PictureFolder.h"

#include <QFile>

#include <array>
#include <limits>

namespace {

// A real index holds a line or so per picture; anything far larger is not ours.
constexpr qint64 maxIndexBytes = 256 * 1024 * 1024;
// One line a picture, its fields between tabs, the first line naming the
// format and the sizes: read and written in a fraction of the time a JSON
// tree of a hundred thousand pictures takes, and in a fraction of the memory.
constexpr QByteArrayView header = "vimbrel album 1";

// The pieces of text between separators, as views into it; at most count, else none.
template<std::size_t count>
bool fieldsOf(QByteArrayView text, char separator, std::array<QByteArrayView, count> &fields)
{
    std::size_t found = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != separator)
            continue;
        if (found == count)
            return false;
        fields[found++] = text.sliced(start, i - start);
        start = i + 1;
    }
    return found == count;
}

// A whole number written in decimal, with a minus sign or not; 0 for anything else.
qint64 numberIn(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    quint64 value = 0;
    for (qsizetype i = negative ? 1 : 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9' || value > (std::numeric_limits<quint64>::max() - 9) / 10)
            return 0;
        value = value * 10 + quint64(c - '0');
    }
    return negative ? -qint64(value) : qint64(value);
}

FileStamp stampFromText(QByteArrayView text)
{
    std::array<QByteArrayView, 4> fields;
    if (!fieldsOf(text, ' ', fields))
        return {};
    return {numberIn(fields[0]), numberIn(fields[1]), numberIn(fields[2]), quint64(numberIn(fields[3]))};
}

QByteArray sizeText(QSize size)
{
    return QByteArray::number(size.width()) + ' ' + QByteArray::number(size.height());
}

QSize sizeFromText(QByteArrayView text)
{
    const qsizetype space = text.indexOf(' ');
    return space < 0 ? QSize() : QSize(int(numberIn(text.first(space))), int(numberIn(text.sliced(space + 1))));
}

// Text with its tabs, line breaks and backslashes escaped, so a field is never split.
QByteArray escapedText(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains('\\') && !bytes.contains('\t') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    return bytes.replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n").replace('\r', "\\r");
}

QString unescapedText(QByteArrayView field)
{
    if (field.isEmpty())
        return {};
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
    QByteArray bytes;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            bytes += field[i];
            continue;
        }
        const char next = field[++i];
        bytes += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(bytes);
}

QByteArray sizesLine(const AlbumSizes &sizes)
{
    return header.toByteArray() + " box " + QByteArray::number(sizes.box) + " web " + QByteArray::number(sizes.webSize);
}

// The facts after the fixed fields, in this order.
QString PictureFacts::*const textFacts[] = {&PictureFacts::camera, &PictureFacts::exposure, &PictureFacts::aperture,
                                            &PictureFacts::iso, &PictureFacts::focalLength, &PictureFacts::caption};
constexpr qsizetype fieldCount = 7 + std::size(textFacts);

QByteArray line(const QString &name, const AlbumRecord &record)
{
    QByteArray text = escapedText(name) + '\t' + record.stamp.text().toLatin1() + '\t' + sizeText(record.small) + '\t'
        + sizeText(record.large) + '\t' + sizeText(record.web) + '\t' + QByteArray::number(record.page, 16) + '\t'
        + (record.facts.taken.isValid() ? record.facts.taken.toString(Qt::ISODate).toLatin1() : QByteArray());
    for (QString PictureFacts::*field : textFacts)
        text += '\t' + escapedText(record.facts.*field);
    return text + '\n';
}

bool readLine(QByteArrayView text, bool sameSizes, QString &name, AlbumRecord &record)
{
    std::array<QByteArrayView, fieldCount> fields;
    if (!fieldsOf(text, '\t', fields))
        return false;
    name = unescapedText(fields.at(0));
    if (sameSizes)
        record.stamp = stampFromText(fields.at(1));
    record.small = sizeFromText(fields.at(2));
    record.large = sizeFromText(fields.at(3));
    record.web = sizeFromText(fields.at(4));
    if (!record.web.isValid() || record.web.isEmpty())
        record.web = QSize();
    record.page = fields.at(5).toULongLong(nullptr, 16);
    if (!fields.at(6).isEmpty())
        record.facts.taken = QDateTime::fromString(QString::fromLatin1(fields.at(6)), Qt::ISODate);
    for (qsizetype i = 0; i < qsizetype(std::size(textFacts)); ++i)
        record.facts.*textFacts[i] = unescapedText(fields.at(7 + i));
    return true;
}

} // namespace

AlbumIndex AlbumIndex::load(const FolderHandle &albumFolder, const AlbumSizes &sizes)
{
    AlbumIndex index;
    const OpenedPicture opened = openFileIn(albumFolder, QString::fromLatin1(fileName));
    if (!opened.opened.file || opened.opened.length > maxIndexBytes)
        return index;
    const QByteArray bytes = opened.opened.file->readAll();
    const qsizetype firstEnd = bytes.indexOf('\n');
    const QByteArrayView first = QByteArrayView(bytes).first(std::max<qsizetype>(firstEnd, 0));
    if (firstEnd < 0 || !first.startsWith(header))
        return index;
    const bool sameSizes = first == sizesLine(sizes);
    for (qsizetype at = firstEnd + 1; at < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        QString name;
        AlbumRecord record;
        if (readLine(QByteArrayView(bytes).sliced(at, end - at), sameSizes, name, record) && isPlainName(name))
            index.records.insert(name, record);
        at = end + 1;
    }
    return index;
}

QByteArray AlbumIndex::serialized(const AlbumSizes &sizes) const
{
    QByteArray text = sizesLine(sizes) + '\n';
    text.reserve(records.size() * 96);
    for (auto it = records.begin(); it != records.end(); ++it)
        text += line(it.key(), it.value());
    return text;
}
