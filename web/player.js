// The web player page: opens modules from the file picker or a drop (several make a playlist), plays
// them through the ahx-player AudioWorklet and shows what plays. The main thread keeps its own player
// of the same module for what the displays read (title, songs, pattern data) and for the WAV download;
// the worklet measures the songs and reports their lengths. Steps, clocks, refusals and the download's
// comment are the library's texts, as the ahx tool shows them.
import { Limits, loadAhx, Result } from './ahx.js';
import { createPatternView } from './pattern-view.js';
import { wavFile } from './wav.js';

const DEMO_SONG = 'demo.hvl';
// The rate the ahx tool renders at unless told otherwise.
const WAV_RATE = Limits.DEFAULT_SAMPLE_RATE;
const SHORT_SEEK_SECONDS = 5;
const LONG_SEEK_SECONDS = 30;
const ALL_VOICES = (1 << Limits.MAX_CHANNELS) - 1;
// How long audio may take to start before the page says that it did not.
const AUDIO_START_MS = 1500;
const NO_AUDIO_TEXT = 'No sound: the browser has no audio output to play through (is a sound device or sound ' +
    'server there?). The song plays as soon as there is one.';
// Collections name modules by extension (name.ahx) or by prefix (ahx.name), in any case.
const MODULE_NAME = /^(?:(?:ahx|thx|hvl)\.(.+)|(.+)\.(?:ahx|thx|hvl))$/i;

const $ = (id) => document.getElementById(id);
const ui = {
    file: $('file'), message: $('message'), title: $('title'), details: $('details'), play: $('play'),
    previousSong: $('previous-song'), nextSong: $('next-song'), song: $('song'), loop: $('loop'), stereo: $('stereo'),
    playlistSection: $('playlist-section'), playlist: $('playlist'), previousFile: $('previous-file'), nextFile: $('next-file'),
    download: $('download'), elapsed: $('elapsed'), seek: $('seek'), length: $('length'),
    channels: $('channels'), pattern: $('pattern'), where: $('where'), shortcuts: $('shortcuts'),
};

// What the page knows; `playing`, `frame`, `position` and `row` come from the worklet's reports.
const page = {
    ahx: null, context: null, node: null, module: null, player: null, name: '', songFrames: [],
    song: 0, playing: false, loop: false, voiceMask: ALL_VOICES, frame: 0, position: 0, row: 0,
    seeking: false, meters: [], muteButtons: [], ahxStereoMode: Limits.LISTENING_STEREO_MODE, messageKind: '', audioWatch: 0,
    playlist: [], entry: -1,  // the files opened together, and which of them is open
    maskChanges: [],  // { voiceMask, frame } as the worklet applied them, for the browser tests
};
// For the console and the browser tests.
window.ahxWebPlayer = page;

const patternView = createPatternView(ui.pattern);

// Frames at the audio context's rate as a clock.
function clock(frames) {
    return page.ahx.formatClock(frames, page.context.sampleRate);
}

// The current song's length in seconds; 0 until the worklet has measured it.
function songSeconds() {
    return (page.songFrames[page.song] ?? 0) / page.context.sampleRate;
}

// kind 'audio' marks the message that goes once audio runs.
function showMessage(text, kind = '') {
    ui.message.textContent = text;
    ui.message.hidden = text === '';
    page.messageKind = kind;
}

// The name without its module extension or prefix: 'ahx.cool_tune' and 'cool_tune.ahx' are 'cool_tune'.
function moduleStem(name) {
    const match = MODULE_NAME.exec(name);
    return (match ? match[1] ?? match[2] : name.replace(/\.[^.]*$/, '')) || 'module';
}

function send(message, transfer) {
    page.node.port.postMessage(message, transfer);
}

// Opens bytes as the page's module; on failure says why and keeps what was open.
function openModule(bytes, name, { autoplay }) {
    let player;
    try {
        // At the download's rate: the displays read nothing that depends on it. HVL modules ignore the
        // stereo mode asked for and bring their own.
        player = page.ahx.open(bytes, { sampleRate: WAV_RATE, stereoMode: page.ahxStereoMode });
    } catch (error) {
        // A damaged module gets the library's reason alone; only a file of another kind gets the hint.
        const hint = error.code === Result.NOT_A_MODULE || error.code === Result.TOO_LARGE
            ? ' The player opens AHX (.ahx, .thx) and HivelyTracker (.hvl) modules.' : '';
        showMessage(`Cannot open ${name}: ${error.message}.${hint}`);
        return false;
    }
    showMessage('');
    if (page.player) page.player.close();
    page.player = player;
    page.module = bytes;
    page.name = name;
    page.song = 0;
    page.voiceMask = ALL_VOICES;
    page.maskChanges = [];
    page.frame = 0;
    page.position = player.info.songStarts[0];
    page.row = 0;
    page.songFrames = [];
    showModule();
    sendOpen();
    if (autoplay) play();
    return true;
}

