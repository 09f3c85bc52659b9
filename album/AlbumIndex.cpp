#include "AlbumIndex.h"

#include "common/OrderedWork.h"
#include "system/PictureFolder.h"

#include <QFile>

#include <algorithm>

#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// A line holds a name and six facts of at most 2,000 characters each, escaped:
// never near this. An index larger than its pictures' lines could be is not
// ours, and is not read at all: what it costs stays in proportion to the album.
constexpr qint64 mostRecordBytes = 128 * 1024;
constexpr qint64 mostIndexBytes = 256 * 1024 * 1024;
constexpr qint64 readChunk = 1024 * 1024;
// One line a picture, its fields between tabs, the first line naming the
// format and the sizes: read and written in a fraction of the time a JSON
// tree of a hundred thousand pictures takes, and in a fraction of the memory.
constexpr QByteArrayView header = "vimbrel album 1";

// The pieces of text between separators, as views into it, at most count:
// how many there are, or count + 1 when there are more.
template<std::size_t count>
std::size_t splitFields(QByteArrayView text, char separator, std::array<QByteArrayView, count> &fields)
{
    std::size_t found = 0;
    const char *at = text.data(), *const end = at + text.size();
    for (;;) {
        const void *next = std::memchr(at, separator, std::size_t(end - at));
        const char *stop = next ? static_cast<const char *>(next) : end;
        if (found == count)
            return count + 1;
        fields[found++] = QByteArrayView(at, stop - at);
        if (!next)
            return found;
        at = stop + 1;
    }
}

// The pieces of text between separators, as views into it; exactly count, else none.
template<std::size_t count>
bool fieldsOf(QByteArrayView text, char separator, std::array<QByteArrayView, count> &fields)
{
    return splitFields(text, separator, fields) == count;
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

// A whole number written in hexadecimal, as a page's digest is; 0 for anything else.
quint64 hexNumberIn(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 16)
        return 0;
    quint64 value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return 0;
        value = value << 4 | quint64(digit);
    }
    return value;
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
constexpr qsizetype clipFieldCount = fieldCount + 2; // a clip's length and copy's kind after them

QByteArray line(const QString &name, const AlbumRecord &record)
{
    const PictureFacts &facts = *record.facts;
    QByteArray text = escapedText(name) + '\t' + record.stamp.text().toLatin1() + '\t' + sizeText(record.small) + '\t'
        + sizeText(record.large) + '\t' + sizeText(record.web) + '\t' + QByteArray::number(record.page, 16) + '\t'
        + (facts.taken.isValid() ? facts.taken.toString(Qt::ISODate).toLatin1() : QByteArray());
    for (QString PictureFacts::*field : textFacts)
        text += '\t' + escapedText(facts.*field);
    // A clip's two fields follow; a picture's line is as it always was.
    if (facts.clipMilliseconds >= 0)
        text += '\t' + QByteArray::number(facts.clipMilliseconds) + '\t' + escapedText(facts.clipCopy);
    return text + '\n';
}

void readFields(const std::array<QByteArrayView, clipFieldCount> &fields, bool clip, bool sameSizes, AlbumRecord &record)
{
    record.small = sizeFromText(fields.at(2));
    record.large = sizeFromText(fields.at(3));
    record.web = sizeFromText(fields.at(4));
    if (sameSizes)
        record.stamp = stampFromText(fields.at(1));
    if (!record.web.isValid() || record.web.isEmpty())
        record.web = QSize();
    record.page = hexNumberIn(fields.at(5));
    // Most small pictures say nothing of themselves: their facts are never made.
    if (!clip && std::all_of(fields.begin() + 6, fields.begin() + fieldCount, [](QByteArrayView field) { return field.isEmpty(); }))
        return;
    PictureFacts facts;
    if (!fields.at(6).isEmpty())
        facts.taken = QDateTime::fromString(QString::fromLatin1(fields.at(6)), Qt::ISODate);
    for (qsizetype i = 0; i < qsizetype(std::size(textFacts)); ++i)
        facts.*textFacts[i] = unescapedText(fields.at(7 + i));
    if (clip) {
        const QString kind = unescapedText(fields.at(fieldCount + 1));
        // Only the kinds a run makes: the name of the copy is made from it.
        if (kind.isEmpty() || kind == QLatin1String("mp4") || kind == QLatin1String("webm")) {
            facts.clipMilliseconds = std::max<qint64>(0, numberIn(fields.at(fieldCount)));
            facts.clipCopy = kind;
        }
    }
    record.facts = facts;
}

bool readLine(QByteArrayView text, bool sameSizes, AlbumRecord &record)
{
    // A picture's line has its fields, a clip's two more: split once.
    std::array<QByteArrayView, clipFieldCount> fields;
    const std::size_t found = splitFields(text, '\t', fields);
    if (found == std::size_t(clipFieldCount)) {
        readFields(fields, true, sameSizes, record);
        return true;
    }
    if (found != std::size_t(fieldCount))
        return false;
    readFields(fields, false, sameSizes, record);
    return true;
}

