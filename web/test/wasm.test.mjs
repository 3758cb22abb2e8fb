// The WebAssembly engine through ahx.js, in node: its samples against the native `ahx render` (both
// formats, several songs, 44100 and 48000 Hz, seeks and mutes), its description against `ahx info`,
// pattern data and playback state worked out by hand, and the library's texts reaching the page.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, statSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { AhxError, firstDifference, loadEngine, nativeInfo, nativeRender, Result, repo, site, tool, writeModules } from './support.mjs';

let modules;
let ahx;
before(async () => {
    modules = writeModules();
    ahx = await loadEngine();
});
after(() => modules.remove());

function open(name, options) {
    return ahx.open(readFileSync(modules.file(name)), options);
}

// Opens a module, picks a song and renders it once through, as long as the wasm measures it.
function wasmRender(name, { song = 0, rate = 44100, stereo = 0, kind = 'int16' } = {}) {
    const player = open(name, { sampleRate: rate, stereoMode: stereo });
    try {
        player.selectSong(song);
        const { frames } = player.songLength();
        if (kind === 'int16') return player.renderInt16(frames);
        return Int16Array.from(player.renderFloat32(frames), (sample) => sample * 32768);
    } finally {
        player.close();
    }
}

describe('renders equal the native tool', () => {
    const rows = [
        // Settings, song and sample kind reach the library; what it renders with them is its own test.
        { name: 'demo HVL at 44100 Hz', file: 'demo.hvl', rate: 44100 },
        { name: 'HVL subsong 2 at 48000 Hz, as floats', file: 'songs.hvl', song: 2, rate: 48000, kind: 'float32' },
        { name: 'AHX subsong 1 at 44100 Hz in stereo mode 3', file: 'songs.ahx', song: 1, rate: 44100, stereo: 3 },
    ];
    for (const row of rows) {
        test(row.name, () => {
            const expected = nativeRender(modules.file(row.file), row);
            assert.ok(expected.length > 0);
            assert.equal(firstDifference(wasmRender(row.file, row), expected), null);
        });
    }

    test('requests of any size give the same samples', () => {
        const expected = nativeRender(modules.file('demo.hvl'), { rate: 48000 });
        const player = open('demo.hvl', { sampleRate: 48000 });
        const samples = new Int16Array(expected.length);
        // Sizes around the render window (8192 frames) and the 128-frame audio block.
        const sizes = [1, 127, 128, 129, 8191, 8192, 8193, 20000, 3];
        for (let done = 0, i = 0; done < samples.length / 2; i++) {
            const frames = Math.min(sizes[i % sizes.length], samples.length / 2 - done);
            samples.set(player.renderInt16(frames), done * 2);
            done += frames;
        }
        player.close();
        assert.equal(firstDifference(samples, expected), null);
    });
});

// Forward to mid-tick, then back after rendering past the target.
test('seeks land on the frames a render from the start gives', () => {
    const [whole, frames] = [nativeRender(modules.file('demo.hvl'), { rate: 48000 }), 30000];
    const player = open('demo.hvl', { sampleRate: 48000 });
    for (const seek of [1234567, 777]) {
        assert.ok(seek + frames <= whole.length / 2, 'the reference covers the frames compared');
        player.seek(seek);
        assert.equal(player.state().frame, seek);
        const expected = whole.subarray(seek * 2, (seek + frames) * 2);
        assert.equal(firstDifference(player.renderInt16(frames), expected), null);
    }
    player.close();
});

// A muted channel plays on silently, so the rest equals the same song with that channel's tracks
// left empty (the test modules "-without-chN", rendered by the native tool).
describe('a muted channel is silent and the others are unchanged', () => {
    test('HVL channel 2 of 6 muted mid-song and unmuted again, in time', () => {
        const row = { file: 'songs.hvl', without: 'songs-without-ch2.hvl', rate: 44100 };
        const full = nativeRender(modules.file(row.file), row);
        const without = nativeRender(modules.file(row.without), row);
        const [muteAt, unmuteAt, end] = [100001, 200003, full.length / 2];
        const player = open(row.file, { sampleRate: row.rate });
        const heard = new Int16Array(full.length);
        heard.set(player.renderInt16(muteAt), 0);
        player.voiceMask = 0b111101;
        assert.equal(player.voiceMask, 0b111101);
        heard.set(player.renderInt16(unmuteAt - muteAt), muteAt * 2);
        player.voiceMask = 0xffffffff;
        assert.equal(player.voiceMask, 0b111111, 'bits above the channels are dropped');
        heard.set(player.renderInt16(end - unmuteAt), unmuteAt * 2);
        player.close();

        const expected = Int16Array.from(full);
        expected.set(without.subarray(muteAt * 2, unmuteAt * 2), muteAt * 2);
        assert.equal(firstDifference(heard, expected), null);
    });
});

