// JPEG decoding straight through libjpeg-turbo: Qt's reader keeps every
// comment in memory, cannot be stopped once it decodes, and cannot be told
// what the decoder's own buffers may cost.
#include "JpegDecoding.h"

#include "common/ReadableBytes.h"
#include "formats/HeaderFormats.h"
#include "formats/PictureFacts.h"

#include <QColorSpace>
#include <QTransform>
#include <QIODevice>
#include <QMap>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <memory>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Scans are counted in the blocks they cover: a 24-megapixel photograph's
// ten or so scans cover about 3 million, and 2^25 blocks, ten times that,
// take about half a second. Thousands of empty scans over a large frame
// would otherwise take minutes.
constexpr qint64 mostScanBlocks = qint64(1) << 25;
constexpr int mostScans = 1000;
// A refused file's scans are counted for its reason, as far as these go: a
// scan takes ten bytes at least, so a million bytes hold as many as this
// counts, and reading this many more costs a fraction of a second.
constexpr qint64 mostScansCounted = 100000;
constexpr qint64 mostBytesCounted = 32 * 1024 * 1024;
constexpr qint64 mostProfileBytes = 4 * 1024 * 1024;
constexpr qint64 readChunk = 64 * 1024;
// Tables, row buffers and the like, besides what is counted.
constexpr qint64 decoderOverhead = 4 * 1024 * 1024;

enum class Abort { Error, Stopped, TooManyScans };

/** Everything one decode keeps: on the heap, so that a jump out of libjpeg skips no destructor. */
struct Decoder {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    Abort abort = Abort::Error;

    QIODevice *device = nullptr;
    const std::atomic<bool> *stop = nullptr;
    std::vector<JOCTET> buffer = std::vector<JOCTET>(std::size_t(readChunk));
    bool incomplete = false;
    QString readError;

    int lastScan = 0;
    qint64 scanBlocks = 0;

    bool exifSeen = false;
    int orientation = 1;
    QByteArray xmp;       // the first XMP packet, for its caption
    QByteArray photoshop; // the first Photoshop segment, for its IPTC caption
    PictureFacts facts;
    QMap<int, QByteArray> profileChunks;
    qint64 profileBytes = 0;

    QImage image;
    std::vector<JSAMPROW> rows;
    qint64 reserved = 0;
    JpegDecoded result;
};

Decoder &decoderOf(j_common_ptr cinfo)
{
    return *static_cast<Decoder *>(cinfo->client_data);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    Decoder &d = decoderOf(cinfo);
    d.abort = Abort::Error;
    std::longjmp(d.jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    if (cinfo->err->msg_code == JWRN_JPEG_EOF)
        decoderOf(cinfo).incomplete = true;
    ++cinfo->err->num_warnings;
}

void progressMonitor(j_common_ptr common)
{
    Decoder &d = decoderOf(common);
    if (d.stop && d.stop->load(std::memory_order_relaxed)) {
        d.abort = Abort::Stopped;
        std::longjmp(d.jump, 1);
    }
    const jpeg_decompress_struct &cinfo = d.cinfo;
    if (cinfo.input_scan_number == d.lastScan)
        return;
    d.lastScan = cinfo.input_scan_number;
    for (int i = 0; i < cinfo.comps_in_scan; ++i)
        d.scanBlocks += qint64(cinfo.cur_comp_info[i]->width_in_blocks) * cinfo.cur_comp_info[i]->height_in_blocks;
    if (d.lastScan > mostScans || d.scanBlocks > mostScanBlocks) {
        d.abort = Abort::TooManyScans;
        std::longjmp(d.jump, 1);
    }
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    const qint64 got = d.device->read(reinterpret_cast<char *>(d.buffer.data()), readChunk);
    if (got > 0) {
        d.source.next_input_byte = d.buffer.data();
        d.source.bytes_in_buffer = std::size_t(got);
        return TRUE;
    }
    if (got < 0 && d.readError.isEmpty())
        d.readError = d.device->errorString();
    // As libjpeg's own sources do: a file that ends early ends with a warning
    // and an end-of-image marker, and what was there is shown.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    d.buffer[0] = 0xFF;
    d.buffer[1] = JPEG_EOI;
    d.source.next_input_byte = d.buffer.data();
    d.source.bytes_in_buffer = 2;
    return TRUE;
}

// A skipped comment is sought past, never read: a picture behind hundreds
// of megabytes of comments costs what the picture costs.
void skipInput(j_decompress_ptr cinfo, long count)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (count <= 0)
        return;
    if (std::size_t(count) <= d.source.bytes_in_buffer) {
        d.source.next_input_byte += count;
        d.source.bytes_in_buffer -= std::size_t(count);
        return;
    }
    const qint64 beyond = count - qint64(d.source.bytes_in_buffer);
    d.source.bytes_in_buffer = 0;
    if (!d.device->seek(std::min(d.device->pos() + beyond, d.device->size())))
        d.device->seek(d.device->size());
}

