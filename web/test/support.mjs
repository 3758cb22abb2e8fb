// What the web player's tests share: where the built parts are, the modules they open (written by
// the project's module builder), and renders by the native ahx tool to compare with.
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
export const nativeBuild = process.env.AHX_BUILD_DIR ?? path.join(repo, 'build');
export const tool = path.join(nativeBuild, 'ahx');
export const site = path.join(process.env.AHX_WEB_BUILD_DIR ?? path.join(repo, 'build-web'), 'site');
export const webBuild = path.dirname(site);
// ahx.js as the build gathered it, beside the layout the build writes from the header.
export const { AhxError, loadAhx, Result } = await import(pathToFileURL(path.join(site, 'ahx.js')).href);

// A fresh folder with the test modules and the two demo songs, removed by the returned function.
export function writeModules() {
    const folder = mkdtempSync(path.join(tmpdir(), 'ahx-web-test-'));
    execFileSync(path.join(nativeBuild, 'tests/write_test_modules'), ['web', folder]);
    execFileSync('cp', [path.join(repo, 'demo/demo.hvl'), path.join(repo, 'demo/jingle.ahx'), folder]);
    return { folder, file: (name) => path.join(folder, name), remove: () => rmSync(folder, { recursive: true }) };
}

export async function loadEngine() {
    return loadAhx(readFileSync(path.join(site, 'ahx.wasm')));
}

// `ahx render` of one song once through, as raw 16-bit stereo samples.
export function nativeRender(file, { song = 0, rate = 44100, stereo = 0 } = {}) {
    // The tool counts songs from 1, the library from 0.
    const args = ['render', file, '--song', String(song + 1), '--rate', String(rate), '--stereo', String(stereo), '-o', '-'];
    const bytes = execFileSync(tool, args, { maxBuffer: 1 << 28, stdio: ['ignore', 'pipe', 'pipe'] });
    return new Int16Array(bytes.buffer, bytes.byteOffset, bytes.byteLength / 2);
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

// A static server on the loopback address for the built site, and for the test folder under /test/.
export async function serveSite() {
    const { createServer } = await import('node:http');
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm' };
    const testFolder = path.dirname(fileURLToPath(import.meta.url));
    const server = createServer((request, response) => {
        const url = new URL(request.url, 'http://localhost');
        const file = url.pathname.startsWith('/test/')
            ? path.join(testFolder, path.basename(url.pathname))
            : path.join(site, path.basename(url.pathname === '/' ? 'index.html' : url.pathname));
        try {
            const body = readFileSync(file);
            response.writeHead(200, { 'content-type': types[path.extname(file)] ?? 'application/octet-stream' });
            response.end(body);
        } catch {
            response.writeHead(404);
            response.end();
        }
    });
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
    return { url: `http://127.0.0.1:${server.address().port}/`, close: () => new Promise((resolve) => server.close(resolve)) };
}

// A PulseAudio server of our own (a user server without the system's modules) whose one output is a
// null sink, for the browsers to play into; unplug() takes the output away, plug() brings it back.
export async function startSoundServer() {
    const folder = mkdtempSync(path.join(tmpdir(), 'ahx-web-sound-'));
    mkdirSync(path.join(folder, 'home'));
    mkdirSync(path.join(folder, 'runtime'), { mode: 0o700 });
    writeFileSync(path.join(folder, 'server.pa'), 'load-module module-native-protocol-unix\n');
    const env = { ...process.env, HOME: path.join(folder, 'home'), XDG_RUNTIME_DIR: path.join(folder, 'runtime') };
    // Daemonized, the server answers once it is ready; --kill ends this one (the environment finds it).
    execFileSync('pulseaudio', ['--daemonize=yes', '--exit-idle-time=-1', '-n', '--system=no',
        `--file=${path.join(folder, 'server.pa')}`], { env, stdio: 'ignore' });
    const pactl = (...args) => execFileSync('pactl', args, { env, stdio: 'ignore' });
    const plug = () => {
        pactl('load-module', 'module-null-sink', 'sink_name=speakers');
        pactl('set-default-sink', 'speakers');
    };
    plug();
    return {
        environment: { PULSE_SERVER: `unix:${path.join(folder, 'runtime/pulse/native')}` },
        plug,
        unplug: () => pactl('unload-module', 'module-null-sink'),
        stop: () => {
            execFileSync('pulseaudio', ['--kill'], { env, stdio: 'ignore' });
            rmSync(folder, { recursive: true, force: true });
        },
    };
}
