#include "HeifLibrary.h"

#include "common/ReadableBytes.h"
#include "formats/PictureHeader.h"

#include <libheif/heif.h>

#include <QColorSpace>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace {

// More pixels a side than any camera makes; libheif refuses a header that
// claims more before it takes anything.
constexpr int mostPixelsASide = 32768;
// A 48-megapixel phone photo is some 200 tiles; thousands of items are a
// file made to keep a decoder busy, not a photograph.
constexpr quint32 mostItems = 2048;
// Exif and XMP blocks larger than this hold something besides facts.
constexpr size_t mostMetadataBytes = 1024 * 1024;
// Boxes looked at before giving up on finding the item list.
constexpr int mostBoxes = 64;

struct HeifReading {
    ByteSource &source;
    const std::atomic<bool> *stop;
    qint64 position = 0;
    QString failure; // why a read failed: the file shrank, or the disk failed
};

bool stopped(const std::atomic<bool> *stop)
{
    return stop && stop->load(std::memory_order_relaxed);
}

// Reads up to count bytes at offset, as every read of a photo goes: nothing
// once stopped or once a read failed (the failure is kept); fewer at its end.
qint64 readInto(HeifReading &reading, qint64 offset, char *into, qint64 count)
{
    qint64 done = 0;
    while (done < count && reading.failure.isEmpty() && !stopped(reading.stop)) {
        const qint64 got = reading.source.readAt(offset + done, into + done, count - done);
        if (got == 0)
            break;
        if (got < 0)
            reading.failure = reading.source.errorString();
        else
            done += got;
    }
    return done;
}

// libheif reads the header's boxes when the file is opened, and each tile's
// data only when it decodes that tile. It asserts that a read within the
// file succeeds, so a read never fails: once stopped, or once the file
// cannot be read, it gives zeros, which no tile decodes from, and the decode
// ends at the next tile with an error that the reading's state explains.
heif_reader readerOf()
{
    heif_reader reader{};
    reader.reader_api_version = 1;
    reader.get_position = [](void *user) -> int64_t { return static_cast<HeifReading *>(user)->position; };
    reader.read = [](void *data, size_t size, void *user) -> int {
        auto &reading = *static_cast<HeifReading *>(user);
        auto *into = static_cast<char *>(data);
        const auto done = size_t(readInto(reading, reading.position, into, qint64(size)));
        // libheif reads only within the length it was given: short is shrunk.
        if (done < size && reading.failure.isEmpty() && !stopped(reading.stop))
            reading.failure = QStringLiteral("the file became shorter while it was read");
        std::fill(into + done, into + size, 0);
        reading.position += qint64(size);
        return 0;
    };
    reader.seek = [](int64_t position, void *user) -> int {
        static_cast<HeifReading *>(user)->position = position;
        return 0;
    };
    reader.wait_for_file_size = [](int64_t size, void *user) {
        return size > static_cast<HeifReading *>(user)->source.size() ? heif_reader_grow_status_size_beyond_eof
                                                                       : heif_reader_grow_status_size_reached;
    };
    return reader;
}

// libheif's codecs are registered once, for every thread after.
void initialiseOnce()
{
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    Q_UNUSED(initialised);
}

