// A headless Chromium driven through its DevTools protocol over a pipe
// (--remote-debugging-pipe): commands go to the browser's fd 3, replies and
// events come back on its fd 4, each message JSON ended by a NUL byte.
// Needs nothing beyond Node itself, so the suite fetches no package.
import { spawn } from 'node:child_process';
import fs from 'node:fs';

// Networking features off: this machine's network is closed, and the test
// must never reach it anyway.
const quietFlags = [
    '--headless',
    '--no-sandbox',
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
];

const commandTimeoutMs = 10000;

export class Browser {
    /** Starts the browser at executable with a fresh profile in profileFolder. */
    static async launch(executable, profileFolder) {
        try {
            fs.accessSync(executable, fs.constants.X_OK);
        } catch {
            throw new Error(`Chromium not found at ${executable}: scripts/setup.sh installs Debian's chromium.`);
        }
        fs.mkdirSync(profileFolder, { recursive: true });
        const child = spawn(executable,
            [...quietFlags, `--user-data-dir=${profileFolder}`, '--remote-debugging-pipe', 'about:blank'],
            { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
        const browser = new Browser(child);
        try {
            await browser.send('Browser.getVersion');
        } catch (error) {
            browser.kill();
            throw error;
        }
        return browser;
    }

    constructor(child) {
        this.child = child;
        this.nextId = 1;
        this.pending = new Map();
        this.listeners = new Set();
        this.stderrTail = '';
        this.exited = false;
        this.unread = [];

        child.stderr.on('data', (data) => { this.stderrTail = (this.stderrTail + data).slice(-4000); });
        child.stdio[4].on('data', (data) => this.receive(data));
        child.stdio[3].on('error', () => {}); // a dead browser shows up through 'exit'
        child.on('exit', (code, signal) => {
            this.exited = true;
            const reason = new Error(`Chromium ended (${signal ?? `exit code ${code}`}); its last output:\n${this.stderrTail}`);
            for (const { reject } of this.pending.values())
                reject(reason);
            this.pending.clear();
            for (const listener of this.listeners)
                listener.fail(reason);
        });
    }

    receive(data) {
        let start = 0;
        for (let end = data.indexOf(0); end !== -1; start = end + 1, end = data.indexOf(0, start)) {
            this.unread.push(data.subarray(start, end));
            const message = JSON.parse(Buffer.concat(this.unread).toString('utf8'));
            this.unread = [];
            this.dispatch(message);
        }
        if (start < data.length)
            this.unread.push(data.subarray(start));
    }

    dispatch(message) {
        if (message.id !== undefined) {
            const call = this.pending.get(message.id);
            this.pending.delete(message.id);
            if (!call)
                return;
            if (message.error)
                call.reject(new Error(`${call.method} failed: ${message.error.message}`));
            else
                call.resolve(message.result);
            return;
        }
        for (const listener of [...this.listeners])
            listener.handle(message);
    }

    /** Sends a command, to the page of sessionId when given; resolves with its result. */
    send(method, params = {}, sessionId = undefined) {
        if (this.exited)
            return Promise.reject(new Error(`${method}: Chromium is no longer running.\n${this.stderrTail}`));
        const id = this.nextId++;
        const message = { id, method, params };
        if (sessionId)
            message.sessionId = sessionId;
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => {
                this.pending.delete(id);
                reject(new Error(`${method}: Chromium did not answer within ${commandTimeoutMs} ms`));
            }, commandTimeoutMs);
            const settle = (then) => (value) => { clearTimeout(timer); then(value); };
            this.pending.set(id, { method, resolve: settle(resolve), reject: settle(reject) });
            this.child.stdio[3].write(JSON.stringify(message) + '\0');
        });
    }

    /** Calls handler(params) for every event method of sessionId; returns a function that stops it. */
    on(method, sessionId, handler) {
        const listener = {
            handle: (message) => {
                if (message.method === method && message.sessionId === sessionId)
                    handler(message.params);
            },
            fail: () => {},
        };
        this.listeners.add(listener);
        return () => this.listeners.delete(listener);
    }

    /** Resolves on the next event method of sessionId; rejects after timeoutMs, naming what. */
    next(method, sessionId, timeoutMs, what) {
        return new Promise((resolve, reject) => {
            const timer = setTimeout(() => {
                this.listeners.delete(listener);
                reject(new Error(`${what}: no ${method} within ${timeoutMs} ms`));
            }, timeoutMs);
            const listener = {
                handle: (message) => {
                    if (message.method !== method || message.sessionId !== sessionId)
                        return;
                    clearTimeout(timer);
                    this.listeners.delete(listener);
                    resolve(message.params);
                },
                fail: (reason) => { clearTimeout(timer); reject(reason); },
            };
            this.listeners.add(listener);
        });
    }

    /** Opens a new blank tab; resolves with its session id. */
    async newPage() {
        const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
        const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
        return sessionId;
    }

    /** Evaluates expression in the page of sessionId; resolves with its value. */
    async evaluate(sessionId, expression) {
        const { result, exceptionDetails } = await this.send('Runtime.evaluate',
            { expression, returnByValue: true, awaitPromise: true }, sessionId);
        if (exceptionDetails)
            throw new Error(`script failed in the page: ${exceptionDetails.exception?.description ?? exceptionDetails.text}`);
        return result.value;
    }

    /** Ends the browser and every process it started; waits until it is gone. */
    async close() {
        if (this.exited)
            return;
        const gone = new Promise((resolve) => this.child.once('exit', resolve));
        this.send('Browser.close').catch(() => {});
        const timer = setTimeout(() => this.kill(), 3000);
        await gone;
        clearTimeout(timer);
    }

    /** Ends the browser and its helper processes at once (they share its process group). */
    kill() {
        if (this.exited)
            return;
        try {
            process.kill(-this.child.pid, 'SIGKILL');
        } catch {
            // already gone
        }
    }
}