int nextByte(j_decompress_ptr cinfo)
{
    jpeg_source_mgr &source = *cinfo->src;
    if (source.bytes_in_buffer == 0)
        (*source.fill_input_buffer)(cinfo); // never suspends
    --source.bytes_in_buffer;
    return *source.next_input_byte++;
}

void keepProfileChunk(Decoder &d, const QByteArray &data)
{
    // "ICC_PROFILE\0", the chunk's number from 1, the number of chunks, the bytes.
    if (data.size() < 14 || !data.startsWith(QByteArrayView("ICC_PROFILE\0", 12)))
        return;
    d.profileBytes += data.size() - 14;
    if (d.profileBytes <= mostProfileBytes)
        d.profileChunks.insert(quint8(data.at(12)), data.mid(14));
}

// Whether a segment is one to read: the first of each kind of metadata
// (each at most 64 KiB), and the colour profile's chunks up to their limit.
bool wanted(const Decoder &d, int marker)
{
    if (marker == JPEG_APP0 + 1)
        return !d.exifSeen || d.xmp.isEmpty();
    if (marker == JPEG_APP0 + 2)
        return d.profileBytes <= mostProfileBytes;
    return marker == JPEG_APP0 + 13 && d.photoshop.isEmpty();
}

void keepSegment(Decoder &d, int marker, QByteArray &&data)
{
    if (marker == JPEG_APP0 + 2) {
        keepProfileChunk(d, data);
    } else if (marker == JPEG_APP0 + 13) {
        d.photoshop = std::move(data);
    } else if (!d.exifSeen && data.startsWith(QByteArrayView("Exif\0\0", 6))) {
        d.exifSeen = true;
        const QByteArray tiff = data.mid(6);
        d.orientation = HeaderFormats::exifOrientation(tiff);
        readExifFacts(tiff, d.facts);
    } else if (d.xmp.isEmpty() && data.startsWith(QByteArrayView("http://ns.adobe.com/xap/1.0/\0", 29))) {
        d.xmp = data.mid(29);
    }
}

// Reads one APP1, APP2 or APP13 segment that may hold the orientation, the
// colour profile or what the picture says of itself; anything else is skipped.
boolean readSegment(j_decompress_ptr cinfo)
{
    Decoder &d = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    const int high = nextByte(cinfo);
    const qint64 length = ((high << 8) | nextByte(cinfo)) - 2;
    if (length <= 0)
        return TRUE; // a length of 0 or 1: libjpeg reads on from here, and so do browsers
    if (!wanted(d, cinfo->unread_marker)) {
        (*cinfo->src->skip_input_data)(cinfo, long(length));
        return TRUE;
    }
    QByteArray data(length, Qt::Uninitialized);
    for (char &byte : data)
        byte = char(nextByte(cinfo));
    keepSegment(d, cinfo->unread_marker, std::move(data));
    return TRUE;
}

QByteArray assembledProfile(const Decoder &d)
{
    if (d.profileChunks.isEmpty() || d.profileBytes > mostProfileBytes)
        return {};
    QByteArray profile;
    int expected = 1;
    for (auto it = d.profileChunks.begin(); it != d.profileChunks.end(); ++it, ++expected) {
        if (it.key() != expected)
            return {}; // a chunk is missing: no profile rather than a wrong one
        profile += it.value();
    }
    return profile;
}