struct ContextFree {
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(const heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct OptionsFree {
    void operator()(heif_decoding_options *options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<const heif_image_handle, HandleRelease>;

// A box's type and extent, read with every length checked against the file.
struct Box {
    QByteArray type;
    qint64 start = 0, body = 0, end = 0;
};

std::optional<Box> boxAt(HeifReading &reading, qint64 at, qint64 limit)
{
    char header[16];
    if (at + 8 > limit || readInto(reading, at, header, 8) != 8)
        return {};
    Box box{QByteArray(header + 4, 4), at, at + 8, 0};
    quint64 size = qFromBigEndian<quint32>(header);
    if (size == 1) {
        if (at + 16 > limit || readInto(reading, at + 8, header + 8, 8) != 8)
            return {};
        size = qFromBigEndian<quint64>(header + 8);
        box.body = at + 16;
    } else if (size == 0) {
        size = quint64(limit - at);
    }
    if (size < quint64(box.body - at) || size > quint64(limit - at))
        return {};
    box.end = at + qint64(size);
    return box;
}

std::optional<Box> findBox(HeifReading &reading, qint64 from, qint64 limit, QByteArrayView type)
{
    for (int i = 0; i < mostBoxes; ++i) {
        const std::optional<Box> box = boxAt(reading, from, limit);
        if (!box || box->type == type)
            return box;
        from = box->end;
    }
    return {};
}

// What the program reads of the header itself, before libheif builds a
// picture of it: the number of items the file lists (its images, tiles,
// Exif, XMP), from the item information box, and the most samples a pixel
// any of its coded images has, in halves: 2 grey, 3 for 4:2:0, 4 for 4:2:2,
// 6 for 4:4:4, from their hvcC and av1C boxes (4:4:4 when none is found).
struct OwnHeader {
    quint32 items = 0; // 0 when the list cannot be found; libheif then says why
    int halfSamples = 0;
};

int halfSamplesOf(HeifReading &reading, const Box &box)
{
    char byte = 0;
    if (box.type == "hvcC" && box.body + 17 <= box.end && readInto(reading, box.body + 16, &byte, 1) == 1)
        return std::array{2, 3, 4, 6}[byte & 3]; // chroma_format_idc
    if (box.type == "av1C" && box.body + 3 <= box.end && readInto(reading, box.body + 2, &byte, 1) == 1) {
        if (byte & 0x10)
            return 2; // monochrome
        const bool x = byte & 0x08, y = byte & 0x04;
        return x && y ? 3 : x ? 4 : 6;
    }
    return 0;
}

OwnHeader ownHeader(HeifReading &reading)
{
    OwnHeader own;
    const std::optional<Box> meta = findBox(reading, 0, reading.source.size(), "meta");
    if (!meta)
        return own;
    const std::optional<Box> iinf = findBox(reading, meta->body + 4, meta->end, "iinf"); // after version and flags
    char count[8];
    if (iinf && iinf->body + 8 <= iinf->end && readInto(reading, iinf->body, count, 8) == 8)
        own.items = count[0] == 0 ? qFromBigEndian<quint16>(count + 4) : qFromBigEndian<quint32>(count + 4);
    const std::optional<Box> iprp = findBox(reading, meta->body + 4, meta->end, "iprp");
    const std::optional<Box> ipco = iprp ? findBox(reading, iprp->body, iprp->end, "ipco") : std::nullopt;
    qint64 at = ipco ? ipco->body : 0;
    for (int i = 0; ipco && i < mostBoxes; ++i) {
        const std::optional<Box> property = boxAt(reading, at, ipco->end);
        if (!property)
            break;
        own.halfSamples = std::max(own.halfSamples, halfSamplesOf(reading, *property));
        at = property->end;
    }
    if (own.halfSamples == 0)
        own.halfSamples = 6;
    return own;
}

QString reasonOf(const heif_error &error, const HeifReading &reading)
{
    if (!reading.failure.isEmpty())
        return QStringLiteral("It could not be read: %1.").arg(reading.failure);
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return QStringLiteral("Its header claims more than a photograph holds (%1).").arg(QString::fromUtf8(error.message));
    if (error.code == heif_error_Unsupported_feature || error.code == heif_error_Unsupported_filetype)
        return QStringLiteral("It is a HEIF file of a kind this program cannot show (%1).").arg(QString::fromUtf8(error.message));
    return QStringLiteral("It is damaged (%1).").arg(QString::fromUtf8(error.message));
}

// Peak bytes a pixel while libheif decodes, measured with heaptrack (12
// megapixels, 4:2:0: 7 at 8 bits, 11.5 at 10): the decoder's frame and
// libheif's planes at full size (together halfSamples samples a pixel),
// then the 8-bit RGBA image made from them. Deeper samples take two bytes
// each and pass through 16-bit RGBA; alpha adds its plane twice and a
// premultiplied copy.
qint64 bytesAPixel(int bits, bool alpha, int halfSamples)
{
    const bool deep = bits > 8 || bits <= 0; // a depth libheif cannot tell is taken as the deeper
    const qint64 sample = deep ? 2 : 1;
    return sample * halfSamples + 4 + (deep ? 8 : 0) + (alpha ? 2 * sample + 4 : 0);
}

struct Opened {
    Context context;
    Handle handle;
    HeifHeader header;
};

Opened openHeif(HeifReading &reading, const heif_reader &reader, qint64 workingBytes, int threads)
{
    initialiseOnce();
    Opened opened;
    HeifHeader &header = opened.header;
    const OwnHeader own = ownHeader(reading);
    const quint32 items = own.items;
    if (stopped(reading.stop) || !reading.failure.isEmpty()) {
        header.stopped = stopped(reading.stop);
        if (!header.stopped)
            header.problem = QStringLiteral("It could not be read: %1.").arg(reading.failure);
        return opened;
    }
    if (items > mostItems) {
        header.problem = QStringLiteral("Its header lists %1 images and tiles, more than a photograph is made of (%2 at most).")
                             .arg(items).arg(mostItems);
        return opened;
    }
    opened.context.reset(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(opened.context.get(), mostPixelsASide);
    heif_context_set_max_decoding_threads(opened.context.get(), threads);
    heif_error error = heif_context_read_from_reader(opened.context.get(), &reader, &reading, nullptr);
    heif_image_handle *handle = nullptr;
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(opened.context.get(), &handle);
    opened.handle.reset(handle);
    if (stopped(reading.stop)) {
        header.stopped = true;
        return opened;
    }
    if (error.code != heif_error_Ok) {
        header.problem = reasonOf(error, reading);
        return opened;
    }
    header.displayed = {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
    header.stored = {heif_image_handle_get_ispe_width(handle), heif_image_handle_get_ispe_height(handle)};
    if (header.stored.isEmpty())
        header.stored = header.displayed;
    if (header.displayed.isEmpty()) {
        header.problem = QStringLiteral("Its header gives the picture no size.");
        return opened;
    }
    const qint64 pixels = qint64(header.stored.width()) * header.stored.height();
    header.decodeBytes = pixels * bytesAPixel(heif_image_handle_get_luma_bits_per_pixel(handle),
                                              heif_image_handle_has_alpha_channel(handle), own.halfSamples);
    if (workingBytes > 0 && header.decodeBytes > workingBytes) {
        header.overBudget = true;
        header.problem = QStringLiteral("Decoding it would take %1 of memory (%2 x %3 pixels), and at most %4 is allowed.")
                             .arg(readableBytes(header.decodeBytes)).arg(header.stored.width())
                             .arg(header.stored.height()).arg(readableBytes(workingBytes));
    }
    return opened;
}

// Where an nclx profile's transfer is one Qt knows, it is that; the video
// curves (BT.709 and its kin) are close to sRGB's, and HDR curves are shown
// as sRGB too, since the JPEGs made of them have eight bits.
QColorSpace::TransferFunction transferOf(heif_transfer_characteristics transfer, float &gamma)
{
    switch (transfer) {
    case heif_transfer_characteristic_linear:
        return QColorSpace::TransferFunction::Linear;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        gamma = 2.2F;
        return QColorSpace::TransferFunction::Gamma;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        gamma = 2.8F;
        return QColorSpace::TransferFunction::Gamma;
    default:
        return QColorSpace::TransferFunction::SRgb;
    }
}

// The primaries an nclx profile names, by their chromaticities where libheif
// gives them, else by the number; the transfer as transferOf() says.
QColorSpace colourSpaceOf(const heif_color_profile_nclx &nclx)
{
    float gamma = 0;
    const QColorSpace::TransferFunction transfer = transferOf(nclx.transfer_characteristics, gamma);
    if (nclx.color_primary_white_x > 0 && nclx.color_primary_red_x > 0) {
        const QColorSpace space(QPointF(nclx.color_primary_white_x, nclx.color_primary_white_y),
                                QPointF(nclx.color_primary_red_x, nclx.color_primary_red_y),
                                QPointF(nclx.color_primary_green_x, nclx.color_primary_green_y),
                                QPointF(nclx.color_primary_blue_x, nclx.color_primary_blue_y), transfer, gamma);
        if (space.isValid())
            return space;
    }
    if (nclx.color_primaries == heif_color_primaries_SMPTE_EG_432_1)
        return QColorSpace(QColorSpace::Primaries::DciP3D65, transfer, gamma);
    return QColorSpace(QColorSpace::Primaries::SRgb, transfer, gamma);
}

QColorSpace colourSpaceOf(const heif_image_handle *handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > mostMetadataBytes * 4)
            return {};
        QByteArray icc(qsizetype(size), Qt::Uninitialized);
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok)
            return {};
        return QColorSpace::fromIccProfile(icc);
    }
    case heif_color_profile_type_nclx: {
        // libheif may hand a profile back with an error too: it is freed either way.
        heif_color_profile_nclx *nclx = nullptr;
        const bool read = heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok;
        const std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx *)> owned(nclx, heif_nclx_color_profile_free);
        return read && nclx ? colourSpaceOf(*nclx) : QColorSpace();
    }
    default:
        return {};
    }
}

QByteArray metadataBlock(const heif_image_handle *handle, heif_item_id id)
{
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size == 0 || size > mostMetadataBytes)
        return {};
    QByteArray block(qsizetype(size), Qt::Uninitialized);
    return heif_image_handle_get_metadata(handle, id, block.data()).code == heif_error_Ok ? block : QByteArray();
}

