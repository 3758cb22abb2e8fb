// Test-only: records every stereo block that reaches it, as the 16-bit samples they were made from,
// until asked for them ({ type: 'take' } answers { samples: Int16Array }; { type: 'reset' } empties).
class CaptureProcessor extends AudioWorkletProcessor {
    constructor(options) {
        super();
        this.samples = new Int16Array(options.processorOptions.frames * 2);
        this.count = 0;
        this.port.onmessage = ({ data }) => {
            if (data.type === 'reset') this.count = 0;
            if (data.type === 'take') this.port.postMessage({ samples: this.samples.slice(0, this.count) });
        };
    }

    process(inputs) {
        const [left, right] = inputs[0];
        if (!left) return true;  // nothing connected yet
        for (let i = 0; i < left.length && this.count < this.samples.length; i++) {
            this.samples[this.count++] = Math.round(left[i] * 32768);
            this.samples[this.count++] = Math.round(right[i] * 32768);
        }
        return true;
    }
}

registerProcessor('capture', CaptureProcessor);