// Opens the page's module in the worklet at the page's song, mask and stereo mode, with the song
// lengths when it has measured them already.
function sendOpen() {
    const copy = page.module.slice(0);
    send({ type: 'open', bytes: copy, song: page.song, stereoMode: page.player.info.stereoMode, voiceMask: page.voiceMask,
        lengths: page.songFrames.length > 0 ? page.songFrames : undefined }, [copy.buffer]);
}

function showModule() {
    const { info } = page.player;
    ui.title.textContent = info.title || page.name;
    document.title = `${info.title || page.name} · ahx web player`;
    const version = info.format === 'HVL' ? `version ${info.version}` : `revision ${info.version}`;
    const songs = info.subsongs > 0 ? `, ${info.subsongs + 1} songs` : '';
    ui.details.textContent = `${page.name} · ${info.format} ${version} · ${info.channels} channels${songs} · ` +
        `${info.positions} positions · replay ${info.ticksPerSecond} Hz`;
    ui.song.replaceChildren(...info.songStarts.map((start, song) =>
        new Option(`Song ${song + 1}`, String(song))));
    ui.song.disabled = info.subsongs === 0;
    ui.stereo.value = String(info.stereoMode);
    ui.stereo.disabled = info.format !== 'AHX';
    ui.play.disabled = false;
    ui.download.disabled = false;
    buildChannels(info.channels);
    showSong();
}

function buildChannels(count) {
    page.meters = [];
    page.muteButtons = [];
    const buttons = [];
    for (let c = 0; c < count; c++) {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'channel';
        button.setAttribute('aria-pressed', 'false');
        button.title = c < 10 ? `Mute channel ${c + 1} (key ${(c + 1) % 10})` : `Mute channel ${c + 1}`;
        button.innerHTML = `<span class="number">${c + 1}</span><span class="meter"><span class="level"></span></span>`;
        button.setAttribute('aria-label', `Mute channel ${c + 1}`);
        button.addEventListener('click', () => toggleChannel(c));
        page.muteButtons.push(button);
        page.meters.push(button.querySelector('.level'));
        buttons.push(button);
    }
    ui.channels.replaceChildren(...buttons);
}

// The lengths the worklet measured, beside the songs' names.
function showLengths(frames) {
    page.songFrames = frames;
    Array.from(ui.song.options).forEach((option, song) => {
        option.textContent = `Song ${song + 1} (${clock(frames[song])})`;
    });
    showSong();
}

function showSong() {
    ui.song.value = String(page.song);
    ui.seek.max = String(songSeconds());
    ui.length.textContent = clock(page.songFrames[page.song] ?? 0);
    ui.previousSong.disabled = page.song === 0;
    ui.nextSong.disabled = page.song >= page.player.info.subsongs;
    showProgress();
}

function showProgress() {
    const seconds = page.frame / page.context.sampleRate;
    ui.elapsed.textContent = clock(page.frame);
    if (!page.seeking) ui.seek.value = String(seconds);
    ui.seek.setAttribute('aria-valuetext', `${ui.elapsed.textContent} of ${ui.length.textContent}`);
    ui.play.classList.toggle('playing', page.playing);
    ui.play.setAttribute('aria-label', page.playing ? 'Pause' : 'Play');
    ui.where.textContent = `position ${page.position}, row ${page.row}`;
    patternView.show(page.player, page.position, page.row);
}

function showLevels(levels) {
    levels.forEach((level, c) => {
        if (page.meters[c]) page.meters[c].style.setProperty('--level', Math.min(1, level).toFixed(3));
    });
}

function play() {
    if (!page.player) return;
    send({ type: 'play' });
    page.playing = true;
    showProgress();
    if (page.context.state === 'running') return;
    // Browsers start audio only after the visitor has done something on the page; without an audio
    // output it never starts, and the promise never settles.
    page.context.resume();
    clearTimeout(page.audioWatch);
    page.audioWatch = setTimeout(() => {
        if (page.context.state !== 'running') showMessage(NO_AUDIO_TEXT, 'audio');
    }, AUDIO_START_MS);
}

function audioStateChanged() {
    if (page.context.state === 'running' && page.messageKind === 'audio') showMessage('');
}

