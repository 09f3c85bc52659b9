// End to end in a real browser: generates the pages of a folder of awkwardly
// named pictures with the program itself, opens them from disk in headless
// Chromium and checks what a visitor would see. Every picture must load and
// show at the size its page gives, under its own name; the "Index N" links
// must lead through every page once, in order, to a last page without one.
//
// Usage: node check_pages.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY
// CHROMIUM in the environment overrides /usr/bin/chromium.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { Browser } from './devtools_pipe.mjs';
import { Failures, makePictures, picturesInOrder, run, runWithDeadline } from './picture_folder.mjs';

const picturesPerPage = 10;
const deadlineMs = 50000;
const stepMs = 10000;
// The pages' links are relative, so the folder's own name must survive them too.
const folderName = 'pages & #1 %20 ? caf\u00e9 \u65e5\u672c';

/** What the page shows: its title line, its pictures as rendered and its next-page links. */
const pageSnapshot = `(() => {
    const pictures = [...document.images].map((img) => {
        const box = img.getBoundingClientRect();
        return {
            src: img.getAttribute('src'), url: img.src, complete: img.complete,
            naturalWidth: img.naturalWidth, naturalHeight: img.naturalHeight,
            shownWidth: box.width, shownHeight: box.height,
            width: img.getAttribute('width'), height: img.getAttribute('height'),
            text: img.parentElement.tagName === 'P' ? img.parentElement.textContent : null,
        };
    });
    const links = [...document.links]
        .filter((a) => /^Index \\d+$/.test(a.textContent.trim()))
        .map((a) => ({ text: a.textContent.trim(), href: a.href }));
    const heading = [...document.querySelectorAll('strong')]
        .map((s) => s.textContent).find((t) => t.startsWith('Jpeg/Ani Gif Index ')) ?? null;
    return { url: location.href, heading, pictures, links };
})()`;

function checkPictures(page, number, snapshot, expectedNames, sizes, folder, failures) {
    failures.expect(snapshot.pictures.length === expectedNames.length, page,
        `shows ${snapshot.pictures.length} pictures, expected ${expectedNames.length}`);
    snapshot.pictures.forEach((picture, i) => {
        const name = expectedNames[i];
        const where = `${page}, picture ${i + 1} (${JSON.stringify(name)}, src ${JSON.stringify(picture.src)})`;
        if (name === undefined) {
            failures.add(where, 'is one picture too many');
            return;
        }
        if (!picture.complete || picture.naturalWidth === 0) {
            failures.add(where, `did not load (complete ${picture.complete}, naturalWidth ${picture.naturalWidth}; the browser asked for ${picture.url})`);
        } else {
            const made = sizes.get(name);
            failures.expect(picture.naturalWidth === made.width && picture.naturalHeight === made.height, where,
                `loaded a ${picture.naturalWidth}x${picture.naturalHeight} picture, but ${made.width}x${made.height} was made under that name`);
            // The pages give the picture's size plus its one-pixel frame on each side.
            failures.expect(Number(picture.width) === made.width + 2 && Number(picture.height) === made.height + 2, where,
                `page gives width ${picture.width} height ${picture.height}, expected ${made.width + 2} and ${made.height + 2}`);
        }
        failures.expect(picture.shownWidth === Number(picture.width) && picture.shownHeight === Number(picture.height), where,
            `shown at ${picture.shownWidth}x${picture.shownHeight}, but the page gives ${picture.width}x${picture.height}`);
        const size = fs.statSync(path.join(folder, name)).size;
        const expectedText = ` ${name}  ${size}`;
        failures.expect(picture.text === expectedText, where,
            `visible text is ${JSON.stringify(picture.text)}, expected ${JSON.stringify(expectedText)}`);
    });
    failures.expect(snapshot.heading === `Jpeg/Ani Gif Index ${number}`, page,
        `title line is ${JSON.stringify(snapshot.heading)}, expected "Jpeg/Ani Gif Index ${number}"`);
}

