// A 16-bit stereo PCM WAV file around interleaved samples, as the ahx tool writes it.
const HEADER_BYTES = 44;

export function wavFile(samples, sampleRate) {
    const dataBytes = samples.length * 2;
    const bytes = new Uint8Array(HEADER_BYTES + dataBytes);
    const view = new DataView(bytes.buffer);
    const text = (offset, value) => { for (let i = 0; i < value.length; i++) bytes[offset + i] = value.charCodeAt(i); };
    text(0, 'RIFF');
    view.setUint32(4, HEADER_BYTES - 8 + dataBytes, true);
    text(8, 'WAVE');
    text(12, 'fmt ');
    view.setUint32(16, 16, true);             // format chunk size
    view.setUint16(20, 1, true);              // integer PCM
    view.setUint16(22, 2, true);              // channels
    view.setUint32(24, sampleRate, true);
    view.setUint32(28, sampleRate * 4, true); // bytes a second
    view.setUint16(32, 4, true);              // bytes a frame
    view.setUint16(34, 16, true);             // bits a sample
    text(36, 'data');
    view.setUint32(40, dataBytes, true);
    const data = new DataView(bytes.buffer, HEADER_BYTES);
    for (let i = 0; i < samples.length; i++) data.setInt16(i * 2, samples[i], true);
    return bytes;
}
