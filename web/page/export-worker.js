// The export worker: renders a whole song into a WAV file, the same bytes
// the command line writes, and hands it back as a Blob: 32-bit float as the
// positional form writes it, or 16-bit and normalised files through the
// option form's own audio code. One worker per export; the page ends it to
// cancel.
import { fetchLibrary, Renderer, STATUS_TOO_LONG } from './library.js';
import { WAV_MAX_FRAMES } from './constants.js';
import { describeFailure } from './failure.js';
import { wavHeader } from './wav.js';

// A second of audio per render call; parts are gathered into a Blob every
// 64 MiB so the browser can move them out of the worker's memory.
const BLOCK_FRAMES = 48000;
const BYTES_PER_BLOB = 64 * 1024 * 1024;

// Pieces of a file gathered into a Blob every 64 MiB.
class BlobGatherer {
    constructor() {
        this.blobs = [];
        this.parts = [];
        this.partBytes = 0;
    }

    add(piece) {
        this.parts.push(piece);
        this.partBytes += piece.length;
        if (this.partBytes < BYTES_PER_BLOB) return;
        this.blobs.push(new Blob(this.parts));
        this.parts = [];
        this.partBytes = 0;
    }

    blob() {
        this.blobs.push(new Blob(this.parts));
        return new Blob(this.blobs, { type: 'audio/wav' });
    }
}

function renderWav(library, { bytes, loops, tickMs }) {
    const song = library.openSong(bytes);
    const renderer = new Renderer(song, { loops, tickMs });
    song.free();
    try {
        const total = renderer.length(WAV_MAX_FRAMES);
        self.postMessage({ type: 'progress', done: 0, total });
        const gathered = new BlobGatherer();
        gathered.add(wavHeader(total));
        let done = 0;
        for (;;) {
            const block = renderer.renderBytes(BLOCK_FRAMES);
            gathered.add(block);
            done += block.length / 8;
            self.postMessage({ type: 'progress', done, total });
            if (block.length < 8 * BLOCK_FRAMES) break;
        }
        if (done !== total) throw new Error(`the render gave ${done} frames where ${total} were expected`);
        return { blob: gathered.blob(), frames: done };
    } finally {
        renderer.free();
    }
}

// A 16-bit or normalised file (as -f wav16 and --normalize=DBFS give it).
function renderLeveledWav(library, { bytes, loops, tickMs, sixteenBit, normalizeDbfs }) {
    const gathered = new BlobGatherer();
    let frames = 0;
    let lastReport = 0;
    if (typeof normalizeDbfs === 'number') self.postMessage({ type: 'measuring' });
    library.exportWav(bytes, { loops, tickMs, sixteenBit, normalizeDbfs }, (piece) => gathered.add(piece),
                      (done, total) => {
                          frames = done;
                          if (done - lastReport >= 48000 || done === total) {
                              lastReport = done;
                              self.postMessage({ type: 'progress', done, total });
                          }
                          return true;
                      });
    return { blob: gathered.blob(), frames };
}

function describe(error) {
    return error && error.status === STATUS_TOO_LONG ? 'too long' : describeFailure(error);
}

self.onmessage = async (event) => {
    try {
        const library = await fetchLibrary();
        const leveled = event.data.sixteenBit || typeof event.data.normalizeDbfs === 'number';
        const { blob, frames } = leveled ? renderLeveledWav(library, event.data) : renderWav(library, event.data);
        self.postMessage({ type: 'done', blob, frames });
    } catch (error) {
        self.postMessage({ type: 'error', message: describe(error), status: error?.status ?? null });
    }
};
