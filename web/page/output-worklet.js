// The audio worklet: plays frames the player's worker renders. It keeps
// about a fifth of a second queued, asking the worker for more over its
// feed port as it plays, and reports its position, levels, a min/max
// outline of what it played and the play state (record, pass, notes) of
// the frame it stands at to the page a few dozen times a second while it
// plays. It also
// counts the frames it delivered and how many of them were not silent,
// which the browser test reads.
const TARGET_FRAMES = 9600;
const REQUEST_FRAMES = 2400;
const REPORT_QUANTA = 8;

class TamselOutput extends AudioWorkletProcessor {
    constructor() {
        super();
        this.feed = null;
        this.queue = [];
        this.offset = 0;       // frames of queue[0] already played
        this.buffered = 0;
        this.requested = 0;
        this.states = [];      // the worker's play states ahead, in frame order
        this.generation = -1;
        this.position = 0;
        this.ended = true;
        this.endReported = true;
        this.playing = false;
        this.framesPlayed = 0;
        this.nonSilentFrames = 0;
        this.sidedFrames = 0;     // frames whose left and right differ
        this.underrunFrames = 0;
        this.quanta = 0;
        this.resetLevels();
        this.port.onmessage = (event) => this.onControl(event.data);
    }

    resetLevels() {
        this.peakLeft = 0;
        this.peakRight = 0;
        this.outline = [];
    }

    onControl(message) {
        if (message.type === 'feed') {
            this.feed = message.port;
            this.feed.onmessage = (event) => this.onFeed(event.data);
        } else if (message.type === 'play') {
            this.playing = true;
        } else if (message.type === 'pause') {
            this.playing = false;
            this.report();
        }
    }

    onFeed(message) {
        if (message.type === 'reset') {
            this.generation = message.generation;
            this.queue = [];
            this.offset = 0;
            this.buffered = 0;
            this.requested = 0;
            this.position = message.frame;
            this.states = message.state ? [message.state] : [];
            this.ended = message.ended;
            this.endReported = message.ended;
            this.request();
            this.report();
            return;
        }
        if (message.generation !== this.generation) return;
        this.requested -= message.asked;
        const frames = message.data.length / 2;
        if (frames > 0) {
            this.queue.push(message.data);
            this.buffered += frames;
        }
        this.states.push(...message.states);
        if (message.ended) this.ended = true;
        this.request();
    }

    request() {
        if (!this.feed) return;
        while (!this.ended && this.buffered + this.requested < TARGET_FRAMES) {
            this.feed.postMessage({ type: 'need', generation: this.generation, frames: REQUEST_FRAMES });
            this.requested += REQUEST_FRAMES;
        }
    }

    process(inputs, outputs) {
        const left = outputs[0][0];
        const right = outputs[0][1] || left;
        const frames = left.length;
        let i = 0;
        let low = 0;
        let high = 0;
        while (this.playing && i < frames && this.queue.length > 0) {
            const data = this.queue[0];
            const l = data[2 * this.offset];
            const r = data[2 * this.offset + 1];
            left[i] = l;
            right[i] = r;
            if (l !== 0 || r !== 0) this.nonSilentFrames++;
            if (l !== r) this.sidedFrames++;
            this.peakLeft = Math.max(this.peakLeft, Math.abs(l));
            this.peakRight = Math.max(this.peakRight, Math.abs(r));
            const mid = (l + r) / 2;
            low = Math.min(low, mid);
            high = Math.max(high, mid);
            this.offset++;
            if (2 * this.offset >= data.length) {
                this.queue.shift();
                this.offset = 0;
            }
            i++;
        }
        const played = i;
        for (; i < frames; i++) {
            left[i] = 0;
            right[i] = 0;
        }
        if (this.playing) {
            this.position += played;
            this.framesPlayed += played;
            this.buffered -= played;
            this.outline.push(low, high);
            if (played < frames) this.noteShortfall(frames - played);
            this.request();
        }
        // Paused, nothing changes: no reports, so the page has nothing to redraw.
        if (this.playing && ++this.quanta % REPORT_QUANTA === 0) this.report();
        return true;
    }

    // Out of frames: the end of the song, or the worker fell behind.
    noteShortfall(frames) {
        if (!this.ended) {
            this.underrunFrames += frames;
            return;
        }
        if (this.queue.length > 0 || this.endReported) return;
        this.endReported = true;
        this.playing = false;
        this.report();
        this.port.postMessage({ type: 'ended', position: this.position });
    }

    // The latest state the worker gave for a frame at or before the
    // position: what is playing now.
    currentState() {
        while (this.states.length > 1 && this.states[1].frame <= this.position) this.states.shift();
        const state = this.states[0];
        return state && state.frame <= this.position ? state : null;
    }

    report() {
        this.port.postMessage({
            state: this.currentState(),
            type: 'progress',
            generation: this.generation,
            position: this.position,
            playing: this.playing,
            peakLeft: this.peakLeft,
            peakRight: this.peakRight,
            outline: this.outline,
            framesPlayed: this.framesPlayed,
            nonSilentFrames: this.nonSilentFrames,
            sidedFrames: this.sidedFrames,
            underrunFrames: this.underrunFrames,
        });
        this.resetLevels();
    }
}

registerProcessor('tamsel-output', TamselOutput);
