// The player's worker: holds the open song and the renderer that plays it,
// off the page's thread. The page calls it (open, configure, seek, mute,
// connect) and gets one reply per call; the audio worklet asks it for
// frames over a MessagePort of its own and gets them in order.
//
// Every seek or new renderer starts a new generation: the worklet drops
// what it holds and asks again, and requests of an older generation are
// answered with nothing.
//
// With frames go the renderer's play states (record, pass and notes) every
// STATE_FRAMES, so the worklet can tell what is playing at the frame it
// plays.
import { fetchLibrary, LOOPS_FOREVER, Renderer, STATUS_TOO_LONG } from './library.js';
import { WAV_MAX_FRAMES } from './constants.js';
import { describeFailure } from './failure.js';

// 10 ms: the page shows a record at most this long after it starts.
const STATE_FRAMES = 480;

const libraryReady = fetchLibrary();
let library = null;
let song = null;
let renderer = null;
let mutedTracks = 0;
let stereoWidth = 100;
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
    const state = renderer ? renderer.state() : null;
    feed.postMessage({ type: 'reset', generation, frame, ended: renderer === null, state });
}

// A file that is no song throws before the open song is touched.
function openSong({ bytes }) {
    const opened = library.openSong(bytes);
    freeSong();
    restartFeed();
    song = opened;
    const shapes = [0, 1, 2].map((i) => song.shape(i));
    return {
        info: song.info(),
        shapes,
        tracksWithNotes: song.tracksWithNotes(),
        warnings: song.warnings(bytes.byteLength),
        version: library.version(),
    };
}

// A renderer for new loops and tick, and its timeline: the length and loop
// points, or tooLong when it runs past what a WAV file holds or never ends.
// Listening needs no file, so a render that is too long still plays. With
// repeat the renderer plays on for ever, and the timeline is that of one
// loop: the song up to its loop point and one pass of the repeat region.
function configure({ loops, tickMs, repeat }) {
    freeRenderer();
    restartFeed();
    if (!song) throw new Error('no song is open');
    const measured = new Renderer(song, { loops: repeat ? 1 : loops, tickMs, mutedTracks });
    let timeline;
    let playsMeasured = false;   // measuring leaves the renderer at its start
    try {
        const frames = measured.length(WAV_MAX_FRAMES);
        const wraps = measured.wraps(WAV_MAX_FRAMES, 1000);
        timeline = { frames, wraps: wraps.frames, wrapCount: wraps.count, endless: Boolean(repeat) };
        playsMeasured = !repeat;
    } catch (error) {
        if (error.status !== STATUS_TOO_LONG) throw error;
        timeline = { tooLong: true, frames: 0, wraps: [], wrapCount: 0, endless: Boolean(repeat) };
    } finally {
        if (!playsMeasured) measured.free();
    }
    renderer = playsMeasured ? measured : new Renderer(song, { loops: repeat ? LOOPS_FOREVER : loops, tickMs, mutedTracks });
    renderer.setStereoWidth(stereoWidth);
    restartFeed();
    return { ...timeline, generation, state: renderer.state() };
}

function seek({ frame }) {
    if (!renderer) return { frame: 0, generation, state: null };
    renderer.seek(frame);
    restartFeed();
    return { frame: renderer.position(), generation, state: renderer.state() };
}

function mute({ mask }) {
    mutedTracks = mask;
    if (renderer) renderer.setMutedTracks(mask);
    return {};
}

// The stereo width heard from the next frame rendered, as the save's.
function width({ percent }) {
    stereoWidth = percent;
    if (renderer) renderer.setStereoWidth(percent);
    return {};
}

function connect({ port }) {
    feed = port;
    feed.onmessage = (event) => sendFrames(event.data);
    restartFeed();
    return {};
}

// The frames asked for, in pieces of STATE_FRAMES, with the play state
// after each piece.
function renderWithStates(frames) {
    const data = new Float32Array(2 * frames);
    const states = [];
    let done = 0;
    while (done < frames) {
        const want = Math.min(STATE_FRAMES, frames - done);
        const piece = renderer.renderFloat(want);
        data.set(piece, 2 * done);
        done += piece.length / 2;
        states.push(renderer.state());
        if (piece.length < 2 * want) break;
    }
    return { data: data.slice(0, 2 * done), states };
}

// Answers one request of the worklet; an empty answer at the end of the
// render or for a request of an older generation.
function sendFrames(request) {
    let data = new Float32Array(0);
    let states = [];
    let start = 0;
    if (request.generation === generation && renderer) {
        try {
            start = renderer.position();
            ({ data, states } = renderWithStates(request.frames));
        } catch (error) {
            self.postMessage({ type: 'failure', message: describeFailure(error) });
        }
    }
    const ended = data.length < 2 * request.frames;
    feed.postMessage({ type: 'frames', generation: request.generation, asked: request.frames, start, data, states,
                       ended }, [data.buffer]);
}

const HANDLERS = { open: openSong, configure, seek, mute, width, connect };

self.onmessage = async (event) => {
    const { id, type, payload } = event.data;
    try {
        library = await libraryReady;
        self.postMessage({ id, result: HANDLERS[type](payload) });
    } catch (error) {
        self.postMessage({ id, error: { message: describeFailure(error), status: error?.status ?? null } });
    }
};
