// What the web player's tests share: where the built parts are, the modules they open (written by
// the project's module builder), and renders by the native ahx tool to compare with.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { loadAhx } from '../ahx.js';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const nativeBuild = process.env.AHX_BUILD_DIR ?? path.join(repo, 'build');
export const tool = path.join(nativeBuild, 'ahx');
export const site = path.join(process.env.AHX_WEB_BUILD_DIR ?? path.join(repo, 'build-web'), 'site');
export const webBuild = path.dirname(site);

// A fresh folder with the test modules and the two demo songs, removed by the returned function.
export function writeModules() {
    const folder = mkdtempSync(path.join(tmpdir(), 'ahx-web-test-'));
    execFileSync(path.join(nativeBuild, 'tests/web/write_web_modules'), [folder]);
    execFileSync('cp', [path.join(repo, 'demo/demo.hvl'), path.join(repo, 'demo/jingle.ahx'), folder]);
    return { folder, file: (name) => path.join(folder, name), remove: () => rmSync(folder, { recursive: true }) };
}

export async function loadEngine() {
    return loadAhx(readFileSync(path.join(site, 'ahx.wasm')));
}

// `ahx render` of one song once through, as raw 16-bit stereo samples.
export function nativeRender(file, { song = 0, rate = 44100, stereo = 0 } = {}) {
    const args = ['render', file, '--song', String(song), '--rate', String(rate), '--stereo', String(stereo), '-o', '-'];
    const bytes = execFileSync(tool, args, { maxBuffer: 1 << 28, stdio: ['ignore', 'pipe', 'pipe'] });
    return new Int16Array(bytes.buffer, bytes.byteOffset, bytes.byteLength / 2);
}

export function nativeInfo(file) {
    return JSON.parse(execFileSync(tool, ['info', '--json', file], { encoding: 'utf8' }));
}

// Where two sample arrays first differ, in frames, or null when they are equal; a failure then
// names a place instead of dumping millions of samples.
export function firstDifference(actual, expected) {
    if (actual.length !== expected.length) return `lengths differ: ${actual.length / 2} and ${expected.length / 2} frames`;
    for (let i = 0; i < actual.length; i++) {
        if (actual[i] !== expected[i]) {
            return `frame ${i >> 1} (${i & 1 ? 'right' : 'left'}): ${actual[i]}, expected ${expected[i]}`;
        }
    }
    return null;
}
