// The album walked as a person would, in headless Chromium: from the first
// index page to the first picture, then with the arrow keys along the whole
// chain and back, Escape to the index page holding the picture, on a desktop,
// a phone (one step by swipe) and a HiDPI screen, light and dark. Every
// picture page must be headed by the picture due there in natural name order,
// count right, show its picture loaded and whole in the window, and link to
// its neighbours and its index page; every thumbnail on the way must load,
// from the HiDPI file where the screen takes it.
//
// Usage: node check_album.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY
// CHROMIUM in the environment overrides /usr/bin/chromium.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

import { Browser } from './devtools_pipe.mjs';
import { Failures, fitted, isAlbumCandidate, makePictures, naturally, picturesInOrder, run, runWithDeadline } from './picture_folder.mjs';

const pageSize = 4;
const box = 256;
const webSize = 2048;
const deadlineMs = 100000;
const stepMs = 10000;
// How long a key that must do nothing is given to start a navigation.
const stillMs = 400;
const folderName = 'album & #3 %41 ? caf\u00e9 \u65e5\u672c';

const walks = [
    { what: 'desktop, light', scheme: 'light', screen: { width: 1280, height: 800, deviceScaleFactor: 1, mobile: false } },
    { what: 'phone, dark', scheme: 'dark', touch: true, screen: { width: 390, height: 844, deviceScaleFactor: 3, mobile: true } },
    { what: 'HiDPI, dark', scheme: 'dark', screen: { width: 1280, height: 800, deviceScaleFactor: 2, mobile: false } },
];

const keys = { ArrowLeft: 37, ArrowRight: 39, Escape: 27 };

/** What any album page shows of its colours: luminance of the body's background and text, 0 to 1. */
const colours = `(() => {
    const style = getComputedStyle(document.body);
    const luminance = (colour) => {
        const [r, g, b] = colour.match(/[\\d.]+/g).slice(0, 3).map((c) => {
            const v = Number(c) / 255;
            return v <= 0.04045 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    return { background: luminance(style.backgroundColor), text: luminance(style.color) };
})()`;

/** An index page once its thumbnails have loaded, each with the true pixels of the file it chose. */
const indexPage = `(async () => {
    const within = (promise) => Promise.race([promise, new Promise((done) => setTimeout(done, 4000))]);
    const loaded = (image) => new Promise((done) => {
        if (image.complete)
            return done();
        image.addEventListener('load', done, { once: true });
        image.addEventListener('error', done, { once: true });
    });
    const real = (url) => new Promise((done) => {
        const image = new Image();
        image.onload = () => done([image.naturalWidth, image.naturalHeight]);
        image.onerror = () => done([0, 0]);
        image.src = url;
    });
    const images = [...document.querySelectorAll('figure img')];
    images.forEach((image) => image.scrollIntoView({ block: 'center' }));
    scrollTo(0, 0);
    await within(Promise.all(images.map(loaded)));
    const figures = await Promise.all(images.map(async (image) => ({
        name: image.alt, link: image.closest('a')?.href ?? null, srcset: image.hasAttribute('srcset'),
        chosen: image.currentSrc, complete: image.complete && image.naturalWidth > 0,
        width: Number(image.getAttribute('width')), height: Number(image.getAttribute('height')),
        real: await within(real(image.currentSrc)) ?? [0, 0],
    })));
    return { url: location.href, nav: document.querySelector('nav')?.textContent ?? '', figures, colours: ${colours} };
})()`;

