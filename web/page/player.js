// The page's side of playback: calls into the player's worker, and the
// audio graph (one AudioWorklet node) that plays what the worker renders.
// The audio context is made on the first play, from a click or a key, as
// browsers ask.
import { SAMPLE_RATE } from './constants.js';

export class Player {
    // onProgress({ position, playing, peakLeft, peakRight, outline, state, ... })
    // and onEnded(position) are called with the worklet's reports (state: the
    // record, pass and notes playing, or null); onFailure(message) when the
    // worker itself fails.
    constructor({ onProgress, onEnded, onFailure }) {
        this.onProgress = onProgress;
        this.onEnded = onEnded;
        this.onFailure = onFailure;
        this.worker = new Worker(new URL('./player-worker.js', import.meta.url), { type: 'module' });
        this.worker.onmessage = (event) => this.onWorkerMessage(event.data);
        this.worker.onerror = (event) => this.failAll(event.message || 'the player could not start');
        this.pending = new Map();
        this.nextId = 1;
        this.context = null;
        this.node = null;
        this.playing = false;
        this.connecting = null;
        this.gain = null;
        this.volume = 1;
    }

    call(type, payload = {}, transfer = []) {
        const id = this.nextId++;
        return new Promise((resolve, reject) => {
            this.pending.set(id, { resolve, reject });
            this.worker.postMessage({ id, type, payload }, transfer);
        });
    }

    onWorkerMessage(message) {
        if (message.type === 'failure') {
            this.onFailure(message.message);
            return;
        }
        const waiting = this.pending.get(message.id);
        if (!waiting) return;
        this.pending.delete(message.id);
        if (message.error) {
            const error = new Error(message.error.message);
            error.status = message.error.status;
            waiting.reject(error);
        } else {
            waiting.resolve(message.result);
        }
    }

    failAll(text) {
        for (const waiting of this.pending.values()) waiting.reject(new Error(text));
        this.pending.clear();
        this.onFailure(text);
    }

    // { info, shapes, tracksWithNotes } of a song file's bytes (an ArrayBuffer,
    // transferred). When they are no song, the song open before stays, and
    // plays on if it played.
    open(bytes) {
        return this.call('open', { bytes }, [bytes]);
    }

    // { frames, wraps, wrapCount, endless } or { tooLong: true }. With repeat
    // the song plays on for ever, and frames and wraps are those of one loop.
    configure(loops, tickMs, repeat) {
        return this.call('configure', { loops, tickMs, repeat });
    }

    // Resolves with { frame, generation, state }: the frame the renderer
    // went to, the generation of the worklet's reports from there on, and
    // the play state there.
    seek(frame) {
        return this.call('seek', { frame });
    }

    setMutedTracks(mask) {
        return this.call('mute', { mask });
    }

    // Percent, 0..200, from the frames rendered next.
    setStereoWidth(percent) {
        return this.call('width', { percent });
    }

    // One audio graph for the page's life, however often play is pressed.
    connectAudio() {
        if (!this.connecting) this.connecting = this.createAudio();
        return this.connecting;
    }

    async createAudio() {
        const context = new AudioContext({ sampleRate: SAMPLE_RATE, latencyHint: 'playback' });
        await context.audioWorklet.addModule(new URL('./output-worklet.js', import.meta.url));
        const node = new AudioWorkletNode(context, 'tamsel-output', { numberOfInputs: 0, outputChannelCount: [2] });
        // The volume is the one stage after the worklet: changing it keeps
        // every frame queued, so the song plays on where it was.
        const gain = new GainNode(context, { gain: this.volume });
        node.connect(gain).connect(context.destination);
        this.gain = gain;
        node.port.onmessage = (event) => this.onWorkletMessage(event.data);
        const channel = new MessageChannel();
        node.port.postMessage({ type: 'feed', port: channel.port2 }, [channel.port2]);
        await this.call('connect', { port: channel.port1 }, [channel.port1]);
        this.context = context;
        this.node = node;
    }

    onWorkletMessage(message) {
        if (message.type === 'progress') {
            this.onProgress(message);
        } else if (message.type === 'ended') {
            this.playing = false;
            this.onEnded(message.position);
        }
    }

    // A factor for the output, 0 to 1; eased in over a few milliseconds so a
    // change makes no click.
    setVolume(volume) {
        this.volume = volume;
        if (this.gain) this.gain.gain.setTargetAtTime(volume, this.gain.context.currentTime, 0.01);
    }

    async play() {
        await this.connectAudio();
        await this.context.resume();
        this.node.port.postMessage({ type: 'play' });
        this.playing = true;
    }

    pause() {
        if (!this.node) return;
        this.node.port.postMessage({ type: 'pause' });
        this.playing = false;
    }
}
