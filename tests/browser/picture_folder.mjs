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

/** Pages follow the names as a person reads them: case folded first, then exact. */
export function byName(a, b) {
    const fa = a.toLowerCase();
    const fb = b.toLowerCase();
    if (fa !== fb)
        return fa < fb ? -1 : 1;
    return a < b ? -1 : a > b ? 1 : 0;
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

/** Fills folder with browser_pictures; returns name -> {name, width, height} of each picture made. */
export function makePictures(makePicturesBinary, folder, timeoutMs) {
    const made = JSON.parse(run(makePicturesBinary, [folder], 'making the pictures', timeoutMs));
    return new Map(made.map((p) => [p.name, p]));
}

/** The pictures in folder in the order the pages give them; throws unless they are those made. */
export function picturesInOrder(folder, sizes) {
    const names = fs.readdirSync(folder).filter(isCandidate).sort(byName);
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
