// The player's worker: holds the open song and the renderer that plays it,
// off the page's thread. The page calls it (open, configure, seek, mute,
// connect) and gets one reply per call; the audio worklet asks it for
// frames over a MessagePort of its own and gets them in order.
//
// Every seek or new renderer starts a new generation: the worklet drops
// what it holds and asks again, and requests of an older generation are
// answered with nothing.
import { fetchLibrary, Renderer, STATUS_TOO_LONG } from './library.js';
import { WAV_MAX_FRAMES } from './constants.js';
import { describeFailure } from './failure.js';

const libraryReady = fetchLibrary();
let library = null;
let song = null;
let renderer = null;
let mutedTracks = 0;
let generation = 0;
let feed = null;

function freeRenderer() {
    if (renderer) renderer.free();
    renderer = null;
}

function freeSong() {
    freeRenderer();
    if (song) song.free();
    song = null;
}

// Tells the worklet to drop its frames and go on from the renderer's position.
function restartFeed() {
    generation++;
    if (!feed) return;
    const frame = renderer ? renderer.position() : 0;
    feed.postMessage({ type: 'reset', generation, frame, ended: renderer === null });
}

function openSong({ bytes }) {
    freeSong();
    restartFeed();
    song = library.openSong(bytes);
    const shapes = [0, 1, 2].map((i) => song.shape(i));
    return { info: song.info(), shapes, tracksWithNotes: song.tracksWithNotes(), version: library.version() };
}

// A renderer for new loops and tick: its length and loop points, or
// tooLong when it runs past what a WAV file holds or never ends.
function configure({ loops, tickMs }) {
    freeRenderer();
    restartFeed();
    if (!song) throw new Error('no song is open');
    const next = new Renderer(song, { loops, tickMs, mutedTracks });
    let frames;
    try {
        frames = next.length(WAV_MAX_FRAMES);
    } catch (error) {
        next.free();
        if (error.status === STATUS_TOO_LONG) return { tooLong: true, generation };
        throw error;
    }
    const wraps = next.wraps(WAV_MAX_FRAMES, 1000);
    renderer = next;
    restartFeed();
    return { frames, wraps: wraps.frames, wrapCount: wraps.count, generation };
}

function seek({ frame }) {
    if (!renderer) return { frame: 0, generation };
    renderer.seek(frame);
    restartFeed();
    return { frame: renderer.position(), generation };
}

function mute({ mask }) {
    mutedTracks = mask;
    if (renderer) renderer.setMutedTracks(mask);
    return {};
}

function connect({ port }) {
    feed = port;
    feed.onmessage = (event) => sendFrames(event.data);
    restartFeed();
    return {};
}

// Answers one request of the worklet; an empty answer at the end of the
// render or for a request of an older generation.
function sendFrames(request) {
    let data = new Float32Array(0);
    let start = 0;
    if (request.generation === generation && renderer) {
        try {
            start = renderer.position();
            data = renderer.renderFloat(request.frames);
        } catch (error) {
            self.postMessage({ type: 'failure', message: describeFailure(error) });
        }
    }
    const ended = data.length < 2 * request.frames;
    feed.postMessage({ type: 'frames', generation: request.generation, asked: request.frames, start, data, ended },
                     [data.buffer]);
}

const HANDLERS = { open: openSong, configure, seek, mute, connect };

self.onmessage = async (event) => {
    const { id, type, payload } = event.data;
    try {
        library = await libraryReady;
        self.postMessage({ id, result: HANDLERS[type](payload) });
    } catch (error) {
        self.postMessage({ id, error: { message: describeFailure(error), status: error?.status ?? null } });
    }
};
