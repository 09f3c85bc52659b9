// Builds a folder of awkward pictures under candidate names (ending in GIF
// or JPG), every one made here: with ImageMagick, cjpeg, cwebp, exiftool and
// byte surgery. Valid, odd, damaged: each is a question of whether, and at
// what size, a browser shows it.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

const convert = fs.existsSync('/usr/bin/convert') ? '/usr/bin/convert' : 'convert';

function tool(program, args, what) {
    const result = spawnSync(program, args, { encoding: 'buffer', timeout: 30000 });
    if (result.error || result.status !== 0)
        throw new Error(`${what}: ${program} ${args.join(' ')} failed: ${result.error?.message ?? result.stderr}`);
    return result.stdout;
}

/** Returns the bytes of a picture made by ImageMagick from its arguments, written as format. */
function magick(args, format) {
    return tool(convert, [...args, `${format}:-`], `making a ${format}`);
}

function noise(width, height, extra = [], format = 'jpg') {
    return magick(['-size', `${width}x${height}`, 'plasma:red-blue', '-seed', '7', ...extra], format);
}

// --- JPEG surgery ---------------------------------------------------------

/** Splits a JPEG into its segments up to and including the first scan header, and the rest. */
function segments(jpeg) {
    const list = [];
    let at = 2;
    for (;;) {
        const marker = jpeg[at + 1];
        const length = jpeg.readUInt16BE(at + 2);
        list.push({ marker, payload: jpeg.subarray(at + 4, at + 2 + length) });
        at += 2 + length;
        if (marker === 0xDA)
            return { list, rest: jpeg.subarray(at) };
    }
}

function segment(marker, payload) {
    const head = Buffer.from([0xFF, marker, 0, 0]);
    head.writeUInt16BE(payload.length + 2, 2);
    return Buffer.concat([head, payload]);
}

function assemble(list, rest) {
    return Buffer.concat([Buffer.from([0xFF, 0xD8]), ...list.map((s) => s.raw ?? segment(s.marker, s.payload)), rest]);
}

/** Applies change to the segments of jpeg: change(list) edits or replaces the list. */
function surgery(jpeg, change) {
    const { list, rest } = segments(jpeg);
    const changed = change(list) ?? list;
    return assemble(changed, rest);
}

function exif({ orientation = 0, type = 3, count = 1, inIfd1 = 0, big = false }) {
    const u16 = (v) => { const b = Buffer.alloc(2); big ? b.writeUInt16BE(v) : b.writeUInt16LE(v); return b; };
    const u32 = (v) => { const b = Buffer.alloc(4); big ? b.writeUInt32BE(v) : b.writeUInt32LE(v); return b; };
    const entry = (value) => Buffer.concat([u16(0x0112), u16(type), u32(count), type === 4 ? u32(value) : Buffer.concat([u16(value), u16(0)])]);
    const ifd0 = orientation ? Buffer.concat([u16(1), entry(orientation)]) : u16(0);
    const ifd1At = inIfd1 ? 8 + ifd0.length + 4 : 0;
    const ifd1 = inIfd1 ? Buffer.concat([u16(1), entry(inIfd1), u32(0)]) : Buffer.alloc(0);
    const tiff = Buffer.concat([Buffer.from(big ? 'MM' : 'II'), u16(42), u32(8), ifd0, u32(ifd1At), ifd1]);
    return { marker: 0xE1, payload: Buffer.concat([Buffer.from('Exif\0\0', 'binary'), tiff]) };
}

const xmp = { marker: 0xE1, payload: Buffer.from('http://ns.adobe.com/xap/1.0/\0<x:xmpmeta xmlns:x="adobe:ns:meta/"/>', 'binary') };

function withFrame(jpeg, edit) {
    return surgery(jpeg, (list) => {
        const frame = list.find((s) => s.marker >= 0xC0 && s.marker <= 0xC2);
        frame.payload = Buffer.from(frame.payload);
        edit(frame);
    });
}

