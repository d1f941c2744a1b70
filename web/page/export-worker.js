// The export worker: renders a whole song into a WAV file through the
// module's export code (the command line's own), so its bytes are the
// tool's: 32-bit float as the positional form writes it, 16-bit and
// normalised files as the option form does. Hands it back as a Blob. One
// worker per export; the page ends it to cancel.
import { fetchLibrary, SAMPLE_RATE } from './library.js';
import { describeFailure } from './failure.js';

// Pieces of the file are gathered into a Blob every 64 MiB so the browser
// can move them out of the worker's memory; progress goes to the page about
// once a second of audio.
const BYTES_PER_BLOB = 64 * 1024 * 1024;
const FRAMES_PER_REPORT = SAMPLE_RATE;

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

function renderWav(library, { bytes, loops, tickMs, sixteenBit, normalizeDbfs }) {
    const gathered = new BlobGatherer();
    let frames = 0;
    let lastReport = 0;
    if (typeof normalizeDbfs === 'number') self.postMessage({ type: 'measuring' });
    library.exportWav(bytes, { loops, tickMs, sixteenBit, normalizeDbfs }, (piece) => gathered.add(piece),
                      (done, total) => {
                          frames = done;
                          if (done - lastReport >= FRAMES_PER_REPORT || done === total) {
                              lastReport = done;
                              self.postMessage({ type: 'progress', done, total });
                          }
                          return true;
                      });
    return { blob: gathered.blob(), frames };
}

self.onmessage = async (event) => {
    try {
        const { blob, frames } = renderWav(await fetchLibrary(), event.data);
        self.postMessage({ type: 'done', blob, frames });
    } catch (error) {
        self.postMessage({ type: 'error', message: describeFailure(error) });
    }
};