/** Walks the pages from index1.htm by clicking the "Index N" links; returns the pages' count. */
async function walkPages(browser, folder, names, sizes, failures) {
    const session = await browser.newPage();
    await browser.send('Page.enable', {}, session);
    await browser.send('Network.enable', {}, session);
    const requested = new Map();
    let failedLoads = [];
    browser.on('Network.requestWillBeSent', session, (e) => requested.set(e.requestId, e.request.url));
    browser.on('Network.loadingFailed', session,
        (e) => failedLoads.push(`${requested.get(e.requestId) ?? e.requestId}: ${e.errorText}`));

    const expectedPages = Math.ceil(names.length / picturesPerPage);
    const visited = new Set();
    let url = pathToFileURL(path.join(folder, 'index1.htm')).href;
    let loaded = browser.next('Page.loadEventFired', session, stepMs, 'opening index1.htm');
    const { errorText } = await browser.send('Page.navigate', { url }, session);
    if (errorText)
        throw new Error(`cannot open ${url}: ${errorText}`);

    for (let number = 1; ; ++number) {
        const page = `index${number}.htm`;
        await loaded;
        const snapshot = await browser.evaluate(session, pageSnapshot);
        if (snapshot.url !== url)
            throw new Error(`expected to be on ${url} but the browser shows ${snapshot.url}`);
        if (visited.has(url))
            throw new Error(`${page}: the links lead back to a page already seen`);
        visited.add(url);
        if (number > expectedPages)
            throw new Error(`${page}: more pages than ${names.length} pictures need (${expectedPages})`);

        const first = (number - 1) * picturesPerPage;
        checkPictures(page, number, snapshot, names.slice(first, first + picturesPerPage), sizes, folder, failures);
        for (const problem of failedLoads)
            failures.add(page, `failed to load ${problem}`);
        failedLoads = [];

        if (snapshot.links.length === 0) {
            failures.expect(number === expectedPages, page,
                `has no "Index" link, but ${names.length} pictures need ${expectedPages} pages`);
            return number;
        }
        const next = `index${number + 1}.htm`;
        const nextUrl = new URL(next, url).href;
        failures.expect(snapshot.links.length === 1, page, `has ${snapshot.links.length} "Index" links`);
        const link = snapshot.links[0];
        if (link.text !== `Index ${number + 1}` || link.href !== nextUrl)
            throw new Error(`${page}: link "${link.text}" leads to ${link.href}, expected "Index ${number + 1}" to ${nextUrl}`);

        loaded = browser.next('Page.loadEventFired', session, stepMs, `following "${link.text}" from ${page}`);
        await browser.evaluate(session, `[...document.links].find((a) => a.textContent.trim() === ${JSON.stringify(link.text)}).click()`);
        url = nextUrl;
    }
}

async function main(leftovers) {
    const [vimbrel, makePicturesBinary] = process.argv.slice(2);
    if (!vimbrel || !makePicturesBinary)
        throw new Error('usage: node check_pages.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY');
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-browser-'));
    leftovers.work = work;
    let browser = null;
    try {
        const folder = path.join(work, folderName);
        fs.mkdirSync(folder);
        const sizes = makePictures(makePicturesBinary, folder, stepMs);
        run(vimbrel, ['--generate', folder], 'vimbrel --generate', stepMs);
        const names = picturesInOrder(folder, sizes);

        browser = await Browser.launch(chromium, path.join(work, 'profile'));
        leftovers.browser = browser;
        const failures = new Failures();
        const pages = await walkPages(browser, folder, names, sizes, failures);
        const extra = `index${pages + 1}.htm`;
        failures.expect(!fs.existsSync(path.join(folder, extra)), extra, 'was written, but no page links to it');
        if (failures.list.length > 0)
            throw new Error(`${failures.list.length} problems in the pages of ${folder}:\n  ${failures.list.join('\n  ')}`);
        console.log(`${pages} pages, ${names.length} pictures: every picture loaded at its size under its own name`);
    } finally {
        if (browser)
            await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
}

runWithDeadline('the browser test', deadlineMs, main);