function withScan(jpeg, edit) {
    return surgery(jpeg, (list) => {
        const scan = list.find((s) => s.marker === 0xDA);
        scan.payload = Buffer.from(scan.payload);
        edit(scan.payload);
    });
}

// --- GIF ------------------------------------------------------------------

/** A GIF of one frame of palette index 0, LZW coded with a clear code every two pixels. */
function gif({ screen = [10, 10], frame = [0, 0, 10, 10], codeSize = 2, global = true, local = false, signature = 'GIF89a', cut = 0, trailerFirst = false }) {
    const [x, y, w, h] = frame;
    const codes = [];
    for (let left = Math.min(w * h, 4096); left > 0; left -= 2)
        codes.push(4, ...Array(Math.min(2, left)).fill(0));
    codes.push(5);
    const packed = [];
    let bits = 0, count = 0;
    for (const c of codes) {
        bits |= c << count; count += 3;
        while (count >= 8) { packed.push(bits & 255); bits >>= 8; count -= 8; }
    }
    if (count) packed.push(bits & 255);
    const data = [codeSize];
    for (let i = 0; i < packed.length; i += 255) {
        const chunk = packed.slice(i, i + 255);
        data.push(chunk.length, ...chunk);
    }
    data.push(0);
    const head = Buffer.alloc(13);
    head.write(signature, 0, 'binary');
    head.writeUInt16LE(screen[0], 6); head.writeUInt16LE(screen[1], 8);
    head[10] = global ? 0x80 : 0;
    const descriptor = Buffer.alloc(10);
    descriptor[0] = 0x2C;
    descriptor.writeUInt16LE(x, 1); descriptor.writeUInt16LE(y, 3);
    descriptor.writeUInt16LE(w, 5); descriptor.writeUInt16LE(h, 7);
    descriptor[9] = local ? 0x80 : 0;
    const palette = Buffer.from([255, 0, 0, 0, 0, 255]);
    const bytes = Buffer.concat([head, global ? palette : Buffer.alloc(0), trailerFirst ? Buffer.from([0x3B]) : Buffer.alloc(0),
        descriptor, local ? palette : Buffer.alloc(0), Buffer.from(data), Buffer.from([0x3B])]);
    return cut ? bytes.subarray(0, bytes.length - cut) : bytes;
}

// --- the set ----------------------------------------------------------------

function withExiftool(bytes, suffix, args, work) {
    const file = path.join(work, `exiftool-input.${suffix}`);
    fs.writeFileSync(file, bytes);
    tool('exiftool', ['-q', '-overwrite_original', ...args, file], 'exiftool');
    const result = fs.readFileSync(file);
    fs.rmSync(file);
    return result;
}

function cjpeg(args, work) {
    const ppm = path.join(work, 'cjpeg-input.ppm');
    fs.writeFileSync(ppm, noise(48, 32, [], 'ppm'));
    const result = tool('cjpeg', [...args, ppm], 'cjpeg');
    fs.rmSync(ppm);
    return result;
}

function webp(args, work, alpha = false) {
    const png = path.join(work, 'cwebp-input.png');
    fs.writeFileSync(png, noise(36, 28, alpha ? ['-alpha', 'set', '-channel', 'A', '-evaluate', 'set', '50%'] : [], 'png'));
    const out = path.join(work, 'cwebp-output.webp');
    tool('cwebp', ['-quiet', ...args, png, '-o', out], 'cwebp');
    const result = fs.readFileSync(out);
    fs.rmSync(png); fs.rmSync(out);
    return result;
}

