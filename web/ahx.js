// The ahx engine in WebAssembly (ahx.wasm, the C library of include/ahx/ahx.h) as an ES module for
// browsers, audio worklets and node. It needs only ahx-layout.js beside it, which the build writes
// from the header (the records' offsets, the result codes, the limits), and no framework: the wasm
// needs nothing from us but a notice when its memory grows.
//
//     import { loadAhx } from './ahx.js';
//     const ahx = await loadAhx();                  // fetches ahx.wasm beside this file
//     const player = ahx.open(moduleBytes, { sampleRate: 48000 });
//     const { frames } = player.songLength();       // the main song once through
//     const pcm = player.renderFloat32(frames);     // interleaved left, right, left, ...
//     player.close();
//
// Frames count left-right pairs; channels are numbered from 0 and bit c of a voice mask is channel c,
// as in the C interface. Failures throw an AhxError carrying the library's result code and reason.

import { Format, Layout, Limits, Result, StepColumns } from './ahx-layout.js';

export { Format, Limits, Result, StepColumns };
const FORMAT_NAMES = { [Format.AHX]: 'AHX', [Format.HVL]: 'HVL' };

export class AhxError extends Error {
    constructor(code, message) {
        super(message);
        this.name = 'AhxError';
        this.code = code;
    }
}

const { info: INFO, probeInfo: PROBE, settings: SETTINGS, length: LENGTH, step: STEP, position: POSITION,
    state: STATE, voiceState: VOICE } = Layout;
const SONG_ENDS = ['loops', 'stops', 'cut'];
// Renders run through a fixed window of wasm memory, so that a whole song needs no larger heap.
const RENDER_WINDOW_FRAMES = 8192;
// Scratch for any record and any text the library writes (malloc's blocks are 8-aligned, as the
// 64-bit fields need), with room after the settings for the player open writes.
const RECORD_BYTES = Math.max(Limits.TEXT_BYTES, SETTINGS.bytes + 4, ...Object.values(Layout).map((record) => record.bytes));

// The engine, instantiated: opens players. One instance serves any number of players.
export class Ahx {
    #exports;
    #views = null;
    #record;  // scratch for the records the library fills

