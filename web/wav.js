// A 16-bit stereo PCM WAV file around interleaved samples, as the ahx tool writes it: the format, then
// the tags as a LIST INFO chunk (INAM title, ISFT software, ICMT comment; UTF-8, each zero-terminated
// and padded to an even size), then the samples.
const TAG_IDS = { title: 'INAM', software: 'ISFT', comment: 'ICMT' };

export function wavFile(samples, sampleRate, tags = {}) {
    const encoder = new TextEncoder();
    const entries = Object.entries(TAG_IDS).filter(([key]) => tags[key])
        .map(([key, id]) => ({ id, text: encoder.encode(tags[key]) }));
    const entrySize = (text) => (text.length + 2) & ~1;
    const listBytes = entries.length === 0 ? 0 : 12 + entries.reduce((sum, { text }) => sum + 8 + entrySize(text), 0);
    const dataBytes = samples.length * 2;
    const dataAt = 36 + listBytes;
    const bytes = new Uint8Array(dataAt + 8 + dataBytes);
    const view = new DataView(bytes.buffer);
    const text = (offset, value) => { for (let i = 0; i < value.length; i++) bytes[offset + i] = value.charCodeAt(i); };
    text(0, 'RIFF');
    view.setUint32(4, bytes.length - 8, true);
    text(8, 'WAVE');
    text(12, 'fmt ');
    view.setUint32(16, 16, true);             // format chunk size
    view.setUint16(20, 1, true);              // integer PCM
    view.setUint16(22, 2, true);              // channels
    view.setUint32(24, sampleRate, true);
    view.setUint32(28, sampleRate * 4, true); // bytes a second
    view.setUint16(32, 4, true);              // bytes a frame
    view.setUint16(34, 16, true);             // bits a sample
    if (listBytes > 0) {
        text(36, 'LIST');
        view.setUint32(40, listBytes - 8, true);
        text(44, 'INFO');
        let at = 48;
        for (const entry of entries) {
            text(at, entry.id);
            view.setUint32(at + 4, entrySize(entry.text), true);
            bytes.set(entry.text, at + 8);
            at += 8 + entrySize(entry.text);
        }
    }
    text(dataAt, 'data');
    view.setUint32(dataAt + 4, dataBytes, true);
    const data = new DataView(bytes.buffer, dataAt + 8);
    for (let i = 0; i < samples.length; i++) data.setInt16(i * 2, samples[i], true);
    return bytes;
}
