// Clips in the album, in headless Chromium: each clip's page plays its copy
// (its time advances), a portrait clip plays upright, a Live Photo is one
// item whose button plays its motion over the still, and nothing under the
// album folder tells where a clip was shot. The clips are made with ffmpeg
// and tagged with exiftool as phones tag them.
//
// Usage: node check_clips.mjs VIMBREL_BINARY
// CHROMIUM in the environment overrides /usr/bin/chromium.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

import { Browser } from './devtools_pipe.mjs';
import { Failures, run, runWithDeadline } from './picture_folder.mjs';

const deadlineMs = 100000;
const stepMs = 20000;
const location = '48.8584, 2.2945, 30';

// name, ffmpeg's encoding, exiftool's rotation (none: no tags), the size it plays at
const clips = [
    { name: 'landscape.mp4', args: ['-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-c:a', 'aac'], rotation: 0, plays: [320, 180] },
    { name: 'portrait.MOV', args: ['-c:v', 'libx264', '-pix_fmt', 'yuv420p', '-c:a', 'aac'], rotation: 90, plays: [180, 320] },
    { name: 'iphone.mov', args: ['-c:v', 'libx265', '-tag:v', 'hvc1', '-pix_fmt', 'yuv420p', '-x265-params', 'log-level=error', '-c:a', 'aac'],
        rotation: 270, plays: [180, 320] },
    { name: 'web.webm', args: ['-c:v', 'libvpx-vp9', '-b:v', '200k', '-c:a', 'libopus'], rotation: null, plays: [320, 180] },
];

function makeClips(folder) {
    const clip = (name, args, seconds) => run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i',
        `testsrc2=size=320x180:rate=25:duration=${seconds}`, '-f', 'lavfi', '-i', `sine=duration=${seconds}`,
        '-shortest', ...args, path.join(folder, name)], `making ${name}`, stepMs);
    for (const { name, args, rotation } of clips) {
        clip(name, args, 3);
        if (rotation !== null)
            run('exiftool', ['-q', '-overwrite_original', `-Rotation=${rotation}`, `-GPSCoordinates=${location}`,
                path.join(folder, name)], `tagging ${name}`, stepMs);
    }
    // A Live Photo: a still and its motion, the same name in another case.
    run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', 'testsrc2=size=320x240', '-frames:v', '1',
        path.join(folder, 'IMG_0007.JPG')], 'making the still', stepMs);
    clip('img_0007.mov', ['-c:v', 'libx265', '-tag:v', 'hvc1', '-pix_fmt', 'yuv420p', '-x265-params', 'log-level=error', '-an'], 2);
}

/** Plays the page's video muted; resolves with how far it got and its size as shown. */
const playVideo = (selector) => `(async () => {
    const video = document.querySelector(${JSON.stringify(selector)});
    if (!video) return null;
    video.muted = true;
    try { await video.play(); } catch (e) { return { error: String(e) }; }
    const start = performance.now();
    while (video.currentTime < 0.5 && !video.error && performance.now() - start < 8000)
        await new Promise((done) => setTimeout(done, 50));
    const box = video.getBoundingClientRect();
    return { time: video.currentTime, error: video.error && video.error.message, width: video.videoWidth,
             height: video.videoHeight, shownWidth: box.width, shownHeight: box.height, hidden: video.hidden };
})()`;

