// The page in a real browser (Debian's Chromium, driven by playwright-core), served from the loopback
// address as a visitor would get it: the demo song opens with the page and plays when asked, a module
// opened through the file input plays at once, the audio the worklet makes (recorded inside the page
// by a second worklet) equals the native `ahx render`, the pattern view follows, a mute button
// silences its channel from the frame the worklet reports, keys act, an invalid file is refused with
// the reason, and the WAV download equals the tool's WAV file. A screenshot of the playing page is
// left in the web build folder.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { chromium } from 'playwright-core';

import { firstDifference, nativeRender, serveSite, tool, webBuild, writeModules } from './support.mjs';

// Flags for a machine without network or GPU: without the networking ones Chromium keeps trying to
// reach its services.
const CHROMIUM_FLAGS = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const SCREENSHOT = path.join(webBuild, 'screenshot.png');
const CAPTURE_SECONDS = 12;

let modules;
let server;
let browser;
let page;
let rate;
const pageErrors = [];

before(async () => {
    modules = writeModules();
    server = await serveSite();
    browser = await chromium.launch({ executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium', headless: true,
        args: CHROMIUM_FLAGS });
    page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
    page.on('pageerror', (error) => pageErrors.push(error.message));
    page.on('console', (message) => { if (message.type() === 'error') pageErrors.push(message.text()); });
    await page.goto(server.url);
});

after(async () => {
    await browser?.close();
    await server?.close();
    modules?.remove();
});

// Records the player node's output from now on, inside the page.
async function startCapture() {
    await page.evaluate(async (seconds) => {
        const { context, node } = window.ahxWebPlayer;
        if (!window.capture) {
            await context.audioWorklet.addModule('/test/capture-worklet.js');
            window.capture = new AudioWorkletNode(context, 'capture', { numberOfInputs: 1, numberOfOutputs: 1,
                channelCount: 2, channelCountMode: 'explicit', processorOptions: { frames: seconds * context.sampleRate } });
            node.connect(window.capture);
            window.capture.connect(context.destination);
        }
        window.capture.port.postMessage({ type: 'reset' });
    }, CAPTURE_SECONDS);
}

async function takeCapture() {
    const samples = await page.evaluate(() => new Promise((resolve) => {
        window.capture.port.onmessage = ({ data }) => resolve(Array.from(data.samples));
        window.capture.port.postMessage({ type: 'take' });
    }));
    return Int16Array.from(samples);
}

// The frame where sound starts: the capture has silence before the song, so both sides are lined
// up at their first sample that is not zero.
function firstSoundFrame(samples) {
    const index = samples.findIndex((sample) => sample !== 0);
    assert.ok(index >= 0, 'no sound at all');
    return index >> 1;
}

const waitForFrame = (frame) => page.waitForFunction((f) => window.ahxWebPlayer.frame >= f, frame, { timeout: 30000 });
const text = (selector) => page.locator(selector).textContent();

test('the demo song is there when the page opens, and plays when asked', async () => {
    await page.waitForFunction(() => !document.getElementById('play').disabled);
    assert.equal(await text('#title'), 'Harbour Lights');
    assert.match(await text('#details'), /demo\.hvl · HVL version 1 · 8 channels/);
    assert.equal(await text('#length'), '0:53');
    assert.equal(await page.locator('#channels button').count(), 8);
    rate = await page.evaluate(() => window.ahxWebPlayer.context.sampleRate);

    await startCapture();
    await page.click('#play');
    // The page starts its audio context first and relabels the button once it plays.
    await page.waitForFunction(() => document.getElementById('play').getAttribute('aria-label') === 'Pause');
    await waitForFrame(rate);
    const early = [await text('#where'), await text('#pattern tr.playing th')];
    await waitForFrame(3 * rate);
    const later = [await text('#where'), await text('#pattern tr.playing th')];
    assert.match(later[0], /^position \d+, row \d+$/);
    assert.equal(later[0].split(' ').at(-1), String(Number(later[1])), 'the marked row is the playing row');
    assert.notDeepEqual(later, early, 'the playing row moves on');

    const heard = await takeCapture();
    const expected = nativeRender(modules.file('demo.hvl'), { rate });
    const start = firstSoundFrame(heard);
    const frames = 2 * rate;
    assert.ok(heard.length / 2 - start >= frames, `${heard.length / 2 - start} frames captured`);
    const from = firstSoundFrame(expected);
    assert.equal(firstDifference(heard.subarray(start * 2, (start + frames) * 2), expected.subarray(from * 2, (from + frames) * 2)), null);

    // Up is 30 seconds on: the busier middle of the song, for the screenshot.
    await page.evaluate(() => document.activeElement.blur());
    const before = await page.evaluate(() => window.ahxWebPlayer.frame);
    await page.keyboard.press('ArrowUp');
    await waitForFrame(before + 30 * rate);
    const [minutes, seconds] = (await text('#elapsed')).split(':').map(Number);
    assert.ok(minutes * 60 + seconds >= Math.floor(before / rate) + 30, `${minutes}:${seconds}`);
    await waitForFrame(before + 31 * rate);  // the meters and the view a second on
    await page.screenshot({ path: SCREENSHOT });
});