/** A picture page as it opens: its bar, heading, and the picture's pixels and box in the window. */
const picturePage = `(() => {
    const href = (id) => document.getElementById(id)?.href ?? null;
    const image = document.querySelector('figure.shown img');
    const box = image?.getBoundingClientRect();
    return {
        url: location.href, heading: document.querySelector('h1')?.textContent ?? null,
        bar: document.querySelector('.bar')?.textContent ?? '',
        index: href('index'), indexText: document.getElementById('index')?.textContent ?? null,
        previous: href('previous'), next: href('next'),
        off: [...document.querySelectorAll('.bar .off')].map((span) => span.textContent),
        image: image && {
            src: image.currentSrc, complete: image.complete, naturalWidth: image.naturalWidth, naturalHeight: image.naturalHeight,
            left: box.left, top: box.top, right: box.right, bottom: box.bottom, width: box.width, height: box.height,
        },
        window: { width: innerWidth, height: innerHeight, scrolled: scrollX !== 0 || scrollY !== 0,
            em: parseFloat(getComputedStyle(document.documentElement).fontSize) },
        colours: ${colours},
    };
})()`;

function checkColours(where, colours, scheme, failures) {
    const dark = scheme === 'dark';
    failures.expect(dark ? colours.background < 0.2 : colours.background > 0.8, where,
        `the background's luminance is ${colours.background.toFixed(2)} in the ${scheme} scheme`);
    failures.expect(dark ? colours.text > 0.4 : colours.text < 0.2, where,
        `the text's luminance is ${colours.text.toFixed(2)} in the ${scheme} scheme`);
}

