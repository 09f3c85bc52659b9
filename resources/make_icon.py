#!/usr/bin/env python3
"""Draws the program icon: vimbrel.ico and icons/N.png next to this script.

The icon: two stacked index pages, the front one holding a small landscape
picture (sky, sun, hills) above three lines of text, drawn on a 48-unit grid.
The window's icon, vimbrel.ico, is 48 x 48 at 4x4 samples per pixel, reduced
to one 256-colour palette (8 bits per pixel, 1-bit transparency mask);
icons/48.png shows exactly the same pixels. The other sizes of the desktop's
icon theme (icons/16.png to icons/256.png) are drawn from the same shapes in
full colour, their edges blended into transparency.

Standard library only:  python3 resources/make_icon.py
"""

import math
import os
import struct
import zlib

SIZE = 48  # the drawing's grid, and the window icon's size
SAMPLES = 4  # per pixel along each axis, at SIZE
THEME_SIZES = (16, 32, 48, 64, 128, 256)
HERE = os.path.dirname(os.path.abspath(__file__))

OUTLINE = (52, 56, 72)
BACK_PAGE = (214, 218, 230)
PAGE = (255, 255, 255)
FOLD = (200, 204, 216)
CREASE = (140, 146, 166)
SHADOW = (120, 120, 140)
SUN = (255, 204, 40)
HILL_FAR = (92, 170, 84)
HILL_NEAR = (40, 128, 56)
TEXT_LINE = (150, 156, 176)
LINK_LINE = (64, 104, 208)


def sky(y):
    """Sky colour at picture height y (13 at the top, 30 at the bottom)."""
    t = max(0.0, min(1.0, (y - 13) / 17))
    top, bottom = (40, 96, 200), (150, 200, 245)
    return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))


def page_shape(x, y, left, top, right, bottom, fold):
    """Returns 'outline', 'crease', 'fold', 'inside' or None for a page with a dog-ear at its top right."""
    if not (left <= x < right and top <= y < bottom):
        return None
    # The dog-ear: the corner above the diagonal is cut off.
    dx, dy = x - (right - fold), y - top
    if dx > dy + 1:
        return None
    if dx >= 0 and dx > dy - 1:
        return 'outline'
    if dx >= 0 and dy < fold and dx <= dy:
        # The flap's two straight edges, then the flap itself.
        return 'crease' if dx < 1 or dy >= fold - 1 else 'fold'
    if x < left + 1 or x >= right - 1 or y < top + 1 or y >= bottom - 1:
        return 'outline'
    return 'inside'


def picture(x, y):
    """Colour of the landscape in the front page's picture area."""
    # Sun
    if math.hypot(x - 28.5, y - 18.5) < 3.6:
        return SUN
    near = 27.5 - 3.0 * math.sin((x - 9) / 5.0)
    far = 24.5 - 4.0 * math.sin((x - 14) / 6.5)
    if y >= near:
        return HILL_NEAR
    if y >= far:
        return HILL_FAR
    return sky(y)


def sample(x, y):
    """Colour (r, g, b) or None (transparent) at a sub-pixel point."""
    front = page_shape(x, y, 5, 8, 38, 45, 8)
    if front == 'outline':
        return OUTLINE
    if front == 'crease':
        return CREASE
    if front == 'fold':
        return FOLD
    if front == 'inside':
        if 10 <= x < 33 and 13 <= y < 31:
            if x < 10.6 or x >= 32.4 or y < 13.6 or y >= 30.4:
                return OUTLINE
            return picture(x, y)
        for line_y, end, colour in ((34, 31, TEXT_LINE), (37, 28, TEXT_LINE), (40, 22, LINK_LINE)):
            if line_y <= y < line_y + 1.6 and 10 <= x < end:
                return colour
        return PAGE
    # Shadow of the front page, then the back page.
    if 38 <= x < 39.5 and 11 <= y < 46.5 or 8 <= x < 39.5 and 45 <= y < 46.5:
        return SHADOW
    back = page_shape(x, y, 11, 2, 43, 39, 8)
    if back == 'outline':
        return OUTLINE
    if back == 'crease':
        return CREASE
    if back == 'fold':
        return FOLD
    if back == 'inside':
        return BACK_PAGE
    return None


def render():
    """Returns SIZE x SIZE rows of (r, g, b) or None, averaged over the samples."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            colours = []
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colours.append(sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES))
            solid = [c for c in colours if c is not None]
            if len(solid) * 2 < len(colours):
                row.append(None)  # mostly outside: transparent
            else:
                row.append(tuple(round(sum(c[i] for c in solid) / len(solid)) for i in range(3)))
        rows.append(row)
    return rows


def render_rgba(size):
    """Returns size x size rows of (r, g, b, a), the alpha from how much of each pixel is covered."""
    # About 200 samples across the whole drawing at any size, and never fewer
    # than 2x2 per pixel, so the thin outlines keep their weight when reduced.
    samples = max(2, -(-SIZE * SAMPLES // size))
    scale = SIZE / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            solid = [c for c in (sample((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
                                 for sy in range(samples) for sx in range(samples)) if c is not None]
            if not solid:
                row.append((0, 0, 0, 0))
                continue
            colour = tuple(round(sum(c[i] for c in solid) / len(solid)) for i in range(3))
            row.append(colour + (round(255 * len(solid) / samples ** 2),))
        rows.append(row)
    return rows


def build_palette(rows):
    """Returns (palette of 256 colours, rows of indices or None) for the drawing."""
    counts = {}
    for row in rows:
        for c in row:
            if c is not None:
                counts[c] = counts.get(c, 0) + 1
    # The most frequent colours, ties broken by value so the output never varies.
    chosen = sorted(counts, key=lambda c: (-counts[c], c))[:256]
    palette = chosen + [(0, 0, 0)] * (256 - len(chosen))
    lookup = {}

    def nearest(c):
        if c not in lookup:
            lookup[c] = min(range(len(chosen)),
                            key=lambda i: sum((a - b) ** 2 for a, b in zip(c, chosen[i])))
        return lookup[c]

    indices = [[None if c is None else nearest(c) for c in row] for row in rows]
    return palette, indices


def ico_bytes(palette, indices):
    """One 48 x 48 image, 8 bits per pixel, 256-colour palette, with its AND mask."""
    xor_stride = SIZE  # 48 bytes: already a multiple of 4
    and_stride = ((SIZE + 31) // 32) * 4  # 1 bit per pixel, rows padded to 32 bits
    xor = bytearray()
    mask = bytearray()
    for row in reversed(indices):  # bitmaps are stored bottom-up
        xor += bytes(0 if i is None else i for i in row)
        bits = bytearray(and_stride)
        for x, i in enumerate(row):
            if i is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 8, 0,
                         len(xor) + len(mask), 0, 0, 256, 0)
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    image = header + colours + bytes(xor) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def png_bytes(rows):
    """Rows of (r, g, b, a) as an 8-bit RGBA PNG."""
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter: none
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data
                + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack('>IIBBBBB', len(rows[0]), len(rows), 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def main():
    palette, indices = build_palette(render())
    ico = ico_bytes(palette, indices)
    assert len(ico) == 3774, len(ico)
    write('vimbrel.ico', ico)
    for size in THEME_SIZES:
        if size == SIZE:
            # The window icon's own pixels, so the desktop and the window agree.
            rows = [[(0, 0, 0, 0) if i is None else palette[i] + (255,) for i in row] for row in indices]
        else:
            rows = render_rgba(size)
        write(os.path.join('icons', '%d.png' % size), png_bytes(rows))


if __name__ == '__main__':
    main()