// A HEIF's Exif block starts with the offset of its TIFF header, past an
// optional "Exif\0\0"; its XMP is a block of type "mime". The orientation
// in the Exif is not read: the file's own transforms say how it is shown.
PictureFacts factsOf(const heif_image_handle *handle)
{
    PictureFacts facts;
    std::array<heif_item_id, 16> ids{};
    const int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), int(ids.size()));
    for (int i = 0; i < count; ++i) {
        const QByteArrayView type(heif_image_handle_get_metadata_type(handle, ids[i]));
        if (type == "Exif") {
            const QByteArray block = metadataBlock(handle, ids[i]);
            if (block.size() < 4)
                continue;
            const quint32 offset = qFromBigEndian<quint32>(block.constData());
            if (offset <= quint32(block.size() - 4))
                readExifFacts(block.mid(4 + qsizetype(offset)), facts);
        } else if (type == "mime" && QByteArrayView(heif_image_handle_get_metadata_content_type(handle, ids[i])) == "application/rdf+xml") {
            readXmpCaption(metadataBlock(handle, ids[i]), facts);
        }
    }
    return facts;
}

// The image libheif made, kept in its own buffer until the last copy of it goes.
QImage imageOf(heif_image *decoded, bool alpha, bool premultiplied)
{
    int stride = 0;
    uint8_t *pixels = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0) {
        heif_image_release(decoded);
        return {};
    }
    const QImage::Format format = !alpha ? QImage::Format_RGBX8888
                                 : premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                                 : QImage::Format_RGBA8888;
    return QImage(pixels, width, height, stride, format,
                  [](void *image) { heif_image_release(static_cast<heif_image *>(image)); }, decoded);
}

} // namespace

