// The browser as judge: a folder of awkward pictures (agreement_set.mjs) is
// paged by the program, and the same files are shown to headless Chromium
// one by one, served from localhost so that each can be drawn on a canvas.
// A picture is shown when the browser paints any pixel of it; its size is
// the browser's natural size. The pages must hold exactly the pictures the
// browser shows, each at the browser's size plus the holder's border.
//
// Usage: node check_agreement.mjs VIMBREL_BINARY
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

import { makeAgreementSet } from './agreement_set.mjs';
import { Browser } from './devtools_pipe.mjs';

const deadlineMs = 80000;
const border = 2;

/** What the browser makes of each file: [name, naturalWidth, naturalHeight, painted]. */
const judge = (names) => `Promise.all(${JSON.stringify(names)}.map((name) => new Promise((done) => {
    const image = new Image();
    const finish = () => {
        let painted = false;
        if (image.naturalWidth > 0) {
            const canvas = document.createElement('canvas');
            canvas.width = Math.min(image.naturalWidth, 256);
            canvas.height = Math.min(image.naturalHeight, 256);
            const context = canvas.getContext('2d');
            context.drawImage(image, 0, 0);
            const pixels = context.getImageData(0, 0, canvas.width, canvas.height).data;
            for (let alpha = 3; alpha < pixels.length && !painted; alpha += 4)
                painted = pixels[alpha] > 0;
        }
        done([name, image.naturalWidth, image.naturalHeight, painted]);
    };
    image.onload = finish;
    image.onerror = finish;
    image.src = '/' + encodeURIComponent(name);
})))`;

function serve(folder) {
    const server = http.createServer((request, response) => {
        const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname.slice(1));
        if (name === 'judge.html') {
            response.writeHead(200, { 'content-type': 'text/html' });
            response.end('<!DOCTYPE html><title>judge</title>');
            return;
        }
        fs.readFile(path.join(folder, name), (error, bytes) => {
            response.writeHead(error ? 404 : 200, { 'content-type': 'application/octet-stream' });
            response.end(error ? undefined : bytes);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

/** The pictures the pages carry: name -> [width, height] as the page gives them. */
function pagedPictures(folder) {
    const paged = new Map();
    for (const page of fs.readdirSync(folder).filter((n) => /^index\d+\.htm$/.test(n))) {
        const text = fs.readFileSync(path.join(folder, page), 'latin1');
        for (const m of text.matchAll(/<img src="([^"]*)" width="(\d+)" height="(\d+)">/g)) {
            const name = decodeURIComponent(m[1].replaceAll('&amp;', '&'));
            paged.set(name, [Number(m[2]) - border, Number(m[3]) - border]);
        }
    }
    return paged;
}

const leftovers = { work: null, browser: null, server: null };

async function main() {
    const [vimbrel] = process.argv.slice(2);
    if (!vimbrel)
        throw new Error('usage: node check_agreement.mjs VIMBREL_BINARY');
    const work = fs.mkdtempSync(path.join(os.tmpdir(), 'vimbrel-agreement-'));
    leftovers.work = work;
    const folder = path.join(work, 'pictures');
    const names = makeAgreementSet(folder, work);
    const run = spawnSync(vimbrel, ['--generate', folder], { encoding: 'utf8', timeout: 20000 });
    if (run.status !== 0)
        throw new Error(`vimbrel --generate failed: ${run.stderr}`);
    const reasons = new Map([...run.stderr.matchAll(/^Skipped .*\/([^/]+?): (.*)$/gm)].map((m) => [m[1], m[2]]));
    const paged = pagedPictures(folder);

    leftovers.server = await serve(folder);
    leftovers.browser = await Browser.launch(process.env.CHROMIUM || '/usr/bin/chromium', path.join(work, 'profile'));
    const browser = leftovers.browser;
    const session = await browser.newPage();
    await browser.send('Page.enable', {}, session);
    const loaded = browser.next('Page.loadEventFired', session, 20000, 'opening the judge page');
    await browser.send('Page.navigate', { url: `http://127.0.0.1:${leftovers.server.address().port}/judge.html` }, session);
    await loaded;
    const verdicts = await browser.evaluate(session, judge(names));

    const disagreements = [];
    let shown = 0;
    for (const [name, width, height, painted] of verdicts) {
        const browserSays = painted ? `${width}x${height}` : 'not shown';
        const ours = paged.get(name);
        const pagesSay = ours ? `${ours[0]}x${ours[1]}` : `not shown (${reasons.get(name) ?? 'no reason given'})`;
        if (painted)
            ++shown;
        if ((painted ? browserSays : 'not shown') !== (ours ? pagesSay : 'not shown'))
            disagreements.push(`${name}: the browser: ${browserSays}; the pages: ${pagesSay}`);
        if (!ours && !reasons.has(name))
            disagreements.push(`${name}: left off the pages without a reason`);
    }
    if (disagreements.length > 0)
        throw new Error(`${disagreements.length} of ${names.length} disagree:\n  ${disagreements.join('\n  ')}`);
    console.log(`${names.length} files: the browser shows ${shown}, the pages carry the same at the same sizes`);
}

async function cleanUp() {
    leftovers.server?.close();
    if (leftovers.browser)
        await leftovers.browser.close();
    if (leftovers.work)
        fs.rmSync(leftovers.work, { recursive: true, force: true });
}

const deadline = setTimeout(() => {
    console.error(`FAIL: the agreement test took longer than ${deadlineMs} ms`);
    leftovers.browser?.kill();
    if (leftovers.work)
        fs.rmSync(leftovers.work, { recursive: true, force: true });
    process.exit(1);
}, deadlineMs);

main().then(async () => {
    await cleanUp();
    clearTimeout(deadline);
}, async (error) => {
    console.error(`FAIL: ${error.message}`);
    await cleanUp();
    process.exit(1);
});
