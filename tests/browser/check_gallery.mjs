// End to end in a real browser, for the gallery pages: generates them for a
// folder of awkwardly named pictures with the program itself, opens them from
// disk in headless Chromium and checks what a visitor would see and reach.
// Every thumbnail must load at the size its page gives, which is its
// picture's size fitted into the thumbnail square; its caption must give the
// picture's name and its length as people read it; its link must lead to the
// picture's own page, headed by its name. The pictures come in natural name
// order. The "Next" links must lead through every page once, in order, and
// "Previous" back again.
//
// Usage: node check_gallery.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY
// CHROMIUM in the environment overrides /usr/bin/chromium.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { Browser } from './devtools_pipe.mjs';
import {
    Failures, fitted, makePictures, naturally, picturesInOrder, readableBytes, run, runWithDeadline,
} from './picture_folder.mjs';

const picturesPerPage = 12;
const thumbnailBox = 256;
const deadlineMs = 50000;
const stepMs = 10000;
// A page waits this long for its thumbnails, within one command's timeout, so
// that a picture that never loads is reported by name, not as a page that did
// not answer.
const loadWaitMs = 4000;
// The pages' links are relative, so the folder's own name must survive them too.
const folderName = 'gallery & #2 %41 ? \u00fcber \u65e5\u672c';
// A phone's screen: one column, so the last thumbnails of a page are further
// down than the browser looks ahead for lazy loading, and load only once
// scrolled to. A thumbnail the page never asks for is then caught as unloaded.
const viewport = { width: 320, height: 480, deviceScaleFactor: 1, mobile: false };

/**
 * What the page shows once every thumbnail has been scrolled to: each
 * picture's thumbnail as loaded, its caption split at its line breaks, where
 * its link leads, and the page's navigation.
 */
const pageSnapshot = `(async () => {
    const settled = (image) => new Promise((done) => {
        // Not complete while lazily put off, nor while loading.
        if (image.complete)
            return done();
        image.addEventListener('load', () => done(), { once: true });
        image.addEventListener('error', () => done(), { once: true });
    });
    const bounded = (promise) => Promise.race([promise, new Promise((done) => setTimeout(done, ${loadWaitMs}))]);
    const frame = () => new Promise((done) => requestAnimationFrame(() => setTimeout(done, 0)));

    const thumbnails = [...document.querySelectorAll('figure img')];
    const waits = [];
    for (const image of thumbnails) {
        image.scrollIntoView({ block: 'center' });
        await frame();
        waits.push(settled(image));
    }
    await bounded(Promise.all(waits));

    const pictures = [...document.querySelectorAll('figure')].map((figure) => {
        const link = figure.querySelector('a');
        const image = figure.querySelector('img');
        const caption = figure.querySelector('figcaption');
        const lines = [''];
        for (const node of caption ? caption.childNodes : []) {
            if (node.nodeName === 'BR')
                lines.push('');
            else
                lines[lines.length - 1] += node.textContent;
        }
        return {
            href: link ? link.getAttribute('href') : null, linkUrl: link ? link.href : null,
            inLink: Boolean(image && link && image.parentElement === link),
            src: image ? image.getAttribute('src') : null, url: image ? image.currentSrc : null,
            complete: image ? image.complete : false,
            naturalWidth: image ? image.naturalWidth : 0, naturalHeight: image ? image.naturalHeight : 0,
            width: image ? image.getAttribute('width') : null, height: image ? image.getAttribute('height') : null,
            alt: image ? image.getAttribute('alt') : null,
            caption: caption ? lines : null,
        };
    });
    const navs = [...document.querySelectorAll('nav')].map((nav) => ({
        text: nav.textContent.replace(/\\s+/g, ' ').trim(),
        links: [...nav.querySelectorAll('a')].map((a) => ({
            text: a.textContent.trim(), rel: a.getAttribute('rel'), href: a.href,
        })),
    }));
    const heading = document.querySelector('h1');
    return {
        url: location.href, images: document.images.length, pictures, navs,
        heading: heading ? heading.textContent : null,
    };
})()`;

/** Opens url in session; resolves with the text of its h1, or null. */
async function headingAt(browser, session, url, what) {
    const loaded = browser.next('Page.loadEventFired', session, stepMs, what);
    const { errorText } = await browser.send('Page.navigate', { url }, session);
    if (errorText)
        return null;
    await loaded;
    return browser.evaluate(session, 'document.querySelector("h1")?.textContent ?? null');
}