HeifHeader readHeifHeaderWithLibheif(ByteSource &source, qint64 workingBytes, const std::atomic<bool> *stop)
{
    HeifReading reading{source, stop, 0, {}};
    const heif_reader reader = readerOf();
    return openHeif(reading, reader, workingBytes, 0).header;
}

HeifDecoded decodeHeifWithLibheif(ByteSource &source, const HeifLimits &limits)
{
    HeifReading reading{source, limits.stop, 0, {}};
    const heif_reader reader = readerOf();
    Opened opened = openHeif(reading, reader, limits.workingBytes, limits.threads);
    HeifDecoded result;
    result.stopped = opened.header.stopped;
    result.overBudget = opened.header.overBudget;
    result.problem = opened.header.problem;
    if (result.stopped || !result.problem.isEmpty())
        return result;
    if (limits.reserve && !limits.reserve(opened.header.decodeBytes)) {
        result.stopped = stopped(limits.stop);
        if (!result.stopped) {
            result.overBudget = true;
            result.problem = QStringLiteral("Decoding it would take %1 of memory, more than is allowed.")
                                 .arg(readableBytes(opened.header.decodeBytes));
        }
        return result;
    }
    result.reserved = limits.reserve ? opened.header.decodeBytes : 0;
    const heif_image_handle *handle = opened.handle.get();
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    options->convert_hdr_to_8bit = 1;
    heif_image *decoded = nullptr;
    const heif_error error = heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options.get());
    if (stopped(limits.stop)) {
        heif_image_release(decoded);
        result.stopped = true;
        return result;
    }
    if (error.code != heif_error_Ok || !decoded || !reading.failure.isEmpty()) {
        heif_image_release(decoded);
        result.problem = reasonOf(error, reading);
        return result;
    }
    result.image = imageOf(decoded, alpha, heif_image_handle_is_premultiplied_alpha(handle));
    if (result.image.isNull()) {
        result.problem = QStringLiteral("Its decoder made no picture.");
        return result;
    }
    // The pages were laid out, and the album's images are checked, by the
    // size the header gives: a picture of another size is a damaged file.
    if (result.image.size() != opened.header.displayed) {
        result.problem = QStringLiteral("It is damaged: its picture is %1 x %2 pixels, and its header says %3 x %4.")
                             .arg(result.image.width()).arg(result.image.height())
                             .arg(opened.header.displayed.width()).arg(opened.header.displayed.height());
        result.image = QImage();
    }
    result.image.setColorSpace(colourSpaceOf(handle));
    result.facts = factsOf(handle);
    return result;
}
