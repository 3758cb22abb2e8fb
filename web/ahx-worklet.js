// The audio-thread half of the web player: an AudioWorkletProcessor that plays one module at the
// context's own rate (so nothing is resampled and the samples are the library's), driven by messages
// from its node's port and reporting where it is for the displays.
//
//   new AudioWorkletNode(context, 'ahx-player', { outputChannelCount: [2],
//                                                   processorOptions: { wasm: compiledModule } })
//
// Messages in:  { type: 'open', bytes, song, stereoMode, voiceMask, lengths }   (lengths: what 'opened'
//               reported for the same module, when the page has it; else each song is measured)
//               { type: 'play' }   { type: 'pause' }   { type: 'seek', frame }   { type: 'song', song }
//               { type: 'mask', voiceMask }   { type: 'loop', loop }   (loop off: playback stops at
//               the song's end)
// Messages out: { type: 'opened', lengths }   (every song's frames once through, main song first)
//               { type: 'error', message }   { type: 'ended' }
//               { type: 'state', playing, loop, song, position, row, tick, tempo, frame, voiceMask,
//                 levels }   (about 30 a second while playing, and after every message)
//               { type: 'mask', voiceMask, frame }   (the frame from which a new mask is heard)
import { instantiateAhx, Limits } from './ahx.js';

const STATES_PER_SECOND = 30;

class AhxPlayerProcessor extends AudioWorkletProcessor {
    constructor(options) {
        super();
        this.ahx = instantiateAhx(options.processorOptions.wasm);
        this.player = null;
        this.playing = false;
        this.loop = false;
        this.songLengths = [];  // frames of each song once through, measured once when opened
        this.songFrames = 0;
        this.frame = 0;  // of the current song; kept here so that a block asks the player nothing
        this.framesPerState = Math.round(sampleRate / STATES_PER_SECOND);
        this.framesSinceState = 0;
        this.block = new Float32Array(0);
        this.levels = new Float32Array(Limits.MAX_CHANNELS);
        this.peaks = new Float32Array(Limits.MAX_CHANNELS);
        this.port.onmessage = (event) => this.receive(event.data);
    }

    receive(message) {
        // Peaks heard before a jump do not belong to what plays after it.
        if (message.type === 'open' || message.type === 'seek' || message.type === 'song') this.peaks.fill(0);
        try {
            this.apply(message);
        } catch (error) {
            this.port.postMessage({ type: 'error', message: error.message });
        }
        this.postState();
    }

    apply(message) {
        if (message.type === 'open') {
            this.open(message);
            return;
        }
        if (message.type === 'loop') this.loop = Boolean(message.loop);
        if (this.player === null) return;  // nothing else means anything before a module is open
        switch (message.type) {
            case 'play':
                this.playing = true;
                break;
            case 'pause':
                this.playing = false;
                break;
            case 'seek':
                this.frame = Math.min(Math.max(0, Math.floor(message.frame)), this.songFrames);
                this.player.seek(this.frame);
                break;
            case 'song':
                this.player.selectSong(message.song);
                this.songFrames = this.songLengths[message.song];
                this.frame = 0;
                break;
            case 'mask':
                this.player.voiceMask = message.voiceMask;
                this.port.postMessage({ type: 'mask', voiceMask: this.player.voiceMask, frame: this.frame });
                break;
        }
    }

    open({ bytes, song = 0, stereoMode = 0, voiceMask = (1 << Limits.MAX_CHANNELS) - 1, lengths }) {
        const player = this.ahx.open(bytes, { sampleRate, stereoMode });
        if (this.player !== null) this.player.close();
        this.player = player;
        this.playing = false;
        player.metering = true;
        player.voiceMask = voiceMask;
        player.selectSong(song);
        this.songLengths = lengths ?? player.songLengths().map((length) => length.frames);
        this.songFrames = this.songLengths[song];
        this.frame = 0;
        this.port.postMessage({ type: 'opened', lengths: this.songLengths });
    }

    process(inputs, outputs) {
        const [left, right] = outputs[0];
        if (this.player === null || !this.playing) return true;
        let frames = left.length;
        if (!this.loop) frames = Math.min(frames, this.songFrames - this.frame);
        if (frames > 0) {
            if (this.block.length < frames * 2) this.block = new Float32Array(frames * 2);
            this.player.renderFloat32(frames, this.block);
            for (let i = 0; i < frames; i++) {
                left[i] = this.block[2 * i];
                right[i] = this.block[2 * i + 1];
            }
            this.frame += frames;
            this.notePeaks();
        }
        if (frames < left.length) {
            // The end of the song, when not looping: stop there and go back to its start.
            this.playing = false;
            this.player.seek(0);
            this.frame = 0;
            this.port.postMessage({ type: 'ended' });
            this.postState();
            return true;
        }
        this.framesSinceState += frames;
        if (this.framesSinceState >= this.framesPerState) this.postState();
        return true;
    }

    // The meters show the loudest block since the last report, not just the last 128 frames.
    notePeaks() {
        const channels = this.player.readLevels(this.levels);
        for (let c = 0; c < channels; c++) this.peaks[c] = Math.max(this.peaks[c], this.levels[c]);
    }

    postState() {
        this.framesSinceState = 0;
        if (this.player === null) return;
        const state = this.player.state();
        const levels = Array.from(this.peaks.subarray(0, state.channels));
        this.peaks.fill(0);
        this.port.postMessage({ type: 'state', playing: this.playing, loop: this.loop, song: state.song,
            position: state.position, row: state.row, tick: state.tick, tempo: state.tempo, frame: state.frame,
            voiceMask: state.voiceMask, levels });
    }
}

registerProcessor('ahx-player', AhxPlayerProcessor);