void setUp(Decoder &d)
{
    d.cinfo.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = errorExit;
    d.errors.emit_message = emitMessage;
    d.cinfo.client_data = &d;
    jpeg_create_decompress(&d.cinfo);
    d.source.init_source = initSource;
    d.source.fill_input_buffer = fillInput;
    d.source.skip_input_data = skipInput;
    d.source.resync_to_restart = jpeg_resync_to_restart;
    d.source.term_source = termSource;
    d.cinfo.src = &d.source;
    d.progress.progress_monitor = progressMonitor;
    d.cinfo.progress = &d.progress;
    jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + 1, readSegment);
    jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + 2, readSegment);
    jpeg_set_marker_processor(&d.cinfo, JPEG_APP0 + 13, readSegment);
}

// A progressive or multi-scan JPEG keeps the coefficients of every block of
// the whole picture until its last scan, whatever the scale asked for.
qint64 coefficientBytes(const jpeg_decompress_struct &cinfo)
{
    if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components)
        return 0;
    qint64 bytes = 0;
    for (int i = 0; i < cinfo.num_components; ++i) {
        const jpeg_component_info &c = cinfo.comp_info[i];
        const auto roundedUp = [](qint64 blocks, int factor) { return (blocks + factor - 1) / factor * factor; };
        bytes += roundedUp(c.width_in_blocks, c.h_samp_factor) * roundedUp(c.height_in_blocks, c.v_samp_factor)
            * qint64(sizeof(JBLOCK));
    }
    return bytes;
}

QImage::Format chooseOutput(jpeg_decompress_struct &cinfo)
{
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo.out_color_space = JCS_GRAYSCALE;
        return QImage::Format_Grayscale8;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo.out_color_space = JCS_CMYK; // turned to RGB row by row, as Qt's reader does
        return QImage::Format_RGB32;
    default:
        cinfo.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        return QImage::Format_RGB32;
    }
}

// Photoshop's CMYK JPEGs, nearly all there are, store the inks inverted.
void cmykToRgb(uchar *row, int width)
{
    auto *pixels = reinterpret_cast<QRgb *>(row);
    for (int x = 0; x < width; ++x) {
        const uchar *cmyk = row + 4 * x;
        const int k = cmyk[3];
        pixels[x] = qRgb(k * cmyk[0] / 255, k * cmyk[1] / 255, k * cmyk[2] / 255);
    }
}

void readRows(Decoder &d)
{
    jpeg_decompress_struct &cinfo = d.cinfo;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    d.rows.resize(std::size_t(std::max(1, cinfo.rec_outbuf_height)));
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION wanted = std::min<JDIMENSION>(JDIMENSION(d.rows.size()), cinfo.output_height - first);
        for (JDIMENSION i = 0; i < wanted; ++i)
            d.rows[i] = d.image.scanLine(int(first + i));
        const JDIMENSION got = jpeg_read_scanlines(&cinfo, d.rows.data(), wanted);
        for (JDIMENSION i = 0; cmyk && i < got; ++i)
            cmykToRgb(d.image.scanLine(int(first + i)), d.image.width());
    }
}

enum class Stage { Decoded, Refused };

// The part that libjpeg may jump out of: everything it touches lives in d.
Stage decode(Decoder &d, const std::function<QSize(QSize)> &cover, const JpegLimits &limits)
{
    jpeg_decompress_struct &cinfo = d.cinfo;
    JpegDecoded &result = d.result;
    jpeg_read_header(&cinfo, TRUE);
    result.stored = QSize(int(cinfo.image_width), int(cinfo.image_height));
    result.orientation = d.orientation;
    const bool turned = d.orientation >= 5;
    QSize target = cover(turned ? result.stored.transposed() : result.stored);
    if (turned)
        target.transpose();
    cinfo.scale_num = unsigned(jpegEighthsFor(result.stored, target));
    cinfo.scale_denom = 8;
    const QImage::Format format = chooseOutput(cinfo);
    jpeg_calc_output_dimensions(&cinfo);
    const qint64 coefficients = coefficientBytes(cinfo);
    const qint64 pixels = qint64(cinfo.output_width) * cinfo.output_height * (format == QImage::Format_Grayscale8 ? 1 : 4);
    const qint64 needed = coefficients + pixels + decoderOverhead;
    const bool tooManyCoefficients = limits.coefficientBytes > 0 && coefficients > limits.coefficientBytes;
    if (tooManyCoefficients || needed > limits.workingBytes || (limits.reserve && !limits.reserve(needed))) {
        result.overBudget = true;
        const qint64 held = tooManyCoefficients ? coefficients : needed;
        const qint64 allowed = tooManyCoefficients ? limits.coefficientBytes : limits.workingBytes;
        result.problem = coefficients > 0
            ? QStringLiteral("Decoding it would take %1 of memory: a progressive JPEG of %2 x %3 pixels is held whole "
                             "while it decodes, and at most %4 is allowed.")
                  .arg(readableBytes(held)).arg(result.stored.width()).arg(result.stored.height())
                  .arg(readableBytes(allowed))
            : QStringLiteral("It is too large: %1 x %2 pixels.").arg(result.stored.width()).arg(result.stored.height());
        return Stage::Refused;
    }
    d.reserved = limits.reserve ? needed : 0;
    // Should the estimate ever fall short, libjpeg refuses rather than takes more.
    cinfo.mem->max_memory_to_use = long(std::min<qint64>(coefficients + decoderOverhead, LONG_MAX));
    d.image = QImage(int(cinfo.output_width), int(cinfo.output_height), format);
    if (d.image.isNull()) {
        result.problem = QStringLiteral("There is not enough memory to decode it.");
        return Stage::Refused;
    }
    jpeg_start_decompress(&cinfo);
    readRows(d);
    return Stage::Decoded;
}

