#include "HeifFiles.h"

#include <libheif/heif.h>

#include <QtEndian>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

struct Encoded {
    std::unique_ptr<heif_context, void (*)(heif_context *)> context{heif_context_alloc(), heif_context_free};
};

heif_image *imageFrom(const QImage &source, int bits)
{
    const bool alpha = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const heif_chroma chroma = bits > 8 ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                        : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image *out = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB, chroma, &out);
    heif_image_add_plane(out, heif_channel_interleaved, image.width(), image.height(), bits);
    int stride = 0;
    uint8_t *plane = heif_image_get_plane(out, heif_channel_interleaved, &stride);
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *from = image.constScanLine(y);
        for (int x = 0; x < image.width() * channels; ++x) {
            if (bits > 8)
                qToLittleEndian<quint16>(quint16(from[x] * 1023 / 255), plane + y * stride + 2 * x);
            else
                plane[y * stride + x] = from[x];
        }
    }
    return out;
}

// libaom in Debian 12 asserts on RGB input (and on any deeper than 8 bits),
// so AV1 photos are handed over as YCbCr 4:2:0 (BT.601, full range).
heif_image *yuvFrom(const QImage &source, int bits)
{
    const bool alpha = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    heif_image *out = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_YCbCr, heif_chroma_420, &out);
    const int w = image.width(), h = image.height(), cw = (w + 1) / 2, ch = (h + 1) / 2;
    heif_image_add_plane(out, heif_channel_Y, w, h, bits);
    heif_image_add_plane(out, heif_channel_Cb, cw, ch, bits);
    heif_image_add_plane(out, heif_channel_Cr, cw, ch, bits);
    if (alpha)
        heif_image_add_plane(out, heif_channel_Alpha, w, h, bits);
    const auto put = [bits](heif_image *into, heif_channel channel, int x, int y, double value) {
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(into, channel, &stride);
        const int v = std::clamp(int(value + 0.5), 0, 255);
        if (bits > 8)
            qToLittleEndian<quint16>(quint16(v * 1023 / 255), plane + y * stride + 2 * x);
        else
            plane[y * stride + x] = uint8_t(v);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb p = image.pixel(x, y);
            const double r = qRed(p), g = qGreen(p), b = qBlue(p);
            put(out, heif_channel_Y, x, y, 0.299 * r + 0.587 * g + 0.114 * b);
            if (alpha)
                put(out, heif_channel_Alpha, x, y, qAlpha(p));
            if (x % 2 == 0 && y % 2 == 0) {
                put(out, heif_channel_Cb, x / 2, y / 2, 128 - 0.168736 * r - 0.331264 * g + 0.5 * b);
                put(out, heif_channel_Cr, x / 2, y / 2, 128 + 0.5 * r - 0.418688 * g - 0.081312 * b);
            }
        }
    return out;
}

