// The export worker: renders a whole song into a 32-bit float WAV file,
// the same bytes the command line writes, and hands it back as a Blob.
// One worker per export; the page ends it to cancel.
import { fetchLibrary, Renderer, STATUS_TOO_LONG } from './library.js';
import { WAV_MAX_FRAMES } from './constants.js';
import { describeFailure } from './failure.js';
import { wavHeader } from './wav.js';

// A second of audio per render call; parts are gathered into a Blob every
// 64 MiB so the browser can move them out of the worker's memory.
const BLOCK_FRAMES = 48000;
const BYTES_PER_BLOB = 64 * 1024 * 1024;

function renderWav(library, { bytes, loops, tickMs }) {
    const song = library.openSong(bytes);
    const renderer = new Renderer(song, { loops, tickMs });
    song.free();
    try {
        const total = renderer.length(WAV_MAX_FRAMES);
        self.postMessage({ type: 'progress', done: 0, total });
        const blobs = [];
        let parts = [wavHeader(total)];
        let partBytes = 0;
        let done = 0;
        for (;;) {
            const block = renderer.renderBytes(BLOCK_FRAMES);
            parts.push(block);
            partBytes += block.length;
            done += block.length / 8;
            if (partBytes >= BYTES_PER_BLOB) {
                blobs.push(new Blob(parts));
                parts = [];
                partBytes = 0;
            }
            self.postMessage({ type: 'progress', done, total });
            if (block.length < 8 * BLOCK_FRAMES) break;
        }
        if (done !== total) throw new Error(`the render gave ${done} frames where ${total} were expected`);
        blobs.push(new Blob(parts));
        return { blob: new Blob(blobs, { type: 'audio/wav' }), frames: done };
    } finally {
        renderer.free();
    }
}

function describe(error) {
    return error && error.status === STATUS_TOO_LONG ? 'too long' : describeFailure(error);
}

self.onmessage = async (event) => {
    try {
        const library = await fetchLibrary();
        const { blob, frames } = renderWav(library, event.data);
        self.postMessage({ type: 'done', blob, frames });
    } catch (error) {
        self.postMessage({ type: 'error', message: describe(error), status: error?.status ?? null });
    }
};