// A record is kept only for a picture the folder holds: the name is read
// first, and the rest only when it matters.
// An index page's line: a tab where a name would be, "page", its number,
// its digest and its file's stamp. No picture's name is empty.
constexpr QByteArrayView pageLineStart = "\tpage\t";

QByteArray pageLine(qint64 page, const IndexPageRecord &record)
{
    return pageLineStart.toByteArray() + QByteArray::number(page) + '\t' + QByteArray::number(record.digest, 16) + '\t'
        + record.stamp.text().toLatin1() + '\n';
}

bool takePageLine(AlbumIndex &index, QByteArrayView text)
{
    std::array<QByteArrayView, 3> fields;
    if (!fieldsOf(text.sliced(pageLineStart.size()), '\t', fields))
        return false;
    const qint64 page = numberIn(fields[0]);
    const quint64 digest = hexNumberIn(fields[1]);
    if (page < 1 || fields[1].isEmpty())
        return false;
    index.indexPages.insert(page, {digest, stampFromText(fields[2])});
    return true;
}

// A line read: the record of a picture the folder holds, keyed by the
// folder's own copy of its name; a null name for a line left out.
struct ReadLine {
    QString name;
    AlbumRecord record;
};

// The name is read first, and the rest only when it matters.
ReadLine readRecordLine(QByteArrayView text, bool sameSizes, const std::function<QString(const QString &)> &held)
{
    const qsizetype tab = text.indexOf('\t');
    const QString written = tab > 0 ? unescapedText(text.first(tab)) : QString();
    ReadLine line{isPlainName(written) ? held(written) : QString(), {}};
    if (!line.name.isNull() && !readLine(text, sameSizes, line.record))
        line.name = QString();
    return line;
}

// The lines of a part of the file read on every core (each is mostly
// waiting on memory, for the name's lookup), and kept in the file's order.
void takeLines(AlbumIndex &index, const std::vector<QByteArrayView> &lines, bool sameSizes,
               const std::function<QString(const QString &)> &held)
{
    OrderedWork<ReadLine>::run(qsizetype(lines.size()),
        [&](qsizetype i) { return readRecordLine(lines[std::size_t(i)], sameSizes, held); },
        [&index](qsizetype, ReadLine &&line) {
            if (line.name.isNull())
                index.skipped = true;
            else
                index.records.insert(line.name, line.record);
            return true;
        }, 512);
}

} // namespace

AlbumIndex AlbumIndex::load(const FolderHandle &albumFolder, const AlbumSizes &sizes,
                            const std::function<QString(const QString &)> &held, qint64 pictures)
{
    AlbumIndex index;
    const OpenedPicture opened = openFileIn(albumFolder, QString::fromLatin1(fileName));
    if (!opened.opened.file || opened.opened.length > std::min(mostIndexBytes, (pictures + 8) * mostRecordBytes))
        return index;
    QFile &file = *opened.opened.file;
    index.records.reserve(pictures); // sized once: no picture's record is kept twice while it grows
    QByteArray bytes;
    bool first = true, sameSizes = false, skipping = false;
    for (;;) {
        const qsizetype kept = bytes.size();
        bytes.resize(kept + readChunk);
        const qint64 got = file.read(bytes.data() + kept, readChunk);
        bytes.truncate(kept + std::max<qint64>(got, 0));
        const bool atEnd = got <= 0;
        qsizetype at = 0;
        std::vector<QByteArrayView> lines;
        for (qsizetype end; (end = bytes.indexOf('\n', at)) >= 0 || (atEnd && at < bytes.size()); at = end + 1) {
            if (end < 0)
                end = bytes.size();
            const QByteArrayView text = QByteArrayView(bytes).sliced(at, end - at);
            if (skipping) {
            } else if (first) {
                if (!text.startsWith(header))
                    return index;
                sameSizes = text == sizesLine(sizes);
                first = false;
            } else if (text.startsWith(pageLineStart)) {
                // Made for other sizes, the pages are made again too.
                if (!sameSizes || !takePageLine(index, text))
                    index.skipped = true;
            } else {
                lines.push_back(text);
            }
            skipping = false;
        }
        takeLines(index, lines, sameSizes, held);
        bytes.remove(0, std::min(at, bytes.size()));
        if (atEnd)
            return index;
        if (bytes.size() > mostRecordBytes) { // no line of ours is this long: skip to its end
            bytes.clear();
            skipping = index.skipped = true;
        }
    }
}

QByteArray AlbumIndex::serialized(const AlbumSizes &sizes) const
{
    QByteArray text = sizesLine(sizes) + '\n';
    text.reserve(records.size() * 96);
    for (auto it = records.begin(); it != records.end(); ++it)
        text += line(it.key(), it.value());
    for (auto it = indexPages.begin(); it != indexPages.end(); ++it)
        text += pageLine(it.key(), it.value());
    return text;
}
