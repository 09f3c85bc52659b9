// What the browser tests share: a folder of awkwardly named pictures made by
// browser_pictures, the order the program pages them in, and a list of the
// problems found, so that one run reports every fault rather than the first.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';

export class Failures {
    constructor() { this.list = []; }
    add(where, what) { this.list.push(`${where}: ${what}`); }
    expect(condition, where, what) { if (!condition) this.add(where, what); }
}

/** Returns true for a name the program takes as a picture: ends in GIF or JPG, any case. */
export function isCandidate(name) {
    const ending = name.slice(-3).toUpperCase();
    return name.length >= 3 && (ending === 'GIF' || ending === 'JPG');
}

/** Returns true for a name the album takes: a picture's, or a phone photo's (HEIC, HEIF, AVIF). */
export function isAlbumCandidate(name) {
    return isCandidate(name) || /.\.(heic|heif|hif|avif)$/i.test(name);
}

/** Pages follow the names as a person reads them: case folded first, then exact. */
export function byName(a, b) {
    const fa = a.toLowerCase();
    const fb = b.toLowerCase();
    if (fa !== fb)
        return fa < fb ? -1 : 1;
    return a < b ? -1 : a > b ? 1 : 0;
}

// One UTF-16 unit at a time, as the program compares: a run of digits by its
// value, anything else case folded (lower case stands in for folding here,
// the same for every name the tests use).
const isDigit = (unit) => /\p{Nd}/u.test(unit);
function naturalCompare(a, b) {
    let i = 0;
    let j = 0;
    while (i < a.length && j < b.length) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const run = (s, at) => {
                let end = at;
                while (end < s.length && isDigit(s[end]))
                    ++end;
                while (at + 1 < end && s[at] === '0')
                    ++at;
                return [s.slice(at, end), end];
            };
            const [x, nextI] = run(a, i);
            const [y, nextJ] = run(b, j);
            if (x.length !== y.length)
                return x.length < y.length ? -1 : 1;
            if (x !== y)
                return x < y ? -1 : 1;
            i = nextI;
            j = nextJ;
            continue;
        }
        const x = a[i].toLowerCase();
        const y = b[j].toLowerCase();
        if (x !== y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    return (i < a.length) - (j < b.length);
}

/** The album's order: IMG_2 before IMG_10, then exact for names that differ only so. */
export function naturally(a, b) {
    return naturalCompare(a, b) || (a < b ? -1 : a > b ? 1 : 0);
}

/** A file's length as the pages write it for people: "512 bytes", "820 kB", "1.4 MB". */
export function readableBytes(bytes) {
    if (bytes < 1000)
        return bytes === 1 ? '1 byte' : `${bytes} bytes`;
    const units = ['kB', 'MB', 'GB', 'TB', 'PB', 'EB'];
    let value = bytes / 1000;
    let unit = 0;
    while (value >= 999.5 && unit + 1 < units.length) {
        value /= 1000;
        ++unit;
    }
    return `${value.toFixed(value < 9.95 ? 1 : 0)} ${units[unit]}`;
}

/** A width x height picture fitted into a box x box square, never enlarged, its shorter side rounded. */
export function fitted(width, height, box) {
    if (width <= box && height <= box)
        return { width, height };
    const longer = Math.max(width, height);
    const side = (length) => (length === longer ? box : Math.max(1, Math.round(length * box / longer)));
    return { width: side(width), height: side(height) };
}

/** Runs executable to its end within timeoutMs; returns its output, throws on any failure. */
export function run(executable, args, what, timeoutMs) {
    const result = spawnSync(executable, args, { encoding: 'utf8', timeout: timeoutMs });
    if (result.error)
        throw new Error(`${what}: cannot run ${executable}: ${result.error.message}`);
    if (result.status !== 0)
        throw new Error(`${what} failed (${result.signal ?? `exit code ${result.status}`}):\n${result.stderr}`);
    return result.stdout;
}

/** Fills folder with browser_pictures (options first); returns name -> {name, width, height} of each picture made. */
export function makePictures(makePicturesBinary, folder, timeoutMs, options = []) {
    const made = JSON.parse(run(makePicturesBinary, [...options, folder], 'making the pictures', timeoutMs));
    return new Map(made.map((p) => [p.name, p]));
}

/** The pictures in folder (those candidate takes) in the order the pages give them (order: byName or naturally); throws unless they are those made. */
export function picturesInOrder(folder, sizes, order = byName, candidate = isCandidate) {
    const names = fs.readdirSync(folder).filter(candidate).sort(order);
    if (names.length !== sizes.size || !names.every((n) => sizes.has(n)))
        throw new Error(`the folder lists ${JSON.stringify(names)}, but these pictures were made: ${JSON.stringify([...sizes.keys()])}`);
    return names;
}

/**
 * Runs check(leftovers) under a deadline: if it hangs, the browser in
 * leftovers.browser is killed and the folder in leftovers.work removed.
 * Exits 1 with the message of any failure.
 */
export function runWithDeadline(what, deadlineMs, check) {
    const leftovers = { work: null, browser: null };
    const deadline = setTimeout(() => {
        console.error(`FAIL: ${what} took longer than ${deadlineMs} ms`);
        leftovers.browser?.kill();
        if (leftovers.work)
            fs.rmSync(leftovers.work, { recursive: true, force: true });
        process.exit(1);
    }, deadlineMs);
    check(leftovers).then(() => {
        clearTimeout(deadline);
    }, (error) => {
        console.error(`FAIL: ${error.message}`);
        process.exit(1);
    });
}
