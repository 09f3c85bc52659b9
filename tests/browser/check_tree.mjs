// A tree of albums as a visitor meets it, in headless Chromium: starting at
// the top folder's index1.htm and following links only, every album and every
// picture page of the tree must be reached, and nothing else: no folder left
// out of the tree (hidden, empty, a link to a folder), no page above the top.
// Each sub-album's card must count the pictures inside it; each page's
// breadcrumbs must name its enclosing albums in order and lead to them;
// Escape on a picture page must lead to its own album's index page.
//
// Usage: node check_tree.mjs VIMBREL_BINARY
// CHROMIUM in the environment overrides /usr/bin/chromium.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { Browser } from './devtools_pipe.mjs';
import { Failures, run, runWithDeadline } from './picture_folder.mjs';

const pageSize = 2;
const deadlineMs = 100000;
const stepMs = 10000;
const gif = Buffer.from('47494638396102000200800000000000ffffff2c00000000020002000002028451003b', 'hex');

// Folder (relative to the top, '' for the top) -> its pictures. Names carry
// what a link must escape; "Day 10" after "Day 2" in natural order.
const albums = new Map([
    ['', ['a.gif', 'b.gif', 'c.gif']],
    ['Summer & #1 %41', ['s.gif']],
    ['Summer & #1 %41/Day 2', ['d1.gif', 'd2.gif']],
    ['Summer & #1 %41/Day 10', ['e.gif']],
    ['2026', []], // pictures only below it
    ['2026/Winter \u65e5\u672c', ['w.gif', 'x.gif', 'y.gif']],
]);
// Folders that must not become albums or be reached.
const outside = ['empty', 'empty/deeper', '.hidden', 'vimbrel-like'];

function makeTree(top) {
    for (const [folder, pictures] of albums) {
        fs.mkdirSync(path.join(top, folder), { recursive: true });
        for (const name of pictures)
            fs.writeFileSync(path.join(top, folder, name), gif);
    }
    fs.mkdirSync(path.join(top, 'empty', 'deeper'), { recursive: true });
    fs.writeFileSync(path.join(top, 'empty', 'deeper', 'notes.txt'), 'no pictures here');
    fs.mkdirSync(path.join(top, '.hidden'));
    fs.writeFileSync(path.join(top, '.hidden', 'h.gif'), gif);
    // A link to a folder of pictures, and one back to the top: neither is followed.
    fs.mkdirSync(path.join(top, '..', 'elsewhere'));
    fs.writeFileSync(path.join(top, '..', 'elsewhere', 'l.gif'), gif);
    fs.symlinkSync(path.join(top, '..', 'elsewhere'), path.join(top, 'vimbrel-like'));
    fs.symlinkSync(top, path.join(top, 'Summer & #1 %41', 'loop'));
}

/** Pictures in folder and every album below it. */
function picturesBelow(folder) {
    let count = 0;
    for (const [other, pictures] of albums) {
        if (other === folder || folder === '' || other.startsWith(`${folder}/`))
            count += pictures.length;
    }
    return count;
}

/** What a page offers: its links, heading, crumbs and sub-album cards. */
const pageFacts = `(async () => {
    const covers = [...document.querySelectorAll('figure.album img')];
    covers.forEach((image) => { image.loading = 'eager'; });
    await Promise.race([new Promise((done) => setTimeout(done, 4000)), Promise.all(covers.map((image) => image.complete
        ? null : new Promise((done) => { image.onload = done; image.onerror = done; })))]);
    return {
    url: location.href,
    heading: document.querySelector('h1')?.textContent ?? null,
    links: [...document.querySelectorAll('a[href]')].map((a) => a.href),
    crumbs: [...document.querySelectorAll('.crumbs a')].filter((a) => a.id !== 'index').map((a) => ({ text: a.textContent, href: a.href.split('#')[0] })),
    cards: [...document.querySelectorAll('figure.album')].map((f) => ({
        name: f.querySelector('img')?.alt, href: f.querySelector('a')?.href,
        caption: f.querySelector('figcaption')?.textContent ?? '',
        cover: f.querySelector('img')?.complete && f.querySelector('img')?.naturalWidth > 0,
    })),
    picture: document.querySelector('figure.shown img') !== null,
    };
})()`;

