// The export worker: renders a whole song into a WAV file through the
// module's export code (the command line's own), so its bytes are the
// tool's: 32-bit float as the positional form writes it, 16-bit and
// normalised files as the option form does. Hands it back as a Blob with
// what the tool's summary tells. The page keeps one worker for every export
// and ends it only to cancel one.
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

const libraryReady = fetchLibrary();

function renderWav(library, { bytes, loops, tickMs, sixteenBit, normalizeDbfs }) {
    const gathered = new BlobGatherer();
    let lastReport = 0;
    if (typeof normalizeDbfs === 'number') self.postMessage({ type: 'measuring' });
    const onProgress = (done, total) => {
        if (done - lastReport >= FRAMES_PER_REPORT || done === total) {
            lastReport = done;
            self.postMessage({ type: 'progress', done, total });
        }
        return true;
    };
    const summary = library.exportWav(bytes, { loops, tickMs, sixteenBit, normalizeDbfs },
                                      (piece) => gathered.add(piece), onProgress);
    return { blob: gathered.blob(), summary };
}

self.onmessage = async (event) => {
    try {
        const { blob, summary } = renderWav(await libraryReady, event.data);
        self.postMessage({ type: 'done', blob, summary });
    } catch (error) {
        self.postMessage({ type: 'error', message: describeFailure(error) });
    }
};