/** Writes the set into folder (work is a scratch folder); returns the names written. */
export function makeAgreementSet(folder, work) {
    const base = noise(50, 40);
    const progressive = noise(50, 40, ['-interlace', 'JPEG']);
    const files = {
        'jpeg-plain.jpg': base,
        'jpeg-progressive.jpg': progressive,
        'jpeg-gray.jpg': noise(30, 20, ['-colorspace', 'Gray']),
        'jpeg-cmyk.jpg': noise(30, 20, ['-colorspace', 'CMYK']),
        'jpeg-arithmetic.jpg': cjpeg(['-arithmetic'], work),
        'jpeg-restart.jpg': cjpeg(['-restart', '1'], work),
        'jpeg-exif6.jpg': surgery(base, (l) => [exif({ orientation: 6 }), ...l]),
        'jpeg-exif8-big-endian.jpg': surgery(base, (l) => [exif({ orientation: 8, big: true }), ...l]),
        'jpeg-exif3.jpg': surgery(base, (l) => [exif({ orientation: 3 }), ...l]),
        'jpeg-exif6-by-exiftool.jpg': withExiftool(base, 'jpg', ['-Orientation#=6'], work),
        'jpeg-xmp-then-exif6.jpg': surgery(base, (l) => [xmp, exif({ orientation: 6 }), ...l]),
        'jpeg-exif6-in-ifd1-only.jpg': surgery(base, (l) => [exif({ inIfd1: 6 }), ...l]),
        'jpeg-exif6-as-long.jpg': surgery(base, (l) => [exif({ orientation: 6, type: 4 }), ...l]),
        'jpeg-exif6-count2.jpg': surgery(base, (l) => [exif({ orientation: 6, count: 2 }), ...l]),
        'jpeg-exif9.jpg': surgery(base, (l) => [exif({ orientation: 9 }), ...l]),
        'jpeg-exif1-then-exif6.jpg': surgery(base, (l) => [exif({ orientation: 1 }), exif({ orientation: 6 }), ...l]),
        'jpeg-exif6-after-frame.jpg': surgery(base, (l) => { l.splice(l.length - 1, 0, exif({ orientation: 6 })); }),
        'jpeg-junk-before-marker.jpg': surgery(base, (l) => { l[1].raw = Buffer.concat([Buffer.from('xx'), segment(l[1].marker, l[1].payload)]); }),
        'jpeg-fill-bytes.jpg': surgery(base, (l) => { l[1].raw = Buffer.concat([Buffer.from([0xFF, 0xFF, 0xFF]), segment(l[1].marker, l[1].payload)]); }),
        'jpeg-marker-02.jpg': surgery(base, (l) => [{ marker: 0x02, payload: Buffer.from('x') }, ...l]),
        'jpeg-marker-c8.jpg': surgery(base, (l) => [{ marker: 0xC8, payload: Buffer.from('x') }, ...l]),
        'jpeg-marker-f0.jpg': surgery(base, (l) => [{ marker: 0xF0, payload: Buffer.from('x') }, ...l]),
        'jpeg-com-first.jpg': surgery(base, (l) => [{ marker: 0xFE, payload: Buffer.from('hello') }, ...l]),
        'jpeg-app15.jpg': surgery(base, (l) => [{ marker: 0xEF, payload: Buffer.from('hello') }, ...l]),
        'jpeg-eoi-first.jpg': Buffer.from([0xFF, 0xD8, 0xFF, 0xD9]),
        'jpeg-zeros.jpg': Buffer.concat([Buffer.from([0xFF, 0xD8]), Buffer.alloc(4096)]),
        'jpeg-soi-twice.jpg': surgery(base, (l) => [{ raw: Buffer.from([0xFF, 0xD8]) }, ...l]),
        'jpeg-soi-then-junk.jpg': surgery(base, (l) => [{ raw: Buffer.from('xx') }, ...l]),
        'jpeg-app1-length-0.jpg': surgery(base, (l) => [{ raw: Buffer.from([0xFF, 0xE1, 0, 0]) }, ...l]),
        'jpeg-com-length-1.jpg': surgery(base, (l) => [l[0], { raw: Buffer.from([0xFF, 0xFE, 0, 1]) }, ...l.slice(1)]),
        'jpeg-cut-before-scan.jpg': base.subarray(0, base.indexOf(Buffer.from([0xFF, 0xDA])) + 2),
        'jpeg-cut-after-scan-header.jpg': (() => { const s = segments(base); return assemble(s.list, Buffer.alloc(0)); })(),
        'jpeg-cut-in-data.jpg': base.subarray(0, base.length - Math.floor(segments(base).rest.length / 2)),
        'jpeg-cut-progressive.jpg': progressive.subarray(0, progressive.length - 200),
        'jpeg-no-eoi.jpg': base.subarray(0, base.length - 2),
        'jpeg-dc-band-with-se.jpg': withScan(progressive, (p) => { p[p.length - 2] = 5; }),
        'jpeg-al-too-big.jpg': withScan(progressive, (p) => { p[p.length - 1] = 0x0E; }),
        'jpeg-baseline-odd-spectral.jpg': withScan(base, (p) => { p[p.length - 2] = 5; }),
        'jpeg-scan-unknown-component.jpg': withScan(base, (p) => { p[1] = 9; }),
        'jpeg-scan-five-components.jpg': withScan(base, (p) => { p[0] = 5; }),
        'jpeg-frame-height-0.jpg': withFrame(base, (f) => { f.payload.writeUInt16BE(0, 1); }),
        'jpeg-frame-width-65501.jpg': withFrame(base, (f) => { f.payload.writeUInt16BE(65501, 3); }),
        'jpeg-frame-width-65500.jpg': withFrame(base, (f) => { f.payload.writeUInt16BE(65500, 3); }),
        'jpeg-frame-precision-12.jpg': withFrame(base, (f) => { f.payload[0] = 12; }),
        'jpeg-frame-sampling-0.jpg': withFrame(base, (f) => { f.payload[7] = 0x01; }),
        'jpeg-frame-sampling-5.jpg': withFrame(base, (f) => { f.payload[7] = 0x51; }),
        'jpeg-frame-sampling-3-2.jpg': withFrame(base, (f) => { f.payload[7] = 0x32; f.payload[10] = 0x21; }),
        'jpeg-frame-quant-3-undefined.jpg': withFrame(base, (f) => { f.payload[8] = 3; }),
        'jpeg-frame-quant-7.jpg': withFrame(base, (f) => { f.payload[8] = 7; }),
        'jpeg-frame-as-sof3.jpg': surgery(base, (l) => { l.find((s) => s.marker === 0xC0).marker = 0xC3; }),
        'jpeg-frame-as-sof1.jpg': surgery(base, (l) => { l.find((s) => s.marker === 0xC0).marker = 0xC1; }),
        'jpeg-frame-as-sof5.jpg': surgery(base, (l) => { l.find((s) => s.marker === 0xC0).marker = 0xC5; }),
        'jpeg-dqt-index-5.jpg': surgery(base, (l) => { const q = l.find((s) => s.marker === 0xDB); q.payload = Buffer.from(q.payload); q.payload[0] = 5; }),
        'jpeg-dqt-bad-length.jpg': surgery(base, (l) => { const q = l.find((s) => s.marker === 0xDB); q.payload = q.payload.subarray(0, 30); }),
        'jpeg-dht-index-5.jpg': surgery(base, (l) => { const h = l.find((s) => s.marker === 0xC4); h.payload = Buffer.from(h.payload); h.payload[0] = 0x15; }),
        'jpeg-dht-bad-counts.jpg': surgery(base, (l) => { const h = l.find((s) => s.marker === 0xC4); h.payload = Buffer.from(h.payload); h.payload.fill(200, 1, 17); }),
        'jpeg-dri-length-5.jpg': surgery(base, (l) => [...l.slice(0, -1), { marker: 0xDD, payload: Buffer.from([0, 1, 0]) }, l[l.length - 1]]),
        'jpeg-no-dht.jpg': surgery(base, (l) => l.filter((s) => s.marker !== 0xC4)),
        'jpeg-no-dqt.jpg': surgery(base, (l) => l.filter((s) => s.marker !== 0xDB)),
        'jpeg-two-components.jpg': withFrame(noise(30, 20, ['-colorspace', 'Gray']), (f) => { f.payload[5] = 2; }),
        'png-inside.jpg': noise(33, 22, [], 'png'),
        'png-inside.gif': noise(21, 34, [], 'png'),
        'png-exif6.jpg': withExiftool(noise(33, 22, [], 'png'), 'png', ['-Orientation#=6'], work),
        'png-bad-crc.jpg': (() => { const p = Buffer.from(noise(10, 12, [], 'png')); p[29] ^= 0xFF; return p; })(),
        'png-width-0.jpg': (() => { const p = Buffer.from(noise(10, 12, [], 'png')); p.writeUInt32BE(0, 16); return p; })(),
        'png-cut-in-header.jpg': noise(10, 12, [], 'png').subarray(0, 20),
        'bmp-inside.jpg': noise(25, 15, [], 'bmp'),
        'bmp3-inside.gif': noise(25, 15, [], 'bmp3'),
        'bmp2-inside.jpg': noise(25, 15, [], 'bmp2'),
        'bmp-8bit.jpg': noise(25, 15, ['-colors', '16', '-type', 'Palette'], 'bmp3'),
        'bmp-top-down.jpg': (() => { const b = Buffer.from(noise(25, 15, [], 'bmp3')); b.writeInt32LE(-15, 22); return b; })(),
        'bmp-cut.jpg': noise(25, 15, [], 'bmp3').subarray(0, 40),
        'webp-lossy.jpg': webp(['-q', '80'], work),
        'webp-lossless.gif': webp(['-lossless'], work),
        'webp-alpha.jpg': webp(['-q', '80'], work, true),
        'webp-exif6.jpg': withExiftool(webp(['-q', '80'], work), 'webp', ['-Orientation#=6'], work),
        'webp-cut.jpg': webp(['-q', '80'], work).subarray(0, 40),
        'text-inside.gif': Buffer.from('GIF89a is how a GIF begins, but this is text.\n'),
        'gif-inside.jpg': gif({ screen: [12, 9], frame: [0, 0, 12, 9] }),
        'gif-frame-larger.gif': gif({ screen: [5, 5], frame: [0, 0, 20, 30] }),
        'gif-frame-offset-outside.gif': gif({ screen: [10, 10], frame: [15, 20, 5, 5] }),
        'gif-screen-0.gif': gif({ screen: [0, 0], frame: [2, 3, 10, 10] }),
        'gif-87a.gif': gif({ signature: 'GIF87a' }),
        'gif-89b.gif': gif({ signature: 'GIF89b' }),
        'gif-no-palette.gif': gif({ global: false }),
        'gif-local-palette.gif': gif({ global: false, local: true }),
        'gif-code-size-0.gif': gif({ codeSize: 0 }),
        'gif-code-size-1.gif': gif({ codeSize: 1 }),
        'gif-code-size-8.gif': gif({ codeSize: 8 }),
        'gif-code-size-9.gif': gif({ codeSize: 9 }),
        'gif-code-size-12.gif': gif({ codeSize: 12 }),
        'gif-frame-0x0.gif': gif({ frame: [0, 0, 0, 0] }),
        'gif-trailer-first.gif': gif({ trailerFirst: true }),
        'gif-cut-in-data.gif': gif({ cut: 6 }),
        'gif-cut-after-descriptor.gif': gif({}).subarray(0, 13 + 6 + 10),
        'gif-huge.gif': gif({ screen: [65535, 65535], frame: [0, 0, 65535, 65535] }).subarray(0, 40),
        'gif-by-imagemagick.gif': magick(['-size', '17x11', 'xc:green'], 'gif'),
        'gif-animated.gif': magick(['-delay', '10', '-size', '14x9', 'xc:red', '-size', '14x9', 'xc:blue', '-loop', '0'], 'gif'),
    };
    fs.mkdirSync(folder, { recursive: true });
    for (const [name, bytes] of Object.entries(files))
        fs.writeFileSync(path.join(folder, name), bytes);
    return Object.keys(files);
}