heif_error writeInto(heif_context *, const void *data, size_t size, void *into)
{
    static_cast<QByteArray *>(into)->append(static_cast<const char *>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

heif_image_handle *encode(heif_context *context, heif_encoder *encoder, const QImage &source, const HeifRecipe &recipe)
{
    heif_image *image = recipe.av1 ? yuvFrom(source, recipe.bits) : imageFrom(source, recipe.bits);
    if (!recipe.icc.isEmpty())
        heif_image_set_raw_color_profile(image, "prof", recipe.icc.constData(), size_t(recipe.icc.size()));
    if (recipe.nclxPrimaries) {
        heif_color_profile_nclx *nclx = heif_nclx_color_profile_alloc();
        heif_nclx_color_profile_set_color_primaries(nclx, uint16_t(recipe.nclxPrimaries ? recipe.nclxPrimaries : 1));
        heif_nclx_color_profile_set_matrix_coefficients(nclx, 6);
        nclx->full_range_flag = 1;
        heif_nclx_color_profile_set_transfer_characteristics(nclx, heif_transfer_characteristic_IEC_61966_2_1);
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    heif_encoding_options *options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(recipe.orientation);
    options->macOS_compatibility_workaround_no_nclx_profile = recipe.nclxPrimaries == 0;
    heif_image_handle *handle = nullptr;
    heif_context_encode_image(context, image, encoder, options, &handle);
    if (handle && recipe.thumbnail) {
        heif_image_handle *thumbnail = nullptr;
        heif_context_encode_thumbnail(context, image, handle, encoder, options, 64, &thumbnail);
        heif_image_handle_release(thumbnail);
    }
    heif_encoding_options_free(options);
    heif_image_release(image);
    return handle;
}

// ISO boxes, written big-endian.
QByteArray u8(int v) { return QByteArray(1, char(v)); }
QByteArray u16(quint32 v) { QByteArray b(2, 0); qToBigEndian<quint16>(quint16(v), b.data()); return b; }
QByteArray u32(quint32 v) { QByteArray b(4, 0); qToBigEndian<quint32>(v, b.data()); return b; }
QByteArray box(const char *type, const QByteArray &body) { return u32(quint32(body.size() + 8)) + type + body; }
QByteArray fullBox(const char *type, int version, int flags, const QByteArray &body)
{
    return box(type, u8(version) + u8(flags >> 16) + u8(flags >> 8) + u8(flags) + body);
}

// A box found in bytes: where its body starts and ends.
struct Found {
    qsizetype body = 0, end = 0;
};

std::optional<Found> child(const QByteArray &bytes, qsizetype from, qsizetype end, QByteArrayView type)
{
    while (from + 8 <= end) {
        const qsizetype size = qFromBigEndian<quint32>(bytes.constData() + from);
        if (size < 8 || from + size > end)
            return {};
        if (QByteArrayView(bytes).sliced(from + 4, 4) == type)
            return Found{from + 8, from + size};
        from += size;
    }
    return {};
}

// The one tile's hvcC box and its coded data, from the HEIC libheif wrote.
struct Tile {
    QByteArray hvcC, data;
};

std::optional<Tile> tileOf(const QByteArray &heic)
{
    const auto meta = child(heic, 0, heic.size(), "meta");
    if (!meta)
        return {};
    const auto iprp = child(heic, meta->body + 4, meta->end, "iprp");
    const auto ipco = iprp ? child(heic, iprp->body, iprp->end, "ipco") : std::nullopt;
    const auto hvcC = ipco ? child(heic, ipco->body, ipco->end, "hvcC") : std::nullopt;
    const auto iloc = child(heic, meta->body + 4, meta->end, "iloc");
    if (!hvcC || !iloc)
        return {};
    // libheif writes 4-byte offsets and lengths, with or without a 4-byte base offset.
    const char *p = heic.constData() + iloc->body;
    const int version = p[0];
    const int offsetSize = quint8(p[4]) >> 4, lengthSize = quint8(p[4]) & 15, baseSize = quint8(p[5]) >> 4;
    if (offsetSize != 4 || lengthSize != 4 || (baseSize != 0 && baseSize != 4))
        return {};
    qsizetype at = iloc->body + 6 + 2;    // item count, then the first item
    at += 2 + (version >= 1 ? 2 : 0) + 2; // its ID, construction method, data reference
    const quint32 base = baseSize ? qFromBigEndian<quint32>(heic.constData() + at) : 0;
    at += baseSize + 2;                   // extent count: one
    const quint32 offset = base + qFromBigEndian<quint32>(heic.constData() + at);
    const quint32 length = qFromBigEndian<quint32>(heic.constData() + at + 4);
    if (qsizetype(offset) + length > heic.size())
        return {};
    return Tile{heic.mid(hvcC->body - 8, hvcC->end - hvcC->body + 8), heic.mid(offset, length)};
}

QByteArray gridMeta(const Tile &tile, QSize tileSize, const HeifGrid &grid, QSize output, quint32 dataAt)
{
    const quint32 tiles = quint32(grid.rows * grid.columns);
    const bool wide = output.width() > 65535 || output.height() > 65535;
    const quint32 descriptor = wide ? 12 : 8;
    QByteArray iloc = u8(0x44) + u8(0) + u16(tiles + 1);
    iloc += u16(1) + u16(0) + u16(1) + u32(dataAt) + u32(descriptor);
    for (quint32 i = 0; i < tiles; ++i)
        iloc += u16(i + 2) + u16(0) + u16(1) + u32(dataAt + descriptor) + u32(quint32(tile.data.size()));
    QByteArray infe = fullBox("infe", 2, 0, u16(1) + u16(0) + "grid" + u8(0));
    for (quint32 i = 0; i < tiles; ++i)
        infe += fullBox("infe", 2, 1, u16(i + 2) + u16(0) + "hvc1" + u8(0));
    QByteArray dimg = u16(1) + u16(tiles);
    for (quint32 i = 0; i < tiles; ++i)
        dimg += u16(i + 2);
    QByteArray ipco = tile.hvcC + fullBox("ispe", 0, 0, u32(tileSize.width()) + u32(tileSize.height()))
        + fullBox("ispe", 0, 0, u32(output.width()) + u32(output.height()));
    QByteArray gridProperties = u8(0x80 | 3);
    if (!grid.clap.isEmpty()) {
        // Width, height and the centre's offsets, each a fraction.
        ipco += box("clap", u32(grid.clap.width()) + u32(1) + u32(grid.clap.height()) + u32(1) + u32(0) + u32(1) + u32(0) + u32(1));
        gridProperties += u8(0x80 | 4);
    }
    if (grid.rotation) {
        ipco += box("irot", u8(grid.rotation & 3));
        gridProperties += u8(0x80 | (grid.clap.isEmpty() ? 4 : 5));
    }
    QByteArray ipma = u32(tiles + 1) + u16(1) + u8(gridProperties.size()) + gridProperties;
    for (quint32 i = 0; i < tiles; ++i)
        ipma += u16(i + 2) + u8(2) + u8(0x80 | 1) + u8(2);
    return fullBox("meta", 0, 0,
                   fullBox("hdlr", 0, 0, u32(0) + "pict" + u32(0) + u32(0) + u32(0) + u8(0))
                       + fullBox("pitm", 0, 0, u16(1)) + fullBox("iloc", 0, 0, iloc)
                       + fullBox("iinf", 0, 0, u16(tiles + 1) + infe)
                       + fullBox("iref", 0, 0, box("dimg", dimg))
                       + box("iprp", box("ipco", ipco) + fullBox("ipma", 0, 0, ipma)));
}

} // namespace

QByteArray makeHeif(const QImage &image, const HeifRecipe &recipe)
{
    Encoded encoded;
    heif_encoder *encoder = nullptr;
    if (heif_context_get_encoder_for_format(encoded.context.get(), recipe.av1 ? heif_compression_AV1 : heif_compression_HEVC, &encoder).code
        != heif_error_Ok)
        return {};
    heif_encoder_set_lossy_quality(encoder, recipe.quality);
    if (recipe.chroma444)
        heif_encoder_set_parameter_string(encoder, "chroma", "444");
    heif_image_handle *handle = encode(encoded.context.get(), encoder, image, recipe);
    if (!handle) {
        heif_encoder_release(encoder);
        return {};
    }
    if (!recipe.exif.isEmpty())
        heif_context_add_exif_metadata(encoded.context.get(), handle, recipe.exif.constData(), int(recipe.exif.size()));
    if (!recipe.xmp.isEmpty())
        heif_context_add_XMP_metadata(encoded.context.get(), handle, recipe.xmp.constData(), int(recipe.xmp.size()));
    if (recipe.secondImage) {
        QImage other(image.size(), QImage::Format_RGB32);
        other.fill(Qt::magenta);
        HeifRecipe plain;
        plain.bits = 8;
        heif_image_handle_release(encode(encoded.context.get(), encoder, other, plain));
        heif_context_set_primary_image(encoded.context.get(), handle);
    }
    heif_image_handle_release(handle);
    heif_encoder_release(encoder);
    QByteArray bytes;
    heif_writer writer{1, writeInto};
    heif_context_write(encoded.context.get(), &writer, &bytes);
    return bytes;
}

QByteArray makeHeifGrid(const QImage &tileImage, const HeifGrid &grid)
{
    const std::optional<Tile> tile = tileOf(makeHeif(tileImage));
    if (!tile)
        return {};
    const QSize output = grid.output.isEmpty()
        ? QSize(tileImage.width() * grid.columns, tileImage.height() * grid.rows) : grid.output;
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + u32(0) + "mif1" + "heic");
    const quint32 metaSize = quint32(gridMeta(*tile, tileImage.size(), grid, output, 0).size());
    const quint32 dataAt = quint32(ftyp.size()) + metaSize + 8;
    const bool wide = output.width() > 65535 || output.height() > 65535;
    QByteArray descriptor = u8(0) + u8(wide ? 1 : 0) + u8(grid.rows - 1) + u8(grid.columns - 1);
    descriptor += wide ? u32(output.width()) + u32(output.height()) : u16(output.width()) + u16(output.height());
    QByteArray meta = gridMeta(*tile, tileImage.size(), grid, output, dataAt);
    if (grid.items > 0) {
        // The item count the header claims, written over the real one.
        const qsizetype iinf = meta.indexOf("iinf");
        meta.replace(iinf + 4, 1, u8(1));
        meta.replace(iinf + 8, 2, QByteArray());
        meta.insert(iinf + 8, u32(quint32(grid.items)));
        meta.replace(iinf - 4, 4, u32(qFromBigEndian<quint32>(meta.constData() + iinf - 4) + 2));
        meta.replace(0, 4, u32(quint32(meta.size())));
    }
    return ftyp + meta + box("mdat", descriptor + tile->data);
}
