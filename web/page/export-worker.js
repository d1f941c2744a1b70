// The export worker: renders a whole song into files of any format the tool
// writes through the module's export code (the command line's own), so its
// bytes are the tool's for the same options. WAV files need only the small
// module; the codecs' module is fetched the first time a save needs it and
// kept. Hands back each file as a Blob with what the tool's summary tells.
// The page keeps one worker for every export and ends it only to cancel one.
import { CODECS_MODULE, PLAYER_MODULE, SAMPLE_RATE, fetchLibrary } from './library.js';
import { describeFailure } from './failure.js';

// Pieces of a file are gathered into a Blob every 64 MiB so the browser can
// move them out of the worker's memory; progress goes to the page about
// once a second of audio.
const BYTES_PER_BLOB = 64 * 1024 * 1024;
const FRAMES_PER_REPORT = SAMPLE_RATE;

// The type each file's extension stands for.
const MEDIA_TYPES = { wav: 'audio/wav', flac: 'audio/flac', ogg: 'audio/ogg', opus: 'audio/ogg', mp3: 'audio/mpeg' };

class BlobGatherer {
    constructor(type) {
        this.type = type;
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
        return new Blob(this.blobs, { type: this.type });
    }
}

const libraries = new Map();

function library(name) {
    if (!libraries.has(name)) {
        const loading = fetchLibrary(name);
        // A failed fetch is tried again by the next save.
        loading.catch(() => libraries.delete(name));
        libraries.set(name, loading);
    }
    return libraries.get(name);
}

// The small module when it can write the file, else the codecs' module.
async function libraryFor(settings) {
    const small = await library(PLAYER_MODULE);
    const levelMode = settings.level ? settings.level.mode : 'none';
    if (small.canExport(settings.format, levelMode)) return small;
    if (!libraries.has(CODECS_MODULE)) self.postMessage({ type: 'loading-codecs' });
    try {
        return await library(CODECS_MODULE);
    } catch (error) {
        const what = small.canExport(settings.format) ? `loudness in ${settings.format}` : settings.format;
        throw new Error(`${what} needs the codecs, which could not be fetched (${describeFailure(error)})`);
    }
}

function render(tamsel, { bytes, songName, settings }) {
    const files = [];
    let gathered = null;
    let lastReport = 0;
    const levelMode = settings.level ? settings.level.mode : 'none';
    if (levelMode === 'normalize' || levelMode === 'loudness') self.postMessage({ type: 'measuring' });
    const onFile = (file) => {
        if (gathered) files[files.length - 1].blob = gathered.blob();
        const extension = file.name.slice(file.name.lastIndexOf('.') + 1);
        gathered = new BlobGatherer(MEDIA_TYPES[extension] || 'application/octet-stream');
        files.push({ name: file.name, base: file.base });
        self.postMessage({ type: 'file', ...file });
    };
    const onProgress = (done, total) => {
        if (done - lastReport >= FRAMES_PER_REPORT || done === total) {
            lastReport = done;
            self.postMessage({ type: 'progress', done, total });
        }
        return true;
    };
    const summaries = tamsel.exportAudio(bytes, songName, settings,
                                         { onFile, onBytes: (piece) => gathered.add(piece), onProgress });
    if (gathered) files[files.length - 1].blob = gathered.blob();
    for (const summary of summaries) files[summary.index].summary = summary;
    return files;
}

self.onmessage = async (event) => {
    try {
        const files = render(await libraryFor(event.data.settings), event.data);
        self.postMessage({ type: 'done', files });
    } catch (error) {
        self.postMessage({ type: 'error', message: describeFailure(error) });
    }
};