// The file's bytes from its start, read a chunk at a time into the decoder's
// buffer, at most mostBytesCounted of them; segments are sought past.
class MarkerWalk
{
public:
    MarkerWalk(QIODevice &device, std::vector<JOCTET> &buffer, const std::atomic<bool> *stop)
        : m_device(device), m_buffer(buffer), m_stop(stop)
    {
    }

    // Returns the next byte, or -1 where the file or the bytes it may read end.
    int next() { return m_at < m_size || refill() ? m_buffer[m_at++] : -1; }

    // Moves past the next 0xFF; false where the file or the bytes it may read end.
    bool pastNextFF()
    {
        while (m_at < m_size || refill()) {
            const auto *from = m_buffer.data() + m_at;
            if (const void *found = std::memchr(from, 0xFF, m_size - m_at)) {
                m_at += std::size_t(static_cast<const JOCTET *>(found) - from) + 1;
                return true;
            }
            m_at = m_size;
        }
        return false;
    }

    void skip(qint64 count)
    {
        if (count <= qint64(m_size - m_at)) {
            m_at += std::size_t(std::max<qint64>(count, 0));
            return;
        }
        const qint64 beyond = count - qint64(m_size - m_at);
        m_at = m_size;
        if (!m_device.seek(std::min(m_device.pos() + beyond, m_device.size())))
            m_device.seek(m_device.size());
    }

    // Whether the file ended it, rather than the bytes it may read, a read error or a stop.
    bool atEnd() const { return m_atEnd; }

private:
    bool refill()
    {
        const qint64 room = std::min(qint64(m_buffer.size()), mostBytesCounted - m_read);
        if (room <= 0 || (m_stop && m_stop->load(std::memory_order_relaxed)))
            return false;
        const qint64 got = m_device.read(reinterpret_cast<char *>(m_buffer.data()), room);
        m_atEnd = got == 0;
        if (got <= 0)
            return false;
        m_read += got;
        m_at = 0;
        m_size = std::size_t(got);
        return true;
    }

    QIODevice &m_device;
    std::vector<JOCTET> &m_buffer;
    const std::atomic<bool> *m_stop;
    std::size_t m_at = 0;
    std::size_t m_size = 0;
    qint64 m_read = 0;
    bool m_atEnd = false;
};

struct ScanCount {
    qint64 scans = 0;
    bool whole = false; // scans is all the file has, not those found as far as the count went
};

