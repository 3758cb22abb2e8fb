// The WebAssembly engine through ahx.js, in node: only its plumbing, as what it renders, measures and
// refuses is the library's to test; the records it reads give what `ahx info` and, worked out by
// hand, the pattern module hold.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, statSync } from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { firstDifference, loadEngine, nativeRender, Result, site, tool, writeModules } from './support.mjs';

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

describe('renders equal the native tool', () => {
    const rows = [
        // Sizes around the render window (8192 frames) and the 128-frame audio block.
        { name: 'demo HVL at 48000 Hz, in requests of any size', file: 'demo.hvl', rate: 48000,
            sizes: [1, 127, 128, 129, 8191, 8192, 8193, 20000, 3] },
        { name: 'HVL subsong 2 at 44100 Hz, as floats', file: 'songs.hvl', song: 2, rate: 44100, kind: 'float32' },
        { name: 'AHX subsong 1 in stereo mode 3', file: 'songs.ahx', song: 1, rate: 44100, stereo: 3 },
        // A muted channel plays on silently: the rest equals the song with that channel's tracks left empty.
        { name: 'HVL with channel 2 of 6 muted', file: 'songs.hvl', reference: 'songs-without-ch2.hvl', rate: 44100,
            mask: 0b111101 },
        { name: 'demo HVL from a seek past 2^20 frames', file: 'demo.hvl', rate: 48000, seek: 1234567 },
    ];
    for (const row of rows) {
        test(row.name, () => {
            const expected = nativeRender(modules.file(row.reference ?? row.file), row).subarray((row.seek ?? 0) * 2);
            const player = open(row.file, { sampleRate: row.rate, stereoMode: row.stereo });
            player.selectSong(row.song ?? 0);
            if (row.mask) player.voiceMask = row.mask;
            if (row.seek) player.seek(row.seek);
            const sizes = row.sizes ?? [player.songLength().frames];
            const heard = new Int16Array(expected.length);
            for (let done = 0, i = 0; done < heard.length / 2; i++) {
                const frames = Math.min(sizes[i % sizes.length], heard.length / 2 - done);
                const samples = row.kind === 'float32'
                    ? Int16Array.from(player.renderFloat32(frames), (sample) => sample * 32768) : player.renderInt16(frames);
                heard.set(samples, done * 2);
                done += frames;
            }
            player.close();
            assert.ok(expected.length > 0);
            assert.equal(firstDifference(heard, expected), null);
        });
    }
});

describe('the records ahx.js reads', () => {
    for (const file of ['songs.hvl', 'jingle.ahx']) {
        test(`${file} as ahx info describes it`, () => {
            const native = JSON.parse(execFileSync(tool, ['info', '--json', modules.file(file)], { encoding: 'utf8' }));
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

    test('positions, steps and playback state of the pattern module, and the library\'s texts', () => {
        const player = open('pattern.hvl');
        assert.deepEqual(player.position(0), { tracks: [1, 2, 0, 1], transposes: [0, 12, 0, -5] });
        const empty = { note: 0, instrument: 0, command1: 0, param1: 0, command2: 0, param2: 0 };
        assert.deepEqual([player.step(1, 0), player.step(1, 2)], [
            { ...empty, note: 25, instrument: 1, command1: 0xc, param1: 0x30 },
            { ...empty, note: 37, instrument: 2, command2: 0xc, param2: 0x20 }]);
        assert.deepEqual([player.formatStep(player.step(1, 0)), player.describeSong(1), ahx.formatClock(72 * 882, 44100)],
            ['C-3 01 C30 ...', 'HVL version 1, song 2 of 2', '0:01.44']);

        // Tempo 6 at 50 ticks a second and 44100 Hz: 882 frames a tick, 5292 a step, 4 steps a track.
        // The last frame rendered, 23814, is the first of tick 3 of position 1 (which starts at 4 * 5292).
        player.metering = true;
        player.renderInt16(4 * 5292 + 3 * 882 + 1);
        const { voices, ...state } = player.state();
        assert.deepEqual(state, { song: 0, position: 1, row: 0, tick: 3, tempo: 6, frame: 23815, voiceMask: 0b1111,
            channels: 4 });
        // Row 0 of position 1: channels 2 and 3 start track 1's instrument 1; channels 1 and 4 play
        // an empty step (track 2) and track 0, and keep instrument 2 from row 2 of position 0's track 1.
        assert.deepEqual(voices.map((voice) => voice.instrument), [2, 1, 1, 2]);
        assert.ok(voices[1].level > 0 && voices[1].level <= 1, `level ${voices[1].level}`);
        player.selectSong(1);
        assert.deepEqual([player.state().song, player.state().position], [1, 1]);
        player.close();
    });

    test('a refusal carries the library\'s reason with the header\'s numbers, and so does the probe', () => {
        const bytes = readFileSync(modules.file('too-many-positions.hvl'));
        assert.throws(() => ahx.open(bytes), { code: Result.TOO_MANY_POSITIONS, message: 'too many positions: 1001, at most 1000' });
        assert.deepEqual(ahx.probe(bytes), { result: Result.TOO_MANY_POSITIONS, reason: 'too many positions', format: 'HVL',
            version: 1, found: 1001, limit: 1000 });
    });
});

describe('the wrapper', () => {
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
        ahx.open(bytes).close();
        const memoryBytes = ahx.raw.memory.buffer.byteLength;
        for (let i = 0; i < 200; i++) ahx.open(bytes).close();
        assert.equal(ahx.raw.memory.buffer.byteLength, memoryBytes);
    });

    // Its exports are the header's functions by construction: the build lists them from ahx.h.
    test('the wasm is under 64 KiB and reports the tool\'s version', () => {
        const bytes = statSync(path.join(site, 'ahx.wasm')).size;
        assert.ok(bytes < 64 * 1024, `${bytes} bytes`);
        assert.equal(`ahx ${ahx.version}\n`, execFileSync(tool, ['--version'], { encoding: 'utf8' }));
    });
});