describe('what a module holds', () => {
    for (const file of ['demo.hvl', 'jingle.ahx', 'songs.hvl', 'songs.ahx', 'pattern.hvl']) {
        test(`${file} as ahx info describes it`, () => {
            const native = nativeInfo(modules.file(file));
            const player = open(file);
            const { info } = player;
            assert.deepEqual(
                [info.format, info.version, info.title, info.channels, info.positions, info.restart, info.trackLength,
                    info.tracks, info.ticksPerSecond, info.subsongs + 1, info.sampleRate],
                [native.format, native.version, native.title, native.channels, native.positions, native.restartPosition,
                    native.trackLength, native.tracks, native.speedHz, native.songs.length, 44100]);
            assert.deepEqual(info.instrumentNames, native.instruments.map((instrument) => instrument.name));
            assert.deepEqual(info.songStarts, native.songs.map((song) => song.startPosition));
            assert.deepEqual(player.songLengths().map(({ frames, ends, end }) => ({ frames, ends, end })),
                native.songs.map(({ frames, ends, end }) => ({ frames, ends, end })));
            player.close();
        });
    }

    test('steps and positions of the pattern module, as written', () => {
        const player = open('pattern.hvl');
        assert.deepEqual(player.position(0), { tracks: [1, 2, 0, 1], transposes: [0, 12, 0, -5] });
        assert.deepEqual(player.position(1), { tracks: [2, 1, 1, 0], transposes: [-12, 0, 3, 0] });
        const empty = { note: 0, instrument: 0, command1: 0, param1: 0, command2: 0, param2: 0 };
        const rows = [
            [1, 0, { ...empty, note: 25, instrument: 1, command1: 0xc, param1: 0x30 }],
            [1, 1, empty],
            [1, 2, { ...empty, note: 37, instrument: 2, command2: 0xc, param2: 0x20 }],
            [2, 1, { ...empty, note: 13, instrument: 2, command1: 0xa, param1: 0x0f }],
            [2, 3, { ...empty, command1: 0xf, param1: 6 }],
            [0, 3, empty],
            [200, 0, empty],  // not stored: empty
        ];
        for (const [track, row, step] of rows) assert.deepEqual(player.step(track, row), step, `track ${track} row ${row}`);
        // The library's texts reach the page (the rules themselves are the library's to test).
        assert.deepEqual([player.formatStep(player.step(1, 0)), player.describeSong(1), ahx.formatClock(72 * 882, 44100)],
            ['C-3 01 C30 ...', 'HVL version 1, song 2 of 2', '0:01.44']);
        assert.throws(() => player.step(1, 4), { code: Result.INVALID_ARGUMENT });
        assert.throws(() => player.position(2), { code: Result.INVALID_ARGUMENT });
        player.close();
    });

    test('the playback state follows the song', () => {
        // Tempo 6 at 50 ticks a second and 44100 Hz: 882 frames a tick, 5292 a step, 4 steps a track.
        const player = open('pattern.hvl');
        player.metering = true;
        const where = () => {
            const { song, position, row, tick, tempo, frame } = player.state();
            return { song, position, row, tick, tempo, frame };
        };
        assert.deepEqual(where(), { song: 0, position: 0, row: 0, tick: 0, tempo: 6, frame: 0 });
        player.renderInt16(2 * 5292 + 1);
        assert.deepEqual(where(), { song: 0, position: 0, row: 2, tick: 0, tempo: 6, frame: 10585 });
        // The last frame rendered, 23814, is the first of tick 3 of position 1 (which starts at 4 * 5292).
        player.renderInt16(2 * 5292 + 3 * 882);
        assert.deepEqual(where(), { song: 0, position: 1, row: 0, tick: 3, tempo: 6, frame: 23815 });

        const state = player.state();
        assert.equal(state.channels, 4);
        assert.equal(state.voiceMask, 0b1111);
        // Row 0 of position 1: channels 2 and 3 start track 1's instrument 1; channels 1 and 4 play
        // an empty step (track 2) and track 0, and keep instrument 2 from row 2 of position 0's track 1.
        assert.deepEqual(state.voices.map((voice) => voice.instrument), [2, 1, 1, 2]);
        assert.ok(state.voices[1].level > 0 && state.voices[1].level <= 1, `level ${state.voices[1].level}`);

        player.selectSong(1);
        assert.deepEqual(where(), { song: 1, position: 1, row: 0, tick: 0, tempo: 6, frame: 0 });
        player.close();
    });
});