async function checkPicture(where, picture, name, made, folder, browser, pictureTab, failures) {
    failures.expect(picture.alt === name, where, `alt text is ${JSON.stringify(picture.alt)}`);
    failures.expect(picture.inLink, where, 'the thumbnail is not inside the picture\'s link');

    const thumbnail = fitted(made.width, made.height, thumbnailBox);
    const width = Number(picture.width);
    const height = Number(picture.height);
    failures.expect(width === thumbnail.width && height === thumbnail.height, where,
        `page gives width ${picture.width} height ${picture.height}, but a ${made.width}x${made.height} picture has a ${thumbnail.width}x${thumbnail.height} thumbnail`);
    if (!picture.complete || picture.naturalWidth === 0) {
        failures.add(where, `thumbnail did not load (complete ${picture.complete}, naturalWidth ${picture.naturalWidth}; the browser asked for ${picture.url})`);
    } else {
        failures.expect(picture.naturalWidth === width && picture.naturalHeight === height, where,
            `thumbnail is ${picture.naturalWidth}x${picture.naturalHeight}, but the page gives ${picture.width}x${picture.height}`);
        failures.expect(picture.naturalWidth === thumbnail.width && picture.naturalHeight === thumbnail.height, where,
            `thumbnail is ${picture.naturalWidth}x${picture.naturalHeight}, but ${made.width}x${made.height} fitted into ${thumbnailBox}x${thumbnailBox} is ${thumbnail.width}x${thumbnail.height}`);
    }
    if (picture.url?.startsWith('file:')) {
        const file = fileURLToPath(picture.url);
        failures.expect(path.dirname(file) === path.join(folder, 'vimbrel', 'small'), where,
            `thumbnail ${JSON.stringify(file)} is not in the album's small folder`);
        let start = Buffer.alloc(0);
        try {
            start = fs.readFileSync(file).subarray(0, 3);
        } catch {
            // reported below, as not a JPEG
        }
        failures.expect(start.equals(Buffer.from([0xff, 0xd8, 0xff])), where, `thumbnail ${JSON.stringify(file)} is not a JPEG file`);
    } else {
        failures.add(where, `thumbnail is not a file beside the page: ${picture.url}`);
    }

    let size = null;
    try {
        size = fs.statSync(path.join(folder, name)).size;
    } catch (error) {
        failures.add(where, `the picture is gone from the folder (${error.code})`);
    }
    const caption = [name, readableBytes(size)];
    failures.expect(size === null || JSON.stringify(picture.caption) === JSON.stringify(caption), where,
        `caption lines are ${JSON.stringify(picture.caption)}, expected ${JSON.stringify(caption)}`);

    if (picture.linkUrl === null) {
        failures.add(where, 'has no link');
        return;
    }
    const linked = picture.linkUrl.startsWith('file:') ? fileURLToPath(picture.linkUrl) : picture.linkUrl;
    failures.expect(path.dirname(linked) === path.join(folder, 'vimbrel', 'pages'), where,
        `link ${JSON.stringify(picture.href)} leads to ${JSON.stringify(linked)}, not to a page of the album's`);
    const heading = await headingAt(browser, pictureTab, picture.linkUrl, `${where}: opening its link`);
    failures.expect(heading === name, where,
        `link ${JSON.stringify(picture.href)} leads to a page headed ${JSON.stringify(heading)}, not to the picture's own`);
}

function checkNavigation(page, number, pages, snapshot, urls, failures) {
    failures.expect(snapshot.navs.length > 0, page, 'has no navigation');
    snapshot.navs.forEach((nav, n) => {
        const where = `${page}, navigation ${n + 1}`;
        failures.expect(nav.text.includes(`Page ${number} of ${pages}`), where,
            `reads ${JSON.stringify(nav.text)}, expected "Page ${number} of ${pages}" in it`);
        const expected = [];
        if (number > 1)
            expected.push({ text: 'Previous', rel: 'prev', href: urls(number - 1) });
        if (number < pages)
            expected.push({ text: 'Next', rel: 'next', href: urls(number + 1) });
        failures.expect(JSON.stringify(nav.links) === JSON.stringify(expected), where,
            `links are ${JSON.stringify(nav.links)}, expected ${JSON.stringify(expected)}`);
    });
}

/** Clicks the first link of rel on the page, and waits for what it leads to. */
async function follow(browser, session, rel, what) {
    const loaded = browser.next('Page.loadEventFired', session, stepMs, what);
    const clicked = await browser.evaluate(session, `(() => {
        const link = document.querySelector('nav a[rel=${rel}]');
        if (link)
            link.click();
        return Boolean(link);
    })()`);
    if (!clicked)
        throw new Error(`${what}: no link of rel ${rel}`);
    await loaded;
    return browser.evaluate(session, 'location.href');
}