async function main(leftovers) {
    const [vimbrel] = process.argv.slice(2);
    if (!vimbrel)
        throw new Error('usage: node check_clips.mjs VIMBREL_BINARY');
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-clips-'));
    leftovers.work = work;
    let browser = null;
    try {
        const folder = path.join(work, 'clips');
        fs.mkdirSync(folder);
        makeClips(folder);
        run(vimbrel, ['--generate', '--gallery', folder], 'vimbrel --generate --gallery', 3 * stepMs);
        const failures = new Failures();

        browser = await Browser.launch(chromium, path.join(work, 'profile'));
        leftovers.browser = browser;
        const session = await browser.newPage();
        const send = (method, params = {}) => browser.send(method, params, session);
        await send('Page.enable');
        const open = async (file) => {
            const loaded = browser.next('Page.loadEventFired', session, stepMs, `opening ${file}`);
            await send('Page.navigate', { url: pathToFileURL(file).href });
            await loaded;
        };

        await open(path.join(folder, 'index1.htm'));
        const cards = await browser.evaluate(session, `[...document.querySelectorAll('figure')].map((f) => ({
            name: f.querySelector('img').alt, length: f.querySelector('.length')?.textContent ?? null,
            live: !!f.querySelector('.live') }))`);
        const names = cards.map((c) => c.name).sort();
        const expected = [...clips.map((c) => c.name), 'IMG_0007.JPG'].sort();
        failures.expect(JSON.stringify(names) === JSON.stringify(expected), 'index1.htm',
            `shows ${JSON.stringify(names)}, expected ${JSON.stringify(expected)}: the Live Photo is one item`);
        for (const card of cards) {
            const live = card.name === 'IMG_0007.JPG';
            failures.expect(live ? card.live && card.length === null : !card.live && card.length === '0:03', 'index1.htm',
                `the card of ${card.name} has ${JSON.stringify(card)}`);
        }

        for (const clip of clips) {
            await open(path.join(folder, 'vimbrel', 'pages', `${clip.name}.htm`));
            const played = await browser.evaluate(session, playVideo('figure.shown video'));
            const where = `the page of ${clip.name}`;
            if (!played || played.error || played.time < 0.5) {
                failures.add(where, `the clip did not play: ${JSON.stringify(played)}`);
                continue;
            }
            const [width, height] = clip.plays;
            failures.expect(played.width === width && played.height === height, where,
                `plays at ${played.width}x${played.height}, expected ${width}x${height} (upright)`);
            failures.expect((played.shownWidth > played.shownHeight) === (width > height), where,
                `is drawn ${played.shownWidth}x${played.shownHeight}`);
        }

        await open(path.join(folder, 'vimbrel', 'pages', 'IMG_0007.JPG.htm'));
        const before = await browser.evaluate(session, `({ video: document.querySelector('figure.shown video').hidden,
            still: document.querySelector('figure.shown img').getBoundingClientRect().width })`);
        failures.expect(before.video && before.still > 0, 'the Live Photo', `before the button: ${JSON.stringify(before)}`);
        const box = await browser.evaluate(session, `(() => { const b = document.getElementById('motion').getBoundingClientRect();
            return { x: b.left + b.width / 2, y: b.top + b.height / 2 }; })()`);
        for (const type of ['mouseMoved', 'mousePressed', 'mouseReleased'])
            await send('Input.dispatchMouseEvent', { type, x: box.x, y: box.y, button: 'left', clickCount: 1 });
        const motion = await browser.evaluate(session, `(async () => {
            const video = document.querySelector('figure.shown video'), start = performance.now();
            while (video.currentTime < 0.5 && !video.error && performance.now() - start < 8000)
                await new Promise((done) => setTimeout(done, 50));
            return { time: video.currentTime, hidden: video.hidden, muted: video.muted,
                     stillHidden: document.querySelector('figure.shown img').getBoundingClientRect().width === 0,
                     pressed: document.getElementById('motion').getAttribute('aria-pressed') };
        })()`);
        failures.expect(motion.time >= 0.5 && !motion.hidden && motion.muted && motion.stillHidden && motion.pressed === 'true',
            'the Live Photo', `its button did not play the motion over the still: ${JSON.stringify(motion)}`);

        // No copy, poster or page tells where a clip was shot.
        const album = path.join(folder, 'vimbrel');
        for (const entry of fs.readdirSync(album, { recursive: true })) {
            const file = path.join(album, entry);
            if (fs.statSync(file).isFile()) {
                const bytes = fs.readFileSync(file);
                failures.expect(!bytes.includes('48.8584') && !bytes.includes('+48.8'), file, 'holds the location');
            }
        }
        if (failures.list.length > 0)
            throw new Error(`${failures.list.length} problems with the clips of ${folder}:\n  ${failures.list.join('\n  ')}`);
        console.log(`${clips.length} clips played upright and a Live Photo's motion played; no location under the album`);
    } finally {
        if (browser)
            await browser.close();
        fs.rmSync(work, { recursive: true, force: true });
    }
}

runWithDeadline('the clips browser test', deadlineMs, main);