// Counts the file's start-of-scan markers up to its end of image, walking
// its markers as the decoder does: a segment is sought past by its length,
// and in the data between, a 0xFF is a marker unless a 0 (stuffing), a
// restart marker or another 0xFF (fill) follows.
ScanCount countScans(Decoder &d)
{
    constexpr int tem = 0x01, soi = 0xD8, sos = 0xDA;
    ScanCount count;
    if (!d.device->seek(0))
        return count;
    MarkerWalk walk(*d.device, d.buffer, d.stop);
    if (walk.next() != 0xFF || walk.next() != soi)
        return count;
    while (walk.pastNextFF()) {
        int marker = walk.next();
        while (marker == 0xFF)
            marker = walk.next();
        if (marker == 0 || marker == tem || (marker >= JPEG_RST0 && marker < JPEG_RST0 + 8))
            continue;
        if (marker == JPEG_EOI || marker == soi) { // the decoder stops at a second start of image too
            count.whole = true;
            return count;
        }
        if (marker == sos && ++count.scans > mostScansCounted)
            return count;
        const int high = walk.next();
        const int low = walk.next();
        if (low >= 0)
            walk.skip(((high << 8) | low) - 2);
    }
    count.whole = walk.atEnd(); // the decoder too takes the end of the file for an end of image
    return count;
}

QString abortReason(Decoder &d)
{
    if (d.abort == Abort::TooManyScans) {
        // Where the decode stopped says nothing of the file: the scans it
        // holds are counted; where they are too many to count, the reason
        // says what is sure.
        const ScanCount count = countScans(d);
        const qint64 known = std::max<qint64>(count.scans, d.lastScan);
        const QString scans = count.whole && count.scans >= d.lastScan ? QString::number(count.scans)
                                                                        : QStringLiteral("more than %1").arg(known - 1);
        return QStringLiteral("Its %1 scans would take too long to decode; photographs have a few dozen at most.")
            .arg(scans);
    }
    if (!d.readError.isEmpty())
        return QStringLiteral("It could not be read: %1.").arg(d.readError);
    return QStringLiteral("It is damaged, or not a picture.");
}

} // namespace

int jpegEighthsFor(QSize stored, QSize target)
{
    const auto covers = [&](int eighths) {
        const auto scaled = [eighths](int side) { return (qint64(side) * eighths + 7) / 8; };
        return scaled(stored.width()) >= target.width() && scaled(stored.height()) >= target.height();
    };
    for (int eighths = 1; eighths < 8; ++eighths) {
        if (covers(eighths))
            return eighths;
    }
    return 8;
}

JpegDecoded decodeJpeg(QIODevice &device, const std::function<QSize(QSize)> &cover, const JpegLimits &limits)
{
    // Nothing local to this function changes between the setjmp and a jump
    // back to it: all the decode's state is in *d.
    const auto d = std::make_unique<Decoder>();
    d->device = &device;
    d->stop = limits.stop;
    if (!device.seek(0)) {
        d->result.problem = QStringLiteral("It could not be read: %1.").arg(device.errorString());
        return std::move(d->result);
    }
    setUp(*d);
    JpegDecoded &result = d->result;
    if (setjmp(d->jump) == 0) {
        if (decode(*d, cover, limits) == Stage::Decoded) {
            result.image = std::move(d->image);
            if (const QByteArray profile = assembledProfile(*d); !profile.isEmpty())
                result.image.setColorSpace(QColorSpace::fromIccProfile(profile));
            result.facts = std::move(d->facts);
            readXmpCaption(d->xmp, result.facts);
            readIptcCaption(d->photoshop, result.facts);
        }
    } else {
        result.stopped = d->abort == Abort::Stopped;
        result.overBudget = d->abort == Abort::TooManyScans;
        result.problem = result.stopped ? QString() : abortReason(*d);
        result.image = QImage();
    }
    result.incomplete = d->incomplete;
    jpeg_destroy_decompress(&d->cinfo);
    if (d->reserved > 0 && limits.release)
        limits.release(d->reserved);
    return std::move(result);
}

QImage upright(QImage image, int orientation)
{
    // Mirrored (left to right), flipped (top to bottom), then turned a quarter clockwise.
    struct Turn {
        bool mirror, flip, quarter;
    };
    static constexpr Turn turns[] = {{false, false, false}, {true, false, false}, {true, true, false},
                                     {false, true, false},  {false, true, true},  {false, false, true},
                                     {true, false, true},   {true, true, true}};
    if (orientation < 2 || orientation > 8)
        return image;
    const Turn turn = turns[orientation - 1];
    if (turn.mirror || turn.flip)
        image = std::move(image).mirrored(turn.mirror, turn.flip);
    if (turn.quarter)
        image = image.transformed(QTransform().rotate(90));
    return image;
}