test('a module from the file input plays at once, and a mute button silences its channel', async () => {
    await page.click('#play');
    await page.waitForFunction(() => !window.ahxWebPlayer.playing);
    await startCapture();
    await page.setInputFiles('#file', modules.file('songs.hvl'));
    await page.waitForFunction(() => document.getElementById('title').textContent === 'Songs HVL');
    assert.equal(await page.locator('#song option').count(), 3);
    await waitForFrame(rate);
    await page.click('#channels button:nth-child(2)');
    assert.equal(await page.getAttribute('#channels button:nth-child(2)', 'aria-pressed'), 'true');
    await page.waitForFunction(() => window.ahxWebPlayer.maskChanges.length > 0);
    const muteFrame = await page.evaluate(() => window.ahxWebPlayer.maskChanges[0].frame);
    await waitForFrame(muteFrame + rate);
    const meter = await page.locator('#channels button:nth-child(2) .level').getAttribute('style');
    assert.match(meter, /--level: 0.000/, 'the muted channel\'s meter is empty');

    const heard = await takeCapture();
    const full = nativeRender(modules.file('songs.hvl'), { rate });
    const without = nativeRender(modules.file('songs-without-ch2.hvl'), { rate });
    const expected = Int16Array.from(full);
    expected.set(without.subarray(muteFrame * 2), muteFrame * 2);
    const songStart = firstSoundFrame(heard) - firstSoundFrame(full);
    const frames = muteFrame + Math.floor(0.8 * rate);
    assert.equal(firstDifference(heard.subarray(songStart * 2, (songStart + frames) * 2), expected.subarray(0, frames * 2)), null);
});

test('keys choose songs, mute and pause', async () => {
    // Keys typed on a focused control are its own (space presses the button that was clicked last).
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press('>');
    assert.equal(await page.inputValue('#song'), '1');
    await page.waitForFunction(() => /^position 2,/.test(document.getElementById('where').textContent));
    await page.keyboard.press('2');
    assert.equal(await page.getAttribute('#channels button:nth-child(2)', 'aria-pressed'), 'false');
    await page.keyboard.press(' ');
    await page.waitForFunction(() => !window.ahxWebPlayer.playing &&
        document.getElementById('play').getAttribute('aria-label') === 'Play');
    await page.keyboard.press('<');
    assert.equal(await page.inputValue('#song'), '0');
});

test('the WAV download equals the tool\'s WAV file', async () => {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    assert.equal(download.suggestedFilename(), 'songs.wav');
    const downloaded = readFileSync(await download.path());
    const wav = modules.file('songs.wav');
    execFileSync(tool, ['render', modules.file('songs.hvl'), '-o', wav]);
    const written = readFileSync(wav);
    // The tool's file also carries tags (a LIST chunk) that the page leaves out: the format and the
    // samples must be the same.
    const chunk = (bytes, id) => {
        for (let at = 12, size = 0; at + 8 <= bytes.length; at += 8 + size + (size & 1)) {
            size = bytes.readUInt32LE(at + 4);
            if (bytes.toString('latin1', at, at + 4) === id) return bytes.subarray(at + 8, at + 8 + size);
        }
        return null;
    };
    assert.deepEqual(chunk(downloaded, 'fmt '), chunk(written, 'fmt '), 'the format');
    const samples = (bytes) => {
        const data = Uint8Array.from(chunk(bytes, 'data'));  // a copy: a chunk may start at an odd offset
        return new Int16Array(data.buffer, 0, data.length / 2);
    };
    assert.equal(firstDifference(samples(downloaded), samples(written)), null);
});

test('a module dropped on the page plays', async () => {
    const dropped = await page.evaluateHandle(([bytes, name]) => {
        const transfer = new DataTransfer();
        transfer.items.add(new File([new Uint8Array(bytes)], name));
        return transfer;
    }, [Array.from(readFileSync(modules.file('jingle.ahx'))), 'jingle.ahx']);
    await page.dispatchEvent('main', 'drop', { dataTransfer: dropped });
    await page.waitForFunction(() => document.getElementById('title').textContent === 'Pocket Jingle');
    assert.match(await text('#details'), /jingle\.ahx · AHX revision 1 · 4 channels/);
    const frame = await page.evaluate(() => window.ahxWebPlayer.frame);
    await waitForFrame(frame + rate / 2);
});

test('a file that is not a module is refused with the reason, and the song stays', async () => {
    await page.setInputFiles('#file', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('Shopping: milk, tea') });
    await page.waitForSelector('#message:not([hidden])');
    assert.match(await text('#message'), /^Cannot open notes\.txt: not a module\./);
    assert.equal(await text('#title'), 'Pocket Jingle');
});

test('the page reported no errors', () => {
    assert.deepEqual(pageErrors, []);
});