async function main(leftovers) {
    const [vimbrel] = process.argv.slice(2);
    if (!vimbrel)
        throw new Error('usage: node check_tree.mjs VIMBREL_BINARY');
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-tree-'));
    leftovers.work = work;
    let browser = null;
    try {
        const top = path.join(work, 'Photos');
        fs.mkdirSync(top);
        makeTree(top);
        // Links and the loop are reported on stderr; the run itself succeeds.
        run(vimbrel, ['--generate', '--gallery', '--recursive', '--page-size', String(pageSize), top],
            'vimbrel --generate --gallery --recursive', 3 * stepMs);

        browser = await Browser.launch(chromium, path.join(work, 'profile'));
        leftovers.browser = browser;
        const session = await browser.newPage();
        const send = (method, params = {}) => browser.send(method, params, session);
        await send('Page.enable');
        const open = async (url, what) => {
            const loaded = browser.next('Page.loadEventFired', session, stepMs, what);
            await send('Page.navigate', { url });
            await loaded;
            return browser.evaluate(session, pageFacts);
        };
        const failures = new Failures();
        const folderOf = (file) => path.relative(top, path.dirname(file)).split(path.sep).join('/');
        const albumOf = (file) => folderOf(file).replace(/(^|\/)vimbrel\/pages$/, '');

        // Every page reached by links from the top, once each.
        const start = pathToFileURL(path.join(top, 'index1.htm')).href;
        const queue = [start];
        const seen = new Map();
        while (queue.length > 0) {
            const url = queue.shift();
            if (seen.has(url))
                continue;
            const file = fileURLToPath(url);
            if (path.relative(top, file).startsWith('..')) {
                failures.add(url, 'a link leads above the top folder');
                continue;
            }
            if (!fs.existsSync(file)) {
                failures.add(url, 'a link leads to a page that is not there');
                continue;
            }
            const facts = await open(url, `opening ${url}`);
            seen.set(url, facts);
            for (const link of facts.links) {
                const target = link.split('#')[0];
                if (target.endsWith('.htm') && !seen.has(target))
                    queue.push(target);
            }
        }

        const pictureSeen = new Map([...albums.keys()].map((a) => [a, new Set()]));
        const indexSeen = new Map([...albums.keys()].map((a) => [a, new Set()]));
        for (const [url, facts] of seen) {
            const file = fileURLToPath(url);
            const album = albumOf(file);
            const where = path.relative(top, file);
            if (!albums.has(album)) {
                failures.add(where, `a page in ${JSON.stringify(album)}, which is no album of the tree`);
                continue;
            }
            (facts.picture ? pictureSeen : indexSeen).get(album).add(facts.picture ? facts.heading : path.basename(file));
            // The crumbs: one per enclosing album, from the top down, each to that album's first page.
            const enclosing = album === '' ? [] : ['', ...album.split('/').slice(0, -1).map((_, i, parts) => parts.slice(0, i + 1).join('/'))];
            const expected = enclosing.map((a) => ({ text: a === '' ? 'Photos' : path.basename(a), file: path.join(top, a, 'index1.htm') }));
            const crumbs = facts.crumbs.map((c) => ({ text: c.text, file: fileURLToPath(c.href) }));
            failures.expect(JSON.stringify(crumbs) === JSON.stringify(expected), where,
                `crumbs ${JSON.stringify(crumbs)}, expected ${JSON.stringify(expected)}`);
            for (const card of facts.cards) {
                const sub = albumOf(fileURLToPath(card.href));
                const count = picturesBelow(sub);
                failures.expect(albums.has(sub) && path.dirname(sub) === (album === '' ? '.' : album), where,
                    `a card leads to ${JSON.stringify(sub)}, not a sub-album of ${JSON.stringify(album)}`);
                failures.expect(card.caption.includes(`${count} picture${count === 1 ? '' : 's'}`) && card.caption.startsWith(card.name),
                    where, `the card of ${JSON.stringify(card.name)} reads ${JSON.stringify(card.caption)}, expected ${count} pictures`);
                failures.expect(card.cover, where, `the cover of ${JSON.stringify(card.name)} did not load`);
            }
        }
        for (const [album, pictures] of albums) {
            const where = album === '' ? 'the top album' : `the album ${JSON.stringify(album)}`;
            // Sub-albums are cards as pictures are: --page-size counts both.
            const subAlbums = [...albums.keys()].filter((a) => a !== '' && path.dirname(a) === (album === '' ? '.' : album)).length;
            const pages = Math.max(1, Math.ceil((subAlbums + pictures.length) / pageSize));
            const indexes = Array.from({ length: pages }, (_, i) => `index${i + 1}.htm`);
            failures.expect(JSON.stringify([...indexSeen.get(album)].sort()) === JSON.stringify(indexes.sort()), where,
                `reached the index pages ${JSON.stringify([...indexSeen.get(album)])}, expected ${JSON.stringify(indexes)}`);
            failures.expect(JSON.stringify([...pictureSeen.get(album)].sort()) === JSON.stringify([...pictures].sort()), where,
                `reached the picture pages of ${JSON.stringify([...pictureSeen.get(album)])}, expected ${JSON.stringify(pictures)}`);
        }
        for (const folder of outside)
            failures.expect(!fs.existsSync(path.join(top, folder, 'index1.htm')), folder, 'was given pages');

        // Escape on each picture page leads to the index page of its own album that shows it.
        for (const [url, facts] of seen) {
            if (!facts.picture)
                continue;
            await open(url, `reopening ${url}`);
            const loaded = browser.next('Page.loadEventFired', session, stepMs, `Escape on ${url}`);
            for (const type of ['rawKeyDown', 'keyUp'])
                await send('Input.dispatchKeyEvent', { type, key: 'Escape', code: 'Escape', windowsVirtualKeyCode: 27 });
            await loaded;
            const landed = await browser.evaluate(session, `({ url: location.href,
                names: [...document.querySelectorAll('figure:not(.album) img')].map((i) => i.alt) })`);
            const where = `Escape on ${path.relative(top, fileURLToPath(url))}`;
            failures.expect(albumOf(fileURLToPath(landed.url)) === albumOf(fileURLToPath(url))
                && folderOf(fileURLToPath(landed.url)) === albumOf(fileURLToPath(url)) && landed.names.includes(facts.heading),
                where, `led to ${landed.url}, showing ${JSON.stringify(landed.names)}`);
        }
        if (failures.list.length > 0)
            throw new Error(`${failures.list.length} problems in the tree of ${top}:\n  ${failures.list.join('\n  ')}`);
        console.log(`${seen.size} pages of ${albums.size} albums reached by links from ${start}`);
    } finally {
        if (browser)
            await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
}

runWithDeadline('the tree browser test', deadlineMs, main);