function setStereo() {
    page.ahxStereoMode = Number(ui.stereo.value);
    if (!page.player || page.player.info.format !== 'AHX') return;
    // Both players are made anew for the new mode (it is fixed when a module opens); the worklet's
    // carries on from where it was.
    page.player.close();
    page.player = page.ahx.open(page.module, { sampleRate: WAV_RATE, stereoMode: page.ahxStereoMode });
    sendOpen();
    send({ type: 'seek', frame: page.frame });
    if (page.playing) send({ type: 'play' });
}

function pause() {
    send({ type: 'pause' });
    page.playing = false;
    showProgress();
}

function togglePlay() {
    if (page.playing) pause();
    else play();
}

function seekTo(seconds) {
    if (!page.player) return;
    const clamped = Math.max(0, Math.min(seconds, songSeconds()));
    page.frame = Math.round(clamped * page.context.sampleRate);
    send({ type: 'seek', frame: page.frame });
    showProgress();
}

function selectSong(song) {
    if (!page.player || song < 0 || song > page.player.info.subsongs) return;
    page.song = song;
    page.frame = 0;
    page.row = 0;
    page.position = page.player.info.songStarts[song];
    send({ type: 'song', song });
    showSong();
}

function toggleChannel(channel) {
    if (!page.player || channel >= page.player.info.channels) return;
    page.voiceMask ^= 1 << channel;
    const muted = (page.voiceMask & (1 << channel)) === 0;
    const button = page.muteButtons[channel];
    button.setAttribute('aria-pressed', String(muted));
    button.setAttribute('aria-label', `${muted ? 'Unmute' : 'Mute'} channel ${channel + 1}`);
    send({ type: 'mask', voiceMask: page.voiceMask });
}

async function download() {
    if (!page.player) return;
    ui.download.disabled = true;
    ui.download.textContent = 'Rendering…';
    // Let the button show its new text before the render holds the thread for a moment.
    await new Promise((resolve) => setTimeout(resolve, 0));
    // The page's own player renders: the displays read only what the module holds, not where it plays.
    const renderer = page.player;
    try {
        renderer.selectSong(page.song);
        renderer.voiceMask = page.voiceMask;
        const samples = renderer.renderInt16(renderer.songLength().frames);
        // The tags and the name the ahx tool gives a render of one song of all.
        const { info } = renderer;
        const tags = { title: info.title, software: `ahx ${page.ahx.version}`, comment: renderer.describeSong(page.song) };
        const url = URL.createObjectURL(new Blob([wavFile(samples, WAV_RATE, tags)], { type: 'audio/wav' }));
        const link = document.createElement('a');
        link.href = url;
        link.download = `${moduleStem(page.name)}${info.subsongs > 0 ? `-song${page.song + 1}` : ''}.wav`;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(url), 60000);
    } finally {
        ui.download.disabled = false;
        ui.download.textContent = 'Download WAV';
    }
}

// Several files make a playlist of those named as modules; files of any name are tried when none is.
function openFiles(fileList) {
    const files = Array.from(fileList);
    if (files.length === 0) return Promise.resolve();
    const named = files.filter((file) => MODULE_NAME.test(file.name));
    page.playlist = named.length > 0 ? named : files;
    ui.playlist.replaceChildren(...page.playlist.map((file, entry) => {
        const item = document.createElement('li');
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = file.name;
        button.addEventListener('click', () => openEntry(entry));
        item.appendChild(button);
        return item;
    }));
    ui.playlistSection.hidden = page.playlist.length < 2;
    return openEntry(0);
}

async function openEntry(entry) {
    if (entry < 0 || entry >= page.playlist.length) return;
    page.entry = entry;
    const file = page.playlist[entry];
    Array.from(ui.playlist.children).forEach((item, i) => {
        if (i === entry) item.setAttribute('aria-current', 'true');
        else item.removeAttribute('aria-current');
    });
    ui.previousFile.disabled = entry === 0;
    ui.nextFile.disabled = entry === page.playlist.length - 1;
    openModule(new Uint8Array(await file.arrayBuffer()), file.name, { autoplay: true });
}

function receive({ data }) {
    switch (data.type) {
        case 'state':
            page.playing = data.playing;
            page.frame = data.frame;
            page.position = data.position;
            page.row = data.row;
            showProgress();
            showLevels(data.levels);
            break;
        case 'opened':
            showLengths(data.lengths);
            break;
        case 'mask':
            page.maskChanges.push({ voiceMask: data.voiceMask, frame: data.frame });
            break;
        case 'ended':
            page.playing = false;
            showProgress();
            openEntry(page.entry + 1);
            break;
        case 'error':
            showMessage(`The player stopped: ${data.message}`);
            break;
    }
}

