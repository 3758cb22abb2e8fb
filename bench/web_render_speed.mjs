// How fast the WebAssembly engine renders, in node and in Chromium, against the native library
// (bench/render_speed.c): each renders the demo songs ten times through at 44100 Hz in 8192-frame
// requests, best of five wall-clock runs, so that other work on the machine counts as little as it
// can. `make bench-web`.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import path from 'node:path';

import puppeteer from '../web/node_modules/puppeteer-core/lib/esm/puppeteer/puppeteer-core.js';
import { loadEngine, nativeBuild, repo, serveSite } from '../web/test/support.mjs';

const SONGS = ['demo/demo.hvl', 'demo/jingle.ahx'];
const LOOPS = 10;
const RUNS = 5;
const CHUNK_FRAMES = 8192;

// Renders `loops` times through in chunks and returns [frames, seconds]. The same text runs in node
// and, as a string, in the page.
async function renderTimed(ahx, bytes, loops, chunkFrames) {
    const player = ahx.open(bytes);
    const { frames } = player.songLength(0, loops);
    const out = new Int16Array(chunkFrames * 2);
    const started = performance.now();
    for (let done = 0; done < frames; done += chunkFrames) player.renderInt16(Math.min(chunkFrames, frames - done), out);
    const seconds = (performance.now() - started) / 1000;
    player.close();
    return [frames, seconds];
}

function best(runs) {
    return runs.reduce((a, b) => (b[1] < a[1] ? b : a));
}

function native(file) {
    const output = execFileSync(path.join(nativeBuild, 'bench/render_speed'), [file, String(LOOPS), String(RUNS)],
        { encoding: 'utf8' });
    return output.trim().split(' ').map(Number);
}

async function inNode(file) {
    const ahx = await loadEngine();
    const bytes = readFileSync(file);
    const runs = [];
    for (let i = 0; i < RUNS; i++) runs.push(await renderTimed(ahx, bytes, LOOPS, CHUNK_FRAMES));
    return best(runs);
}

async function inChromium(files) {
    const server = await serveSite();
    const browser = await puppeteer.launch({ browser: 'chrome', executablePath: '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync'] });
    const page = await browser.newPage();
    await page.goto(`${server.url}index.html`);
    const results = [];
    for (const file of files) {
        const runs = await page.evaluate(async ([source, bytes, loops, runCount, chunkFrames]) => {
            const { loadAhx } = await import('./ahx.js');
            const ahx = await loadAhx();
            // eslint-disable-next-line no-new-func
            const render = new Function(`return (${source})`)();
            const list = [];
            for (let i = 0; i < runCount; i++) list.push(await render(ahx, new Uint8Array(bytes), loops, chunkFrames));
            return list;
        }, [renderTimed.toString(), Array.from(readFileSync(file)), LOOPS, RUNS, CHUNK_FRAMES]);
        results.push(best(runs));
    }
    await browser.close();
    await server.close();
    return results;
}

const files = SONGS.map((song) => path.join(repo, song));
const browserResults = await inChromium(files);
console.log('song              audio    native            node wasm                 chromium wasm');
for (const [i, file] of files.entries()) {
    const [frames, nativeSeconds] = native(file);
    const [nodeFrames, nodeSeconds] = await inNode(file);
    if (nodeFrames !== frames) throw new Error(`${file}: ${nodeFrames} frames in node, ${frames} native`);
    const [, chromiumSeconds] = browserResults[i];
    const audioSeconds = frames / 44100;
    const speed = (seconds) => `${Math.round(audioSeconds / seconds)}x real time`;
    const relative = (seconds) => `${(nativeSeconds / seconds).toFixed(2)} of native`;
    console.log(`${path.basename(file).padEnd(16)} ${audioSeconds.toFixed(0).padStart(4)} s  ${speed(nativeSeconds).padEnd(16)}  ` +
        `${speed(nodeSeconds)} (${relative(nodeSeconds)})  ${speed(chromiumSeconds)} (${relative(chromiumSeconds)})`);
}