/** Walks the pages from index1.htm by clicking "Next"; returns the pages' count. */
async function walkPages(browser, folder, names, sizes, failures) {
    const pictureTab = await browser.newPage();
    await browser.send('Page.enable', {}, pictureTab);
    const session = await browser.newPage();
    await browser.send('Page.enable', {}, session);
    await browser.send('Network.enable', {}, session);
    await browser.send('Emulation.setDeviceMetricsOverride', viewport, session);
    const requested = new Map();
    let failedLoads = [];
    browser.on('Network.requestWillBeSent', session, (e) => requested.set(e.requestId, e.request.url));
    browser.on('Network.loadingFailed', session,
        (e) => failedLoads.push(`${requested.get(e.requestId) ?? e.requestId}: ${e.errorText}`));

    const pages = Math.ceil(names.length / picturesPerPage);
    const urls = (number) => pathToFileURL(path.join(folder, `index${number}.htm`)).href;
    const loaded = browser.next('Page.loadEventFired', session, stepMs, 'opening index1.htm');
    const { errorText } = await browser.send('Page.navigate', { url: urls(1) }, session);
    if (errorText)
        throw new Error(`cannot open ${urls(1)}: ${errorText}`);
    await loaded;

    for (let number = 1; ; ++number) {
        const page = `index${number}.htm`;
        const snapshot = await browser.evaluate(session, pageSnapshot);
        if (snapshot.url !== urls(number))
            throw new Error(`expected to be on ${urls(number)} but the browser shows ${snapshot.url}`);
        if (number > pages)
            throw new Error(`${page}: more pages than ${names.length} pictures need (${pages})`);

        const first = (number - 1) * picturesPerPage;
        const expected = names.slice(first, first + picturesPerPage);
        failures.expect(snapshot.pictures.length === expected.length, page,
            `shows ${snapshot.pictures.length} pictures, expected ${expected.length}: ${JSON.stringify(snapshot.pictures.map((p) => p.alt))}`);
        failures.expect(snapshot.images === snapshot.pictures.length, page,
            `has ${snapshot.images} images, but ${snapshot.pictures.length} pictures`);
        failures.expect(snapshot.heading === folderName, page,
            `heading is ${JSON.stringify(snapshot.heading)}, expected the folder's name ${JSON.stringify(folderName)}`);
        for (const [i, picture] of snapshot.pictures.entries()) {
            const name = expected[i];
            const where = `${page}, picture ${first + i + 1} (${JSON.stringify(name)}, src ${JSON.stringify(picture.src)})`;
            if (name === undefined)
                failures.add(where, 'is one picture too many');
            else
                await checkPicture(where, picture, name, sizes.get(name), folder, browser, pictureTab, failures);
        }
        checkNavigation(page, number, pages, snapshot, urls, failures);
        for (const problem of failedLoads)
            failures.add(page, `failed to load ${problem}`);
        failedLoads = [];

        const hasNext = snapshot.navs.some((nav) => nav.links.some((link) => link.rel === 'next'));
        if (!hasNext) {
            failures.expect(number === pages, page, `has no "Next" link, but ${names.length} pictures need ${pages} pages`);
            if (number > 1) {
                const back = await follow(browser, session, 'prev', `following "Previous" from ${page}`);
                failures.expect(back === urls(number - 1), page, `"Previous" leads to ${back}, expected ${urls(number - 1)}`);
            }
            return number;
        }
        const reached = await follow(browser, session, 'next', `following "Next" from ${page}`);
        if (reached !== urls(number + 1))
            throw new Error(`${page}: "Next" leads to ${reached}, expected ${urls(number + 1)}`);
    }
}

async function main(leftovers) {
    const [vimbrel, makePicturesBinary] = process.argv.slice(2);
    if (!vimbrel || !makePicturesBinary)
        throw new Error('usage: node check_gallery.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY');
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-gallery-'));
    leftovers.work = work;
    let browser = null;
    try {
        const folder = path.join(work, folderName);
        fs.mkdirSync(folder);
        const sizes = makePictures(makePicturesBinary, folder, stepMs);
        run(vimbrel, ['--generate', '--gallery', '--page-size', String(picturesPerPage), folder],
            'vimbrel --generate --gallery', stepMs);
        const names = picturesInOrder(folder, sizes, naturally);

        browser = await Browser.launch(chromium, path.join(work, 'profile'));
        leftovers.browser = browser;
        const failures = new Failures();
        let pages = 0;
        try {
            pages = await walkPages(browser, folder, names, sizes, failures);
            const extra = `index${pages + 1}.htm`;
            failures.expect(!fs.existsSync(path.join(folder, extra)), extra, 'was written, but no page links to it');
        } catch (error) {
            // The walk cannot go on; what it found on the way is reported with it.
            failures.add('walking the pages', error.message);
        }
        if (failures.list.length > 0)
            throw new Error(`${failures.list.length} problems in the gallery pages of ${folder}:\n  ${failures.list.join('\n  ')}`);
        console.log(`${pages} gallery pages, ${names.length} pictures: every thumbnail loaded at its fitted size, every link led to its picture's page`);
    } finally {
        if (browser)
            await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
}

runWithDeadline('the gallery browser test', deadlineMs, main);
