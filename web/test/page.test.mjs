// The page in real browsers (Debian's Chromium and Firefox ESR, driven by puppeteer-core), served from
// the loopback address and playing into a sound server of the test's own. The audio the worklet makes
// (recorded inside the page by a second worklet) must equal the native `ahx render`; where the engine
// lets the page notice (Firefox), a missing audio output is reported. Screenshots of the playing page
// at desktop and phone widths are left in the web build folder.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import puppeteer from 'puppeteer-core';

import { firstDifference, nativeRender, serveSite, startSoundServer, tool, webBuild, writeModules } from './support.mjs';

// Flags for a machine without network or GPU: without the networking ones Chromium keeps trying to
// reach its services.
const CHROMIUM_FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const ENGINES = [
    { name: 'chromium', browser: 'chrome', executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', args: CHROMIUM_FLAGS },
    { name: 'firefox', browser: 'firefox', executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr', args: [] },
];
const WIDTHS = { desktop: { width: 1280, height: 900 }, phone: { width: 390, height: 844 } };
const CAPTURE_SECONDS = 12;

let modules, server;

before(async () => {
    modules = writeModules();
    writeFileSync(modules.file('damaged.hvl'), readFileSync(modules.file('demo.hvl')).subarray(0, 300));
    server = await serveSite();
});

after(async () => {
    await server?.close();
    modules?.remove();
});

// The engines side by side: most of the time goes to listening, in real time.
describe('the page', { concurrency: true }, () => ENGINES.forEach((engine) => describe(engine.name, { concurrency: 1 }, () => {
    let sound, browser, page, rate;
    const pageErrors = [];

    before(async () => {
        sound = await startSoundServer();
        browser = await puppeteer.launch({ browser: engine.browser, executablePath: engine.executablePath, args: engine.args,
            headless: true, defaultViewport: WIDTHS.desktop, env: { ...process.env, ...sound.environment } });
        page = await browser.newPage();
        page.on('pageerror', (error) => pageErrors.push(error.message));
        page.on('console', (message) => { if (message.type() === 'error') pageErrors.push(message.text()); });
        // Bytes cross between node and the page as base64 text: one string, where an array would be
        // a million values to encode one by one.
        await page.evaluateOnNewDocument(() => {
            window.toBase64 = (bytes) => {
                let text = '';
                for (let at = 0; at < bytes.length; at += 32768) text += String.fromCharCode(...bytes.subarray(at, at + 32768));
                return btoa(text);
            };
            window.fromBase64 = (text) => Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
        });
        await page.goto(server.url);
        // Open, and measured by the worklet.
        await page.waitForFunction(() => window.ahxWebPlayer.songFrames.length > 0);
    });

    after(async () => {
        await browser?.close();
        sound?.stop();
    });

    // Records the player node's output from now on, inside the page.
    async function startCapture() {
        await page.evaluate(async (seconds) => {
            const { context, node } = window.ahxWebPlayer;
            if (!window.capture) {
                await context.audioWorklet.addModule('/test/capture-worklet.js');
                window.capture = new AudioWorkletNode(context, 'capture',
                    { channelCountMode: 'explicit', processorOptions: { frames: seconds * context.sampleRate } });
                node.connect(window.capture);
                window.capture.connect(context.destination);
            }
            window.capture.port.postMessage({ type: 'reset' });
        }, CAPTURE_SECONDS);
    }

    // The captured audio equals `frames` frames of the render, both from their first sample that is not
    // zero: the capture has silence before the song.
    async function assertHeard(render, frames) {
        const base64 = await page.evaluate(() => new Promise((resolve) => {
            window.capture.port.onmessage = ({ data }) => resolve(window.toBase64(new Uint8Array(data.samples.buffer)));
            window.capture.port.postMessage({ type: 'take' });
        }));
        const heard = new Int16Array(Uint8Array.from(Buffer.from(base64, 'base64')).buffer);
        const [start, from] = [heard, render].map((samples) => samples.findIndex((sample) => sample !== 0) >> 1);
        assert.ok(start >= 0 && heard.length / 2 - start >= frames, `${heard.length / 2 - start} frames captured`);
        assert.equal(firstDifference(heard.subarray(start * 2, (start + frames) * 2), render.subarray(from * 2, (from + frames) * 2)), null);
    }

    // What "Download WAV" offers: the link's name and the bytes behind it, taken in the page.
    async function download() {
        await page.evaluate(() => {
            window.offered = new Promise((resolve) => {
                HTMLAnchorElement.prototype.click = async function take() {
                    delete HTMLAnchorElement.prototype.click;
                    const bytes = new Uint8Array(await (await fetch(this.href)).arrayBuffer());
                    resolve({ name: this.download, base64: window.toBase64(bytes) });
                };
            });
        });
        await page.click('#download');
        const { name, base64 } = await page.evaluate(() => window.offered);
        return { name, bytes: Buffer.from(base64, 'base64') };
    }

    const waitForFrame = (frame) => page.waitForFunction((f) => window.ahxWebPlayer.frame >= f, { timeout: 30000 }, frame);
    const text = (selector) => page.$eval(selector, (element) => element.textContent);
    const pressed = (channel) => page.$eval(`#channels button:nth-child(${channel})`, (button) => button.ariaPressed);

    test('without an audio output the page says so, keeps working, and plays once there is one',
        { skip: engine.name === 'chromium' && 'Chromium plays into a silent stand-in when there is no output' }, async (t) => {
            sound.unplug();
            let playedAnyway = false;
            try {
                await page.click('#play');
                // Now and then Firefox still starts into the output just taken away and the song plays:
                // then there is no missing output for the page to tell of.
                await page.waitForFunction(() => !document.getElementById('message').hidden || window.ahxWebPlayer.frame > 0);
                playedAnyway = await page.$eval('#message', (message) => message.hidden);
                if (!playedAnyway) {
                    assert.match(await text('#message'), /^No sound: /);
                    assert.ok(await page.$('#pattern tr.playing'), 'the pattern shows the playing row');
                    assert.equal((await download()).name, 'demo.wav');
                }
            } finally {
                sound.plug();
            }
            await page.waitForFunction(() => document.getElementById('message').hidden && window.ahxWebPlayer.frame > 0);
            await page.click('#play');  // paused at the start again, for the next test
            await page.$eval('#seek', (seek) => { seek.value = '0'; seek.dispatchEvent(new Event('change')); });
            if (playedAnyway) t.skip('the browser started its audio before the output went');
        });

    test('the demo song is there when the page opens, plays as the tool renders it, and fits its box', async () => {
        assert.equal(await text('#title'), 'Harbour Lights');
        assert.match(await text('#details'), /demo\.hvl · HVL version 1 · 8 channels/);
        assert.match(await text('#length'), /^0:53\.\d\d$/);
        assert.equal(await page.$$eval('#channels button', (buttons) => buttons.length), 8);
        rate = await page.evaluate(() => window.ahxWebPlayer.context.sampleRate);

        await startCapture();
        await page.click('#play');
        await page.waitForFunction(() => document.getElementById('play').ariaLabel === 'Pause');
        await waitForFrame(rate);
        await waitForFrame(3 * rate);
        // Both read at one moment: the row moves on between two calls.
        const [where, marked] = await page.evaluate(() => ['#where', '#pattern tr.playing th']
            .map((s) => document.querySelector(s).textContent));
        assert.match(where, /^position \d+, row \d+$/);
        assert.notEqual(where, 'position 0, row 0', 'the playing row moves on');
        assert.equal(where.split(' ').at(-1), String(Number(marked)), 'the marked row is the playing row');
        await assertHeard(nativeRender(modules.file('demo.hvl'), { rate }), 2 * rate);

        // Up is 30 seconds on, with the Play button still focused: the busier middle of the song.
        const before = await page.evaluate(() => window.ahxWebPlayer.frame);
        await page.keyboard.press('ArrowUp');
        await waitForFrame(before + 30 * rate);
        const [minutes, seconds] = (await text('#elapsed')).split(':').map(Number);
        assert.ok(minutes * 60 + seconds >= Math.floor(before / rate) + 30, `${minutes}:${seconds}`);
        await waitForFrame(before + 31 * rate);  // the meters and the view a second on
        for (const [name, size] of Object.entries(WIDTHS)) {
            await page.setViewport(size);
            const widths = await page.evaluate(() => ({ page: document.documentElement.scrollWidth, window: window.innerWidth,
                box: document.getElementById('pattern').clientWidth, table: document.querySelector('#pattern table').offsetWidth }));
            assert.ok(widths.page <= widths.window, `${name}: nothing but the pattern scrolls sideways: ${JSON.stringify(widths)}`);
            if (name === 'desktop') assert.ok(widths.table <= widths.box, `the pattern fits its box: ${JSON.stringify(widths)}`);
            await page.screenshot({ path: path.join(webBuild, `screenshot-${engine.name}-${name}.png`), fullPage: true });
        }
        await page.setViewport(WIDTHS.desktop);
    });

    test('dropped files make a playlist of those named as modules, AHX songs in stereo; a mute button silences its '
        + 'channel, keys act on a focused button, a damaged module is refused with the library\'s reason', async () => {
        await page.click('#play');  // paused, so that the capture starts with the new song
        await page.waitForFunction(() => !window.ahxWebPlayer.playing);
        await startCapture();
        await page.evaluate((files) => {
            const transfer = new DataTransfer();
            for (const [name, bytes] of files) transfer.items.add(new File([window.fromBase64(bytes)], name));
            document.querySelector('main').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
        }, [['jingle.ahx', 'jingle.ahx'], ['HVL.songs', 'songs.hvl'], ['notes.txt', 'songs.hvl']]
            .map(([name, file]) => [name, readFileSync(modules.file(file)).toString('base64')]));
        await page.waitForFunction(() => document.getElementById('title').textContent === 'Pocket Jingle');
        assert.deepEqual(await page.$$eval('#playlist li', (items) => items.map((item) => item.textContent)), ['jingle.ahx', 'HVL.songs']);
        await waitForFrame(2.5 * rate);
        await assertHeard(nativeRender(modules.file('jingle.ahx'), { rate, stereo: 2 }), 2 * rate);
        await page.keyboard.press('n');
        await page.waitForFunction(() => document.getElementById('title').textContent === 'Songs HVL');
        assert.equal(await page.$$eval('#song option', (options) => options.length), 3);

        // The meters come from the worklet's player, so an empty one shows the worklet took the mask.
        await page.click('#channels button:nth-child(2)');
        assert.equal(await pressed(2), 'true');
        await page.waitForFunction(() => window.ahxWebPlayer.maskChanges.length > 0);
        await waitForFrame(await page.evaluate(() => window.ahxWebPlayer.maskChanges[0].frame) + rate);
        const meter = await page.$eval('#channels button:nth-child(2) .level', (level) => level.getAttribute('style'));
        assert.match(meter, /--level: 0.000/, 'the muted channel\'s meter is empty');

        // The channel button keeps the focus: Space is the page's, not a press of the button.
        await page.keyboard.press('>');
        assert.equal(await page.$eval('#song', (select) => select.value), '1');
        await page.waitForFunction(() => /^position 2,/.test(document.getElementById('where').textContent));
        await page.keyboard.press(' ');
        await page.waitForFunction(() => !window.ahxWebPlayer.playing && document.getElementById('play').ariaLabel === 'Play');
        await page.keyboard.press('2');
        assert.equal(await pressed(2), 'false');

        await (await page.$('#file')).uploadFile(modules.file('damaged.hvl'));
        await page.waitForSelector('#message:not([hidden])');
        assert.equal(await text('#message'), 'Cannot open damaged.hvl: truncated or damaged.');
        assert.equal(await text('#title'), 'Songs HVL');
    });

    test('the WAV download equals the tool\'s WAV file, tags and all', async () => {
        const downloaded = await download();
        assert.equal(downloaded.name, 'songs-song2.wav');
        const wav = modules.file(`songs-${engine.name}.wav`);
        execFileSync(tool, ['render', modules.file('songs.hvl'), '--song', '2', '-o', wav, '--force']);
        const chunks = (bytes, first = 12) => {
            const found = {};
            for (let at = first, size = 0; at + 8 <= bytes.length; at += 8 + size + (size & 1)) {
                size = bytes.readUInt32LE(at + 4);
                found[bytes.toString('latin1', at, at + 4)] = bytes.subarray(at + 8, at + 8 + size);
            }
            return found;
        };
        const [ours, theirs] = [chunks(downloaded.bytes), chunks(readFileSync(wav))];
        assert.deepEqual(ours['fmt '], theirs['fmt '], 'the format');
        // The tool's libsndfile names itself after the tool's name and version.
        const tags = (list) => Object.fromEntries(Object.entries(chunks(list, 4))
            .map(([id, value]) => [id, value.toString('utf8').replace(/\0+$/, '').replace(/ \(libsndfile-[^)]*\)$/, '')]));
        assert.deepEqual(tags(ours.LIST), tags(theirs.LIST));
        const samples = (data) => new Int16Array(Uint8Array.from(data).buffer);  // a copy: data may start at an odd offset
        assert.equal(firstDifference(samples(ours.data), samples(theirs.data)), null);
    });

    test('the page reported no errors', () => {
        assert.deepEqual(pageErrors, []);
    });
})));