    constructor(instance) {
        this.#exports = instance.exports;
        // A reactor module: its static constructors run once, before anything else is called.
        if (this.#exports._initialize) this.#exports._initialize();
        this.#record = this.#exports.malloc(RECORD_BYTES);
        this.version = this.string(this.#exports.ahx_version_string());
    }

    // The library's own words for a result code, such as "too many positions".
    resultText(code) {
        return this.string(this.#exports.ahx_result_text(code));
    }

    // The module's format and version from its header alone, and whether the header is within the
    // format's limits: { result, reason, format ('AHX', 'HVL' or 'unknown'), version, found, limit }.
    probe(bytes) {
        return this.#withBytes(bytes, (pointer, size) => {
            const result = this.#exports.ahx_probe(pointer, size, this.#record);
            const view = this.views.data;
            return {
                result,
                reason: this.resultText(result),
                format: FORMAT_NAMES[view.getUint32(this.#record + PROBE.format, true)] ?? 'unknown',
                version: view.getUint32(this.#record + PROBE.version, true),
                found: view.getUint32(this.#record + PROBE.found, true),
                limit: view.getUint32(this.#record + PROBE.limit, true),
            };
        });
    }

    // Parses a module (an ArrayBuffer or a typed array) and starts its main song. Options:
    // sampleRate (Limits.LOWEST_SAMPLE_RATE to HIGHEST_SAMPLE_RATE, default DEFAULT_SAMPLE_RATE),
    // stereoMode (AHX modules: 0 to Limits.HIGHEST_STEREO_MODE, default 0).
    open(bytes, { sampleRate = Limits.DEFAULT_SAMPLE_RATE, stereoMode = 0 } = {}) {
        const settings = this.#record;
        const handleSlot = this.#record + SETTINGS.bytes;
        return this.#withBytes(bytes, (pointer, size) => {
            const view = this.views.data;
            view.setUint32(settings + SETTINGS.sampleRate, sampleRate >>> 0, true);
            view.setInt32(settings + SETTINGS.stereoMode, stereoMode | 0, true);
            const result = this.#exports.ahx_open(pointer, size, settings, handleSlot);
            if (result !== Result.OK) throw new AhxError(result, this.#openFailure(result, pointer, size));
            return new AhxPlayer(this, this.views.data.getUint32(handleSlot, true));
        });
    }

    // The library's exports and typed views of its memory, for AhxPlayer. The views are made anew
    // after the memory grew, which empties the old ones.
    get raw() {
        return this.#exports;
    }
    get views() {
        const buffer = this.#exports.memory.buffer;
        if (this.#views === null || this.#views.data.buffer !== buffer) {
            this.#views = { data: new DataView(buffer), bytes: new Uint8Array(buffer),
                int16: new Int16Array(buffer), float32: new Float32Array(buffer) };
        }
        return this.#views;
    }

    // A zero-terminated 8-bit string in wasm memory; null for a null pointer.
    string(pointer) {
        if (pointer === 0) return null;
        const bytes = this.views.bytes;
        let end = pointer;
        while (bytes[end] !== 0) end++;
        // ISO 8859-1 maps each byte to the code point of its value. (No TextDecoder: audio worklets
        // lack it.)
        return String.fromCharCode(...bytes.subarray(pointer, end));
    }

    // A time as the library shows it, "m:ss.cc", of frames at sampleRate.
    formatClock(frames, sampleRate) {
        return this.text((text, size) =>
            this.#exports.ahx_format_clock(BigInt(Math.max(0, Math.round(frames))), sampleRate >>> 0, text, size));
    }

    // The text a library function writes into a buffer: write(text, size) returns its result.
    text(write) {
        const result = write(this.#record, Limits.TEXT_BYTES);
        if (result !== Result.OK) throw new AhxError(result, this.resultText(result));
        return this.string(this.#record);
    }

    // Why the module is refused, in the library's words with the header's numbers.
    #openFailure(result, pointer, size) {
        const probe = this.#exports.malloc(PROBE.bytes);
        try {
            this.#exports.ahx_probe(pointer, size, probe);
            return this.text((text, bytes) => this.#exports.ahx_describe_refusal(result, probe, text, bytes));
        } finally {
            this.#exports.free(probe);
        }
    }

    // Copies bytes into wasm memory for the length of one call.
    #withBytes(bytes, use) {
        const source = bytes instanceof ArrayBuffer ? new Uint8Array(bytes)
            : new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
        const pointer = this.#exports.malloc(Math.max(source.length, 1));
        if (pointer === 0) throw new AhxError(Result.OUT_OF_MEMORY, this.resultText(Result.OUT_OF_MEMORY));
        try {
            this.views.bytes.set(source, pointer);
            return use(pointer, source.length);
        } finally {
            this.#exports.free(pointer);
        }
    }
}

// One opened module: its description, its pattern data and its playback.
export class AhxPlayer {
    #ahx;
    #lib;
    #handle;
    #record;
    #window;  // RENDER_WINDOW_FRAMES interleaved 16-bit or float frames
    #info;

    constructor(ahx, handle) {
        this.#ahx = ahx;
        this.#lib = ahx.raw;
        this.#handle = handle;
        this.#record = this.#lib.malloc(RECORD_BYTES);
        this.#window = this.#lib.malloc(RENDER_WINDOW_FRAMES * 2 * 4);
        if (this.#record === 0 || this.#window === 0) {
            this.close();
            throw new AhxError(Result.OUT_OF_MEMORY, ahx.resultText(Result.OUT_OF_MEMORY));
        }
        this.#info = this.#readInfo();
    }

    // The module's header values, as ahx_info has them (title and names as 8-bit text), plus the
    // instruments' names (instrumentNames[0] is instrument 1) and each song's start position.
    get info() {
        return this.#info;
    }

    // Starts song 0 (the main song) to info.subsongs from its beginning.
    selectSong(song) {
        this.#check(this.#lib.ahx_select_song(this.#handle, song >>> 0));
    }

    // How long a song plays until it comes back to a played step `loops` times, stops, or 10 minutes:
    // { frames, seconds, ends, end } (ends false when the cap came first; end 'loops', 'stops' or
    // 'cut'). Playback is not disturbed.
    songLength(song = this.state().song, loops = 1) {
        this.#check(this.#lib.ahx_measure_song(this.#handle, song >>> 0, loops >>> 0, this.#record));
        const view = this.#ahx.views.data;
        const frames = Number(view.getBigUint64(this.#record + LENGTH.frames, true));
        return { frames, seconds: frames / this.#info.sampleRate, ends: view.getInt32(this.#record + LENGTH.ends, true) !== 0,
            end: SONG_ENDS[view.getInt32(this.#record + LENGTH.end, true)] };
    }

    // Every song's length once through (see songLength), main song first.
    songLengths() {
        return this.#info.songStarts.map((start, song) => this.songLength(song));
    }

    // A step as the library shows it (see step()): the first command, and for HVL modules the second.
    formatStep(step) {
        const record = this.#record;
        const bytes = this.#ahx.views.bytes;
        for (const field of ['note', 'instrument', 'command1', 'param1', 'command2', 'param2']) bytes[record + STEP[field]] = step[field];
        const columns = this.#info.format === 'HVL' ? StepColumns.COMMANDS : StepColumns.COMMAND;
        return this.#ahx.text((text, size) => this.#lib.ahx_format_step(record, columns, text, size));
    }

    // What a rendering of song carries as its comment, songs counted from 1: "HVL version 1, song 2 of 3".
    describeSong(song) {
        this.#check(Result.OK);
        return this.#ahx.text((text, size) => this.#lib.ahx_describe_song(this.#handle, song >>> 0, text, size));
    }

    // Moves to frame `frame` of the current song, exactly.
    seek(frame) {
        this.#check(this.#lib.ahx_seek(this.#handle, BigInt(Math.max(0, Math.floor(Number(frame))))));
    }

    get voiceMask() {
        return this.state().voiceMask;
    }
    // Channels heard: bit c for channel c; the others play on silently.
    set voiceMask(mask) {
        this.#check(this.#lib.ahx_set_voice_mask(this.#handle, mask >>> 0));
    }

    // Makes state().voices[c].level measure each render call's peaks.
    set metering(enabled) {
        this.#check(this.#lib.ahx_set_metering(this.#handle, enabled ? 1 : 0));
    }

    // The next frameCount frames as interleaved floats (the 16-bit samples / 32768), into `out` when
    // given (it must hold 2 * frameCount values), else into a new Float32Array.
    renderFloat32(frameCount, out = new Float32Array(frameCount * 2)) {
        return this.#render(frameCount, out, this.#lib.ahx_render_f32, 'float32');
    }

    // The same samples as 16-bit integers.
    renderInt16(frameCount, out = new Int16Array(frameCount * 2)) {
        return this.#render(frameCount, out, this.#lib.ahx_render_s16, 'int16');
    }

    // Where the song is and what every voice does: { song, position, row, tick, tempo, frame,
    // voiceMask, channels, voices: [{ note, instrument, volume, pan, level }] } (one entry per channel).
    state() {
        this.#check(this.#lib.ahx_get_state(this.#handle, this.#record));
        const view = this.#ahx.views.data;
        const at = (offset) => view.getUint32(this.#record + offset, true);
        const channels = at(STATE.channels);
        const voices = [];
        for (let c = 0; c < channels && c < Limits.MAX_CHANNELS; c++) {
            const voice = this.#record + STATE.voices + c * VOICE.bytes;
            voices.push({
                note: view.getUint8(voice + VOICE.note),
                instrument: view.getUint8(voice + VOICE.instrument),
                volume: view.getUint8(voice + VOICE.volume),
                pan: view.getUint8(voice + VOICE.pan),
                level: view.getFloat32(voice + VOICE.level, true),
            });
        }
        return {
            song: at(STATE.song), position: at(STATE.position), row: at(STATE.row), tick: at(STATE.tick),
            tempo: at(STATE.tempo), frame: Number(view.getBigUint64(this.#record + STATE.frame, true)),
            voiceMask: at(STATE.voiceMask), channels, voices,
        };
    }

    // Each channel's level (see state()) into out[0 ..], without making objects: for audio threads.
    // Returns the channel count.
    readLevels(out) {
        this.#check(this.#lib.ahx_get_state(this.#handle, this.#record));
        const view = this.#ahx.views.data;
        const channels = Math.min(view.getUint32(this.#record + STATE.channels, true), out.length);
        for (let c = 0; c < channels; c++) {
            out[c] = view.getFloat32(this.#record + STATE.voices + c * VOICE.bytes + VOICE.level, true);
        }
        return channels;
    }

    // Position 0 to info.positions - 1: { tracks, transposes }, one entry per channel.
    position(position) {
        this.#check(this.#lib.ahx_get_position(this.#handle, position >>> 0, this.#record));
        const bytes = this.#ahx.views.bytes;
        const channels = this.#info.channels;
        const tracks = Array.from(bytes.subarray(this.#record + POSITION.track, this.#record + POSITION.track + channels));
        const transposes = Array.from(bytes.subarray(this.#record + POSITION.transpose, this.#record + POSITION.transpose + channels),
            (b) => (b << 24) >> 24);
        return { tracks, transposes };
    }

    // Step `row` of a track: { note, instrument, command1, param1, command2, param2 }.
    step(track, row) {
        this.#check(this.#lib.ahx_get_step(this.#handle, track >>> 0, row >>> 0, this.#record));
        const bytes = this.#ahx.views.bytes;
        const field = (name) => bytes[this.#record + STEP[name]];
        return { note: field('note'), instrument: field('instrument'), command1: field('command1'), param1: field('param1'),
            command2: field('command2'), param2: field('param2') };
    }

    // Frees the player; using it afterwards throws.
    close() {
        if (this.#handle !== 0) this.#lib.ahx_close(this.#handle);
        this.#lib.free(this.#record);
        this.#lib.free(this.#window);
        this.#handle = 0;
        this.#record = 0;
        this.#window = 0;
    }

    #render(frameCount, out, renderInto, kind) {
        if (this.#handle === 0) throw new AhxError(Result.INVALID_ARGUMENT, 'the player is closed');
        if (out.length < frameCount * 2) throw new RangeError(`room for ${out.length / 2} frames, ${frameCount} asked`);
        for (let done = 0; done < frameCount;) {
            const frames = Math.min(RENDER_WINDOW_FRAMES, frameCount - done);
            this.#check(renderInto(this.#handle, this.#window, frames));
            const samples = this.#ahx.views[kind];
            const first = this.#window / samples.BYTES_PER_ELEMENT;
            out.set(samples.subarray(first, first + frames * 2), done * 2);
            done += frames;
        }
        return out;
    }

    #check(result) {
        if (this.#handle === 0) throw new AhxError(Result.INVALID_ARGUMENT, 'the player is closed');
        if (result !== Result.OK) throw new AhxError(result, this.#ahx.resultText(result));
    }

    #readInfo() {
        const pointer = this.#lib.ahx_get_info(this.#handle);
        const view = this.#ahx.views.data;
        const at = (offset) => view.getUint32(pointer + offset, true);
        const info = {
            format: FORMAT_NAMES[at(INFO.format)] ?? 'unknown',
            version: at(INFO.version),
            title: this.#ahx.string(at(INFO.title)),
            channels: at(INFO.channels),
            positions: at(INFO.positions),
            restart: at(INFO.restart),
            trackLength: at(INFO.trackLength),
            tracks: at(INFO.tracks),
            instruments: at(INFO.instruments),
            subsongs: at(INFO.subsongs),
            speedMultiplier: at(INFO.speedMultiplier),
            stereoMode: at(INFO.stereoMode),
            mixGain: at(INFO.mixGain),
            sampleRate: at(INFO.sampleRate),
            ticksPerSecond: at(INFO.ticksPerSecond),
        };
        info.instrumentNames = [];
        for (let i = 1; i <= info.instruments; i++) {
            info.instrumentNames.push(this.#ahx.string(this.#lib.ahx_instrument_name(this.#handle, i)));
        }
        info.songStarts = [];
        for (let song = 0; song <= info.subsongs; song++) {
            this.#check(this.#lib.ahx_get_song_start(this.#handle, song, this.#record));
            info.songStarts.push(this.#ahx.views.data.getUint32(this.#record, true));
        }
        return Object.freeze(info);
    }
}

// Growth needs no notice: Ahx.views notices the new buffer itself.
const IMPORTS = { env: { emscripten_notify_memory_growth() {} } };

// Loads the engine: `source` is a URL (default: ahx.wasm beside this module), a Response, the
// wasm's bytes or a compiled WebAssembly.Module. In node, pass the bytes.
export async function loadAhx(source = new URL('./ahx.wasm', import.meta.url)) {
    let module = source;
    if (!(source instanceof WebAssembly.Module)) {
        let bytes = source;
        if (!(source instanceof ArrayBuffer || ArrayBuffer.isView(source))) {
            const response = source instanceof Response ? source : await fetch(source);
            if (!response.ok) throw new Error(`${response.url}: ${response.status} ${response.statusText}`);
            bytes = await response.arrayBuffer();
        }
        module = await WebAssembly.compile(bytes);
    }
    const instance = await WebAssembly.instantiate(module, IMPORTS);
    const ahx = new Ahx(instance);
    ahx.module = module;
    return ahx;
}

// The same, at once, from a compiled module: for an AudioWorklet, which has no fetch and must not wait.
export function instantiateAhx(module) {
    const ahx = new Ahx(new WebAssembly.Instance(module, IMPORTS));
    ahx.module = module;
    return ahx;
}