// The refusals themselves are the library's; these rows carry its reason and the settings through.
describe('refusals and their reasons', () => {
    const rows = [
        { name: 'one position too many, with both numbers', file: 'too-many-positions.hvl',
            code: Result.TOO_MANY_POSITIONS, message: 'too many positions: 1001, at most 1000' },
        { name: 'a rate below 8000 Hz', file: 'songs.hvl', options: { sampleRate: 7999 }, code: Result.INVALID_ARGUMENT,
            message: 'invalid argument' },
    ];
    for (const row of rows) {
        test(row.name, () => {
            assert.throws(() => ahx.open(readFileSync(modules.file(row.file)), row.options),
                (error) => error instanceof AhxError && error.code === row.code && error.message === row.message);
        });
    }

    test('the probe reads the header alone', () => {
        const tooLong = ahx.probe(readFileSync(modules.file('too-many-positions.hvl')));
        assert.deepEqual(tooLong, { result: Result.TOO_MANY_POSITIONS, reason: 'too many positions', format: 'HVL',
            version: 1, found: 1001, limit: 1000 });
        const jingle = ahx.probe(readFileSync(modules.file('jingle.ahx')));
        assert.deepEqual([jingle.result, jingle.format, jingle.version], [Result.OK, 'AHX', 1]);
    });

    test('a missing song leaves the player playing what it played', () => {
        const player = open('songs.hvl');
        player.selectSong(1);
        const first = player.renderInt16(1000);
        assert.throws(() => player.selectSong(3), { code: Result.NO_SUCH_SONG, message: 'no such song' });
        assert.equal(player.state().song, 1);
        const rest = player.renderInt16(1000);
        player.close();
        const expected = nativeRender(modules.file('songs.hvl'), { song: 1 }).subarray(0, 4000);
        assert.equal(firstDifference(Int16Array.from([...first, ...rest]), expected), null);
    });

    test('a closed player and a short output array', () => {
        const player = open('jingle.ahx');
        assert.throws(() => player.renderInt16(10, new Int16Array(19)), RangeError);
        player.close();
        assert.throws(() => player.renderFloat32(10), { code: Result.INVALID_ARGUMENT, message: 'the player is closed' });
        assert.throws(() => player.state(), { code: Result.INVALID_ARGUMENT });
        player.close();  // twice does nothing
    });

    test('many opens and closes do not grow the memory', () => {
        const bytes = readFileSync(modules.file('demo.hvl'));
        const player = ahx.open(bytes);
        player.close();
        const memoryBytes = ahx.raw.memory.buffer.byteLength;
        for (let i = 0; i < 200; i++) ahx.open(bytes).close();
        assert.equal(ahx.raw.memory.buffer.byteLength, memoryBytes);
    });
});

describe('the wasm file', () => {
    test('exports every function of ahx.h and imports only the growth notice', () => {
        const header = readFileSync(path.join(repo, 'include/ahx/ahx.h'), 'utf8');
        const declared = [...header.matchAll(/^AHX_API [^;(]*?\b(ahx_\w+)\(/gm)].map((match) => match[1]);
        assert.ok(declared.length >= 20, `${declared.length} functions found in ahx.h`);
        const module = new WebAssembly.Module(readFileSync(path.join(site, 'ahx.wasm')));
        const exported = new Set(WebAssembly.Module.exports(module).map((entry) => entry.name));
        for (const name of [...declared, 'malloc', 'free']) assert.ok(exported.has(name), `${name} is exported`);
        assert.deepEqual(WebAssembly.Module.imports(module).map((entry) => `${entry.module}.${entry.name}`),
            ['env.emscripten_notify_memory_growth']);
    });

    test('is under 64 KiB and reports the tool\'s version', () => {
        const bytes = statSync(path.join(site, 'ahx.wasm')).size;
        assert.ok(bytes < 64 * 1024, `${bytes} bytes`);
        assert.equal(`ahx ${ahx.version}\n`, execFileSync(tool, ['--version'], { encoding: 'utf8' }));
    });
});