// The page's keys work whatever has focus: the page has no text to type into, and a clicked button
// keeps the focus. Enter still presses a focused control.
function onKey(event) {
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const here = page.frame / (page.context?.sampleRate ?? WAV_RATE);
    const actions = {
        ' ': () => togglePlay(),
        ArrowLeft: () => seekTo(here - SHORT_SEEK_SECONDS),
        ArrowRight: () => seekTo(here + SHORT_SEEK_SECONDS),
        ArrowDown: () => seekTo(here - LONG_SEEK_SECONDS),
        ArrowUp: () => seekTo(here + LONG_SEEK_SECONDS),
        '<': () => selectSong(page.song - 1),
        '>': () => selectSong(page.song + 1),
        p: () => openEntry(page.entry - 1),
        n: () => openEntry(page.entry + 1),
        l: () => { ui.loop.checked = !ui.loop.checked; setLoop(); },
        '?': () => { ui.shortcuts.open = !ui.shortcuts.open; },
        h: () => { ui.shortcuts.open = !ui.shortcuts.open; },
    };
    let action = actions[event.key];
    // By the key's place, so that Shift with 1 to 6 means channels 11 to 16 on any layout.
    const digit = /^(?:Digit|Numpad)([0-9])$/.exec(event.code);
    if (digit) action = () => toggleChannel((Number(digit[1]) + 9) % 10 + (event.shiftKey ? 10 : 0));
    if (!action) return;
    event.preventDefault();
    action();
}

function setLoop() {
    page.loop = ui.loop.checked;
    send({ type: 'loop', loop: page.loop });
}

function wireControls() {
    ui.file.addEventListener('change', () => openFiles(ui.file.files).finally(() => { ui.file.value = ''; }));
    ui.play.addEventListener('click', togglePlay);
    ui.previousSong.addEventListener('click', () => selectSong(page.song - 1));
    ui.nextSong.addEventListener('click', () => selectSong(page.song + 1));
    ui.song.addEventListener('change', () => selectSong(Number(ui.song.value)));
    ui.loop.addEventListener('change', setLoop);
    ui.stereo.addEventListener('change', setStereo);
    ui.previousFile.addEventListener('click', () => openEntry(page.entry - 1));
    ui.nextFile.addEventListener('click', () => openEntry(page.entry + 1));
    page.context.addEventListener('statechange', audioStateChanged);
    ui.download.addEventListener('click', download);
    ui.seek.addEventListener('input', () => { page.seeking = true; ui.elapsed.textContent = clock(Number(ui.seek.value) * page.context.sampleRate); });
    ui.seek.addEventListener('change', () => { page.seeking = false; seekTo(Number(ui.seek.value)); });
    document.addEventListener('keydown', onKey);
    // A file dropped anywhere on the page opens; the page shows where it may go while dragging.
    let dragDepth = 0;
    document.addEventListener('dragenter', (event) => { event.preventDefault(); dragDepth++; document.body.classList.add('dropping'); });
    document.addEventListener('dragleave', () => { if (--dragDepth <= 0) { dragDepth = 0; document.body.classList.remove('dropping'); } });
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        dragDepth = 0;
        document.body.classList.remove('dropping');
        openFiles(event.dataTransfer.files);
    });
}

async function start() {
    ui.play.disabled = true;
    ui.download.disabled = true;
    ui.song.disabled = true;
    try {
        page.ahx = await loadAhx();
        page.context = new AudioContext({ latencyHint: 'interactive' });
        await page.context.audioWorklet.addModule('ahx-worklet.js');
        page.node = new AudioWorkletNode(page.context, 'ahx-player', {
            numberOfInputs: 0, numberOfOutputs: 1, outputChannelCount: [2],
            processorOptions: { wasm: page.ahx.module },
        });
        page.node.port.onmessage = receive;
        page.node.connect(page.context.destination);
    } catch (error) {
        ui.title.textContent = 'The player could not start';
        // Audio worklets exist only on https:// pages and on this machine's own addresses.
        const reason = window.isSecureContext ? error.message : 'the page must come from https:// or from localhost';
        showMessage(`This browser cannot run the player: ${reason}.`);
        return;
    }
    wireControls();
    const response = await fetch(DEMO_SONG).catch(() => null);
    if (response?.ok) {
        openModule(new Uint8Array(await response.arrayBuffer()), DEMO_SONG, { autoplay: false });
    } else {
        ui.title.textContent = 'No module open';
    }
}

start();