async function walk(browser, setup, album, failures) {
    const { folder, names, sizes } = album;
    const count = names.length;
    const indexUrl = (page) => pathToFileURL(path.join(folder, `index${page}.htm`)).href;
    const session = await browser.newPage();
    const send = (method, params = {}) => browser.send(method, params, session);
    await send('Page.enable');
    await send('Network.enable');
    const { scheme, touch, screen } = setup;
    await send('Emulation.setDeviceMetricsOverride', screen);
    if (touch)
        await send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
    await send('Emulation.setEmulatedMedia', { features: [{ name: 'prefers-color-scheme', value: scheme }] });
    const requested = new Map();
    browser.on('Network.requestWillBeSent', session, (e) => requested.set(e.requestId, e.request.url));
    browser.on('Network.loadingFailed', session, (e) => failures.add(setup.what,
        `failed to load ${requested.get(e.requestId) ?? e.requestId}: ${e.errorText}`));

    /** Does action, which must lead to another page; resolves once it has loaded. */
    const leads = async (action, what) => {
        const loaded = browser.next('Page.loadEventFired', session, stepMs, `${setup.what}: ${what}`);
        await action();
        await loaded;
    };
    const key = (name) => async () => {
        for (const type of ['rawKeyDown', 'keyUp'])
            await send('Input.dispatchKeyEvent', { type, key: name, code: name, windowsVirtualKeyCode: keys[name] });
    };
    const touchAlong = (points) => async () => {
        await send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [points[0]] });
        for (const point of points.slice(1))
            await send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: [point] });
        await send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    };
    const click = (x, y) => async () => {
        if (touch)
            return touchAlong([{ x, y }])();
        for (const type of ['mouseMoved', 'mousePressed', 'mouseReleased'])
            await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
    };
    const stays = async (action, what) => {
        let started = false;
        const stop = browser.on('Page.frameStartedLoading', session, () => { started = true; });
        const before = await browser.evaluate(session, 'location.href');
        await action();
        await new Promise((done) => setTimeout(done, stillMs));
        stop();
        failures.expect(!started && before === await browser.evaluate(session, 'location.href'), `${setup.what}, ${what}`,
            'left the page');
    };

    const checkIndex = async (page, name) => {
        const where = `${setup.what}, index${page}.htm`;
        const shown = await browser.evaluate(session, indexPage);
        if (shown.url !== indexUrl(page))
            throw new Error(`${where}: the browser shows ${shown.url}`);
        const expected = names.slice((page - 1) * pageSize, page * pageSize);
        failures.expect(JSON.stringify(shown.figures.map((f) => f.name)) === JSON.stringify(expected), where,
            `shows ${JSON.stringify(shown.figures.map((f) => f.name))}, expected ${JSON.stringify(expected)}`);
        failures.expect(shown.nav.includes(`Page ${page} of ${Math.ceil(count / pageSize)}`), where, `navigation reads ${shown.nav}`);
        checkColours(where, shown.colours, scheme, failures);
        for (const figure of shown.figures) {
            const made = sizes.get(figure.name);
            if (!made)
                continue;
            const at = `${where}, thumbnail of ${JSON.stringify(figure.name)}`;
            const small = fitted(made.width, made.height, box);
            const large = fitted(made.width, made.height, 2 * box);
            const offered = large.width !== small.width;
            failures.expect(figure.srcset === offered, at, offered ? 'offers no HiDPI file' : 'offers a HiDPI file no larger');
            const takesLarge = offered && screen.deviceScaleFactor >= 2;
            const chosen = figure.chosen.startsWith('file:') ? fileURLToPath(figure.chosen) : figure.chosen;
            const chosenRight = path.dirname(chosen) === path.join(folder, 'vimbrel', takesLarge ? 'large' : 'small');
            failures.expect(chosenRight, at, `the browser chose ${chosen}`);
            failures.expect(figure.complete, at, 'did not load');
            failures.expect(figure.width === small.width && figure.height === small.height, at,
                `is ${figure.width}x${figure.height} on the page, expected ${small.width}x${small.height}`);
            const real = takesLarge ? large : small;
            failures.expect(figure.real[0] === real.width && figure.real[1] === real.height, at,
                `its file is ${figure.real.join('x')}, expected ${real.width}x${real.height}`);
            if (chosenRight && takesLarge && Math.max(made.width, made.height) >= 2 * box)
                failures.expect(Math.abs(figure.real[0] - 2 * small.width) <= 1 && Math.abs(figure.real[1] - 2 * small.height) <= 1, at,
                    `its HiDPI file is ${figure.real.join('x')}, not twice ${small.width}x${small.height}`);
        }
        return shown.figures.find((f) => f.name === name);
    };

    const openPicture = async (page, name) => {
        const figure = await checkIndex(page, name);
        if (!figure)
            throw new Error(`${setup.what}: index${page}.htm does not show ${JSON.stringify(name)}`);
        const centre = await browser.evaluate(session, `(() => {
            const image = [...document.querySelectorAll('figure img')].find((i) => i.alt === ${JSON.stringify(name)});
            image.scrollIntoView({ block: 'center' });
            const box = image.getBoundingClientRect();
            return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
        })()`);
        await leads(click(centre.x, centre.y), `clicking the thumbnail of ${JSON.stringify(name)}`);
    };

    const checkPicture = async (number) => {
        const name = names[number - 1];
        const where = `${setup.what}, picture ${number} (${JSON.stringify(name)})`;
        const shown = await browser.evaluate(session, picturePage);
        if (shown.heading !== name)
            throw new Error(`${where}: the page shown is headed ${JSON.stringify(shown.heading)} (${shown.url})`);
        failures.expect(path.dirname(fileURLToPath(shown.url)) === path.join(folder, 'vimbrel', 'pages'), where,
            `the page is ${shown.url}`);
        failures.expect(shown.index === indexUrl(Math.ceil(number / pageSize)) && shown.indexText === folderName, where,
            `the index link ${JSON.stringify(shown.indexText)} leads to ${shown.index}`);
        for (const [end, link, word] of [[1, shown.previous, 'Previous'], [count, shown.next, 'Next']])
            failures.expect(number === end ? link === null && shown.off.includes(word) : link !== null, where,
                `${word} is ${link ?? `off (${JSON.stringify(shown.off)})`}`);
        checkColours(where, shown.colours, scheme, failures);

        const made = sizes.get(name);
        const image = shown.image;
        if (!image || !image.complete || image.naturalWidth === 0) {
            failures.add(where, `its picture did not load: ${JSON.stringify(image)}`);
            return;
        }
        const gif = /\.gif$/i.test(name);
        const file = image.src.startsWith('file:') ? fileURLToPath(image.src) : image.src;
        failures.expect(gif ? file === path.join(folder, name) : path.dirname(file) === path.join(folder, 'vimbrel', 'web'),
            where, `shows ${file}`);
        const pixels = gif ? made : fitted(made.width, made.height, webSize);
        failures.expect(image.naturalWidth === pixels.width && image.naturalHeight === pixels.height, where,
            `shows ${image.naturalWidth}x${image.naturalHeight} pixels, expected ${pixels.width}x${pixels.height}`);
        const view = shown.window;
        failures.expect(!view.scrolled && image.left >= 0 && image.top >= 0 && image.right <= view.width + 0.5
            && image.bottom <= view.height + 0.5, where,
            `the picture lies at ${image.left},${image.top} to ${image.right},${image.bottom} in a ${view.width}x${view.height} window`);
        failures.expect(Math.abs(image.width * pixels.height - image.height * pixels.width) <= Math.max(image.width, image.height) * 2, where,
            `the picture is drawn ${image.width}x${image.height}, out of its shape`);
        // As large as the window allows but for the bar, or its own size.
        const scale = Math.min(1, view.width / pixels.width, (view.height - 4 * view.em) / pixels.height);
        failures.expect(image.width >= pixels.width * scale - 1, where,
            `the picture is drawn ${image.width}x${image.height}, smaller than the window needs`);
    };

    const lastIndex = Math.ceil(count / pageSize);
    await leads(() => send('Page.navigate', { url: indexUrl(1) }), 'opening index1.htm');
    await openPicture(1, names[0]);
    for (let number = 1; ; ++number) {
        await checkPicture(number);
        if (number === count)
            break;
        // A phone's first step is a swipe from right to left.
        const swipe = touch && number === 1;
        await leads(swipe ? touchAlong([{ x: 340, y: 400 }, { x: 200, y: 405 }, { x: 60, y: 410 }]) : key('ArrowRight'),
            `${swipe ? 'swiping' : 'ArrowRight'} from picture ${number}`);
    }
    await stays(key('ArrowRight'), 'ArrowRight on the last picture');
    await leads(key('Escape'), 'Escape from the last picture');
    await openPicture(lastIndex, names[count - 1]);
    for (let number = count; ; --number) {
        await checkPicture(number);
        if (number === 1)
            break;
        await leads(key('ArrowLeft'), `ArrowLeft from picture ${number}`);
    }
    await stays(key('ArrowLeft'), 'ArrowLeft on the first picture');
    await leads(key('Escape'), 'Escape from the first picture');
    await checkIndex(1, names[0]);
}

