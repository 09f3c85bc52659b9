#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

/** How a test's HEIF photo is made with libheif's own encoder. */
struct HeifRecipe {
    bool av1 = false;     // AVIF (AV1) rather than HEIC (HEVC)
    int orientation = 1;  // as Exif numbers it: libheif writes the matching irot and imir
    int bits = 8;         // 8 or 10
    QByteArray icc;       // an ICC profile to carry, or none
    int nclxPrimaries = 0; // an nclx profile with these primaries (12: Display P3), or none
    QByteArray exif;      // a TIFF structure ("II*\0..."), stored as the Exif block
    QByteArray xmp;       // an XMP packet
    bool thumbnail = false; // a small thumbnail stored beside the photo
    bool secondImage = false; // a second, different image, not the primary
    bool chroma444 = false; // HEVC with full chroma (main 4:4:4), not 4:2:0
    int quality = 90;
};

/** Returns image (alpha kept) encoded as a HEIF file as recipe says; empty when libheif cannot. */
QByteArray makeHeif(const QImage &image, const HeifRecipe &recipe = {});

/** How a tiled photo, as phones store it, is made from one encoded tile repeated. */
struct HeifGrid {
    int rows = 2, columns = 3;
    QSize output;         // the grid's picture size; rows x columns tiles when empty
    int rotation = 0;     // irot: quarter turns anticlockwise
    QSize clap;           // a clean aperture (clap) of this size, centred, applied before irot; none when empty
    qint64 items = 0;     // the number of items the header claims, when not the real one
};

/**
 * Returns a HEIC photo stored as a grid of tiles, every tile the same
 * encoded tile: tile's pixels. The header may claim what the grid says,
 * however large, so that a bomb can be made of a few kilobytes.
 */
QByteArray makeHeifGrid(const QImage &tile, const HeifGrid &grid);
