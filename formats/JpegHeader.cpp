// JPEG markers from the start of the image to the first scan header, checked
// as the browsers' decoder (libjpeg-turbo) checks them before it shows
// anything; the entropy-coded data itself is never read.
#include "HeaderFormats.h"

#include <QList>

#include <algorithm>
#include <QVarLengthArray>

namespace HeaderFormats {

namespace {

constexpr int largestSide = 65500;   // libjpeg's limit
constexpr qint64 maxDiscarded = 65536; // junk skipped before one marker, at most

struct Component {
    quint8 id = 0;
    quint8 horizontal = 1;
    quint8 vertical = 1;
    quint8 quantTable = 0;
};

struct JpegState {
    bool frameSeen = false;
    bool progressive = false;
    bool arithmetic = false;
    QSize size;
    QVarLengthArray<Component, 4> components; // a frame has 1 to 4 (more are refused)
    bool quantDefined[4] = {};
    bool dcDefined[4] = {};
    bool acDefined[4] = {};
    int orientation = 1;
    bool exifSeen = false;
};

// Why a segment is refused: empty when it is sound.
struct Check {
    QString reason;
    bool incomplete = false; // the file ends inside the segment
    bool bad() const { return incomplete || !reason.isEmpty(); }
};

Check damaged(const QString &what)
{
    return {QStringLiteral("It is damaged: %1.").arg(what)};
}

Check cutShort()
{
    return {{}, true};
}

// Finds the next marker as libjpeg does: bytes before it are skipped (a
// warning, not an error, to the decoder), and so are fill bytes and FF 00.
quint8 nextMarker(HeaderCursor &cursor, Check &check)
{
    qint64 discarded = 0;
    for (;;) {
        quint8 byte = 0;
        do {
            if (!cursor.u8(byte)) {
                check = cutShort();
                return 0;
            }
        } while (byte != 0xFF && ++discarded <= maxDiscarded);
        do {
            if (!cursor.u8(byte)) {
                check = cutShort();
                return 0;
            }
        } while (byte == 0xFF && ++discarded <= maxDiscarded);
        if (discarded > maxDiscarded) {
            check = damaged(QStringLiteral("no marker where one must be"));
            return 0;
        }
        if (byte != 0x00)
            return byte;
        discarded += 2;
    }
}

bool isFrame(quint8 marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Baseline, extended and progressive, Huffman or arithmetic coded.
bool isShownFrame(quint8 marker)
{
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

Check checkSampling(const QVarLengthArray<Component, 4> &components)
{
    int widest = 1, tallest = 1;
    for (const Component &c : components) {
        if (c.horizontal < 1 || c.horizontal > 4 || c.vertical < 1 || c.vertical > 4)
            return damaged(QStringLiteral("its frame header gives an impossible sampling factor"));
        widest = std::max<int>(widest, c.horizontal);
        tallest = std::max<int>(tallest, c.vertical);
    }
    for (const Component &c : components) {
        if (widest % c.horizontal != 0 || tallest % c.vertical != 0)
            return {QStringLiteral("It is a kind of JPEG that browsers do not show (uneven colour sampling).")};
    }
    return {};
}

Check readFrame(HeaderCursor &cursor, qint64 end, quint8 marker, JpegState &state)
{
    if (state.frameSeen)
        return damaged(QStringLiteral("it has two frame headers"));
    quint8 precision = 0, count = 0;
    quint16 height = 0, width = 0;
    if (!cursor.u8(precision) || !cursor.u16be(height) || !cursor.u16be(width) || !cursor.u8(count))
        return cutShort();
    if (height == 0 || width == 0 || count == 0)
        return {QStringLiteral("Its picture size cannot be read: its header gives no height or width.")};
    if (end - cursor.position() != 3 * qint64(count))
        return damaged(QStringLiteral("its frame header is malformed"));
    if (precision != 8)
        return {QStringLiteral("It is a %1-bit JPEG, which browsers do not show.").arg(precision)};
    if (count != 1 && count != 3 && count != 4)
        return {QStringLiteral("It is a kind of JPEG that browsers do not show (%1 colour components).").arg(count)};
    if (height > largestSide || width > largestSide)
        return {QStringLiteral("Its picture is larger than browsers show (over 65,500 pixels a side).")};
    for (int i = 0; i < count; ++i) {
        quint8 id = 0, sampling = 0, quant = 0;
        if (!cursor.u8(id) || !cursor.u8(sampling) || !cursor.u8(quant))
            return cutShort();
        state.components.append({id, quint8(sampling >> 4), quint8(sampling & 0x0F), quant});
    }
    if (const Check sampling = checkSampling(state.components); sampling.bad())
        return sampling;
    state.frameSeen = true;
    state.progressive = marker == 0xC2 || marker == 0xCA;
    state.arithmetic = marker >= 0xC9;
    state.size = QSize(width, height);
    return {};
}

// Each table whole: 64 entries of one or two bytes, filling the segment exactly.
Check readQuantTables(HeaderCursor &cursor, qint64 end, JpegState &state)
{
    while (cursor.position() < end) {
        quint8 spec = 0;
        if (!cursor.u8(spec))
            return cutShort();
        if ((spec & 0x0F) > 3 || (spec >> 4) > 1)
            return damaged(QStringLiteral("a quantisation table with an impossible number"));
        const qint64 tableEnd = cursor.position() + 64 * ((spec >> 4) + 1);
        if (tableEnd > end)
            return damaged(QStringLiteral("a quantisation table longer than its segment"));
        state.quantDefined[spec & 0x0F] = true;
        cursor.seek(tableEnd);
    }
    return {};
}

// A Huffman table's code lengths must leave room for every code, as the decoder demands.
bool codesFit(const quint8 (&counts)[16])
{
    qint64 code = 0;
    for (int length = 1; length <= 16; ++length) {
        code += counts[length - 1];
        if (code > (qint64(1) << length) || (code == (qint64(1) << length) && counts[length - 1] > 0))
            return false;
        code <<= 1;
    }
    return true;
}

Check readHuffmanTables(HeaderCursor &cursor, qint64 end, JpegState &state)
{
    while (cursor.position() < end) {
        const quint8 *head = cursor.take(17); // the table's number, then its 16 code counts
        if (!head)
            return cutShort();
        const quint8 spec = head[0];
        quint8 counts[16] = {};
        int total = 0;
        for (int i = 0; i < 16; ++i) {
            counts[i] = head[1 + i];
            total += counts[i];
        }
        const bool ac = spec & 0x10;
        const int index = spec & 0x0F;
        if ((spec & 0xE0) != 0 || index > 3)
            return damaged(QStringLiteral("a Huffman table with an impossible number"));
        if (total > 256 || cursor.position() + total > end || !codesFit(counts))
            return damaged(QStringLiteral("a Huffman table that cannot be right"));
        const quint8 *symbols = cursor.take(total);
        if (!symbols)
            return cutShort();
        if (!ac && std::any_of(symbols, symbols + total, [](quint8 symbol) { return symbol > 15; }))
            return damaged(QStringLiteral("a Huffman table that cannot be right"));
        (ac ? state.acDefined : state.dcDefined)[index] = true;
    }
    return {};
}

Check checkProgression(int count, quint8 start, quint8 stop, quint8 successive)
{
    const int high = successive >> 4, low = successive & 0x0F;
    bool bad = start == 0 ? stop != 0 : (start > stop || stop > 63 || count != 1);
    bad = bad || (high != 0 && low != high - 1) || low > 13;
    return bad ? damaged(QStringLiteral("its first scan has impossible progression values")) : Check{};
}

// Without a table of its own, a scan may use the decoder's standard tables 0 and 1 only.
bool hasTable(const bool (&defined)[4], int index)
{
    return index < 4 && (defined[index] || index < 2);
}

Check readScan(HeaderCursor &cursor, qint64 end, const JpegState &state)
{
    if (!state.frameSeen)
        return damaged(QStringLiteral("its picture data comes before its frame header"));
    quint8 count = 0;
    if (!cursor.u8(count))
        return cutShort();
    if (count < 1 || count > 4 || end - cursor.position() != 2 * qint64(count) + 3)
        return damaged(QStringLiteral("its scan header is malformed"));
    QVarLengthArray<Component, 4> inScan;
    QVarLengthArray<quint8, 4> tables;
    for (int i = 0; i < count; ++i) {
        quint8 id = 0, selectors = 0;
        if (!cursor.u8(id) || !cursor.u8(selectors))
            return cutShort();
        const auto found = std::find_if(state.components.begin(), state.components.end(),
                                        [id](const Component &c) { return c.id == id; });
        const bool repeated = std::any_of(inScan.begin(), inScan.end(), [id](const Component &c) { return c.id == id; });
        if (found == state.components.end() || repeated)
            return damaged(QStringLiteral("its scan names a component its frame does not have"));
        inScan.append(*found);
        tables.append(selectors);
    }
    quint8 start = 0, stop = 0, successive = 0;
    if (!cursor.u8(start) || !cursor.u8(stop) || !cursor.u8(successive))
        return cutShort();
    if (state.progressive) {
        if (const Check progression = checkProgression(count, start, stop, successive); progression.bad())
            return progression;
    }
    for (qsizetype i = 0; i < inScan.size(); ++i) {
        const quint8 quant = inScan[i].quantTable;
        if (quant > 3 || !state.quantDefined[quant])
            return damaged(QStringLiteral("it uses a quantisation table it never defines"));
        const bool usesDc = !state.progressive || (start == 0 && (successive >> 4) == 0);
        const bool usesAc = !state.progressive || start > 0;
        if (!state.arithmetic && ((usesDc && !hasTable(state.dcDefined, tables[i] >> 4))
                                  || (usesAc && !hasTable(state.acDefined, tables[i] & 0x0F))))
            return damaged(QStringLiteral("it uses a Huffman table it never defines"));
    }
    if (cursor.position() >= cursor.size())
        return {QStringLiteral("It holds no picture data: the file ends after its scan header.")};
    return {};
}

// Keeps the orientation of the first APP1 segment that is EXIF; at most 64 KiB held.
Check readApp1(HeaderCursor &cursor, qint64 length, JpegState &state)
{
    if (state.exifSeen || length < 8)
        return {};
    QByteArray data;
    if (!cursor.read(length, data))
        return cutShort();
    if (data.startsWith(QByteArrayView("Exif\0\0", 6))) {
        state.exifSeen = true;
        state.orientation = exifOrientation(data.mid(6));
    }
    return {};
}

Check readSegment(HeaderCursor &cursor, quint8 marker, qint64 end, JpegState &state)
{
    if (isShownFrame(marker))
        return readFrame(cursor, end, marker, state);
    switch (marker) {
    case 0xDB:
        return readQuantTables(cursor, end, state);
    case 0xC4:
        return readHuffmanTables(cursor, end, state);
    case 0xDD:
        return end - cursor.position() == 2 ? Check{} : damaged(QStringLiteral("a restart interval of the wrong length"));
    case 0xE1:
        return readApp1(cursor, end - cursor.position(), state);
    default:
        return {}; // APPn, COM, DNL, DAC: skipped unread
    }
}

// Refuses a marker the decoder stops at; empty when the marker may stand here.
Check refuseMarker(quint8 marker)
{
    if (marker == 0xD9)
        return {QStringLiteral("It holds no picture: it ends before its picture data.")};
    if (marker == 0xD8)
        return damaged(QStringLiteral("a second start-of-image marker"));
    if (isFrame(marker) && !isShownFrame(marker))
        return {QStringLiteral("It is a kind of JPEG that browsers do not show (lossless or hierarchical).")};
    const bool known = marker >= 0xC0 && marker != 0xC8 && !(marker >= 0xF0 && marker <= 0xFD);
    if (!known)
        return damaged(QStringLiteral("it holds a marker that cannot appear there"));
    return {};
}

HeaderReading verdict(const Check &check, const HeaderCursor &cursor)
{
    return check.incomplete ? incomplete(cursor) : failure(check.reason);
}

} // namespace

HeaderReading readJpeg(HeaderCursor &cursor, const std::atomic<bool> *cancel)
{
    JpegState state;
    cursor.seek(2);
    for (int segment = 1; segment <= maxSegments; ++segment) {
        if (isCancelled(cancel, segment))
            return cancelled();
        Check check;
        const quint8 marker = nextMarker(cursor, check);
        if (check.bad())
            return verdict(check, cursor);
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue; // restart and TEM markers stand alone
        if (check = refuseMarker(marker); check.bad())
            return verdict(check, cursor);
        quint16 length = 0;
        if (!cursor.u16be(length))
            return incomplete(cursor);
        // An application or comment segment whose length is 0 or 1 is read
        // on from just after its length, as libjpeg does, and browsers show the picture.
        const bool skippable = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        if (length < 2 && !skippable)
            return failure(QStringLiteral("It is damaged: a segment with an impossible length."));
        const qint64 end = length < 2 ? cursor.position() : cursor.position() - 2 + length;
        check = marker == 0xDA ? readScan(cursor, end, state) : readSegment(cursor, marker, end, state);
        if (check.bad())
            return verdict(check, cursor);
        if (marker == 0xDA) {
            QSize size = state.size;
            if (state.orientation >= 5)
                size.transpose();
            return {size, {}, false};
        }
        cursor.seek(end);
    }
    return failure(QStringLiteral("Its header is too long to measure: more than 65,536 segments."));
}

} // namespace HeaderFormats