async function main(leftovers) {
    const [vimbrel, makePicturesBinary] = process.argv.slice(2);
    if (!vimbrel || !makePicturesBinary)
        throw new Error('usage: node check_album.mjs VIMBREL_BINARY BROWSER_PICTURES_BINARY');
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-album-'));
    leftovers.work = work;
    let browser = null;
    try {
        const folder = path.join(work, folderName);
        fs.mkdirSync(folder);
        // Encoding the phone photos takes seconds under the sanitizers: a deadline of its own.
        const sizes = makePictures(makePicturesBinary, folder, 6 * stepMs, ['--album']);
        run(vimbrel, ['--generate', '--gallery', '--page-size', String(pageSize), folder], 'vimbrel --generate --gallery', 3 * stepMs);
        const album = { folder, names: picturesInOrder(folder, sizes, naturally, isAlbumCandidate), sizes };

        browser = await Browser.launch(chromium, path.join(work, 'profile'));
        leftovers.browser = browser;
        const failures = new Failures();
        for (const setup of walks) {
            try {
                await walk(browser, setup, album, failures);
            } catch (error) {
                // The walk cannot go on; what it found on the way is reported with it.
                failures.add('walking the album', error.message);
            }
        }
        if (failures.list.length > 0)
            throw new Error(`${failures.list.length} problems in the album of ${folder}:\n  ${failures.list.join('\n  ')}`);
        console.log(`${album.names.length} pictures walked there and back on ${walks.map((w) => w.what).join('; ')}`);
    } finally {
        if (browser)
            await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
}

runWithDeadline('the album browser test', deadlineMs, main);
