// The library's C API (include/tamsel/tamsel.h) from JavaScript, over the
// WebAssembly build: tamsel-wasm.js, which plays songs and writes the WAV
// formats, or tamsel-codecs.js, the same with the codecs for every format
// and loudness, which only a save that needs it loads. The workers and the
// Node tests use it; the page itself never touches the library.
//
// Structs cross the boundary by their wasm32 layouts, which the build
// writes into constants.js from the header; the Node tests read a known
// song's header through them.
import createTamselModule from './tamsel-wasm.js';
import {
    INSTRUMENT_INFO, PLAY_STATE, RENDER_OPTIONS, SONG_INFO, STATUS_NO_MEMORY, STATUS_OK, WAV_MAX_FRAMES,
} from './constants.js';

export {
    SAMPLE_RATE, TRACK_COUNT, DRUM_TRACK, WAV_MAX_FRAMES, LOOPS_FOREVER, STATUS_OK, STATUS_IO, STATUS_NOT_A_SONG,
    STATUS_NO_MEMORY, STATUS_TOO_LONG, STATUS_INVALID_ARGUMENT,
} from './constants.js';

// The level options of a save, as the module numbers them.
const LEVEL_MODES = { none: 0, gain: 1, normalize: 2, loudness: 3 };

// The two builds of the module: its file names and how to make an instance.
export const PLAYER_MODULE = 'tamsel-wasm';
export const CODECS_MODULE = 'tamsel-codecs';
const MODULE_FACTORIES = {
    [PLAYER_MODULE]: async () => createTamselModule,
    [CODECS_MODULE]: async () => (await import('./tamsel-codecs.js')).default,
};

export class TamselError extends Error {
    constructor(status, message) {
        super(message);
        this.name = 'TamselError';
        this.status = status;
    }
}

// Instantiates a build of the module (PLAYER_MODULE or CODECS_MODULE) from
// its .wasm bytes, fetched or read by the caller, so the same code runs in a
// browser worker and under Node.
export async function loadLibrary(wasmBinary, name = PLAYER_MODULE) {
    const create = await MODULE_FACTORIES[name]();
    const module = await create({ wasmBinary });
    return new Library(module);
}

// Fetches NAME.wasm from beside this file and instantiates it.
export async function fetchLibrary(name = PLAYER_MODULE) {
    const response = await fetch(new URL(`./${name}.wasm`, import.meta.url));
    if (!response.ok) throw new Error(`could not load ${name}.wasm (HTTP ${response.status})`);
    return loadLibrary(await response.arrayBuffer(), name);
}

class Library {
    constructor(module) {
        this.m = module;
    }

    // Views are taken afresh on every use: growing the memory replaces its buffer.
    view() {
        return new DataView(this.m.HEAPU8.buffer);
    }

    bytes() {
        return this.m.HEAPU8;
    }

    version() {
        return this.cString(this.m._tamsel_version());
    }

    statusMessage(status) {
        return this.cString(this.m._tamsel_status_message(status));
    }

    cString(pointer) {
        const heap = this.bytes();
        let end = pointer;
        while (heap[end] !== 0) end++;
        return new TextDecoder().decode(heap.subarray(pointer, end));
    }

    // Allocates size bytes (at least 1) in the module's memory; throws when
    // the memory cannot grow that far.
    allocate(size) {
        const pointer = this.m._malloc(Math.max(size, 1));
        if (pointer === 0) throw new TamselError(STATUS_NO_MEMORY, this.statusMessage(STATUS_NO_MEMORY));
        return pointer;
    }

    release(pointer) {
        this.m._free(pointer);
    }

    check(status) {
        if (status !== STATUS_OK) throw new TamselError(status, this.statusMessage(status));
    }

    // A song from the bytes of a file (a Uint8Array or an ArrayBuffer).
    openSong(fileBytes) {
        const data = fileBytes instanceof Uint8Array ? fileBytes : new Uint8Array(fileBytes);
        const bytesPointer = this.allocate(data.length);
        const outPointer = this.allocate(4);
        try {
            this.bytes().set(data, bytesPointer);
            this.check(this.m._tamsel_song_load_memory(bytesPointer, data.length, outPointer));
            return new Song(this, this.view().getUint32(outPointer, true));
        } finally {
            this.release(bytesPointer);
            this.release(outPointer);
        }
    }

    // True when this build can save format ('wav', 'wav16', 'wav24', 'flac',
    // 'flac24', 'ogg', 'opus', 'mp3') with the level mode ('none', 'gain',
    // 'normalize', 'loudness').
    canExport(format, levelMode = 'none') {
        return this.withString(format, (formatPointer) =>
            this.m._tamsel_web_can_export(formatPointer, LEVEL_MODES[levelMode] ?? -1) === 1);
    }

    // Saves a song file (its bytes and file name) with the command line's
    // export code, as tamselexport does with the same options:
    //   format      as -f takes it ('wav' is the positional form's file)
    //   quality     -1 for the format's default, else 0..10 (--quality)
    //   loops, tickMs
    //   mutedTracks bit t set leaves track t out (--mute); not with stems
    //   stems       four files, one per track, leveled as the whole mix
    //   level       { mode: 'none' | 'gain' | 'normalize' | 'loudness', value }
    //               (dB, dBFS or LUFS, as --gain, --normalize=, --loudness)
    //   fadeSeconds played on past the end while fading out (--fade)
    //   stereoWidth percent, 0..200, 100 the render itself (--stereo)
    //   nameTag     put between the song's name and the extension
    // The handlers get, for each file in turn, onFile({ index, count, name,
    // base }) (base: the name without a stem's suffix and the extension),
    // then its pieces in order through onBytes (a Uint8Array it may keep);
    // onProgress(done, total) counts frames over all files, and returning
    // false cancels. Returns each file's summary: [{ index, frames, peakDbfs
    // (-Infinity for silence), text }], text as the tool's summary line
    // tells it after the names. Throws an Error with the tool's one-line
    // reason on failure.
    exportAudio(fileBytes, songName, settings, { onFile, onBytes, onProgress }) {
        const { format = 'wav', quality = -1, loops = 0, tickMs = 20, mutedTracks = 0, stems = false,
                level = { mode: 'none', value: 0 }, fadeSeconds = 0, stereoWidth = 100, nameTag = '' } = settings;
        const data = fileBytes instanceof Uint8Array ? fileBytes : new Uint8Array(fileBytes);
        const ERROR_CAPACITY = 512;
        const bytesPointer = this.allocate(data.length);
        const errorPointer = this.allocate(ERROR_CAPACITY);
        const results = [];
        this.m.onExportFile = onFile;
        this.m.onExportBytes = onBytes;
        this.m.onExportProgress = onProgress;
        this.m.onExportResult = (told) => results.push(told);
        try {
            this.bytes().set(data, bytesPointer);
            const ok = this.withString(songName, (namePointer) => this.withString(nameTag, (tagPointer) =>
                this.withString(format, (formatPointer) => this.m._tamsel_web_export(
                    bytesPointer, data.length, namePointer, tagPointer, formatPointer, quality, loops, tickMs,
                    mutedTracks, stems ? 1 : 0, LEVEL_MODES[level.mode] ?? -1, level.value ?? 0, fadeSeconds,
                    stereoWidth, errorPointer, ERROR_CAPACITY))));
            if (!ok) throw new Error(this.cString(errorPointer));
            return results;
        } finally {
            for (const name of ['onExportFile', 'onExportBytes', 'onExportProgress', 'onExportResult']) this.m[name] = null;
            this.release(bytesPointer);
            this.release(errorPointer);
        }
    }

    // Calls use(pointer) with text as a C string in the module's memory.
    withString(text, use) {
        const encoded = new TextEncoder().encode(text);
        const pointer = this.allocate(encoded.length + 1);
        try {
            this.bytes().set(encoded, pointer);
            this.bytes()[pointer + encoded.length] = 0;
            return use(pointer);
        } finally {
            this.release(pointer);
        }
    }
}

export class Song {
    constructor(library, pointer) {
        this.library = library;
        this.pointer = pointer;
    }

    free() {
        this.library.m._tamsel_song_free(this.pointer);
        this.pointer = 0;
    }

    info() {
        const library = this.library;
        const pointer = library.allocate(SONG_INFO.size);
        try {
            library.m._tamsel_song_get_info(this.pointer, pointer);
            const v = library.view();
            const instruments = [];
            for (let i = 0; i < 3; i++) {
                const at = pointer + SONG_INFO.instruments + INSTRUMENT_INFO.size * i;
                instruments.push({
                    octave: v.getUint8(at + INSTRUMENT_INFO.octave),
                    length: v.getInt32(at + INSTRUMENT_INFO.length, true),
                    volume: v.getInt32(at + INSTRUMENT_INFO.volume, true),
                });
            }
            return {
                stepMs: v.getUint32(pointer + SONG_INFO.stepMs, true),
                repeatStart: v.getInt32(pointer + SONG_INFO.repeatStart, true),
                repeatEnd: v.getInt32(pointer + SONG_INFO.repeatEnd, true),
                records: v.getInt32(pointer + SONG_INFO.records, true),
                drumVolume: v.getUint32(pointer + SONG_INFO.drumVolume, true),
                instruments,
            };
        } finally {
            library.release(pointer);
        }
    }

    // Instrument i's waveform (256 signed values) and envelope (64 values, 128 full).
    shape(instrument) {
        const library = this.library;
        const pointer = library.allocate(256 + 64);
        try {
            library.check(library.m._tamsel_song_get_instrument_shape(this.pointer, instrument, pointer, pointer + 256));
            const heap = library.bytes();
            return {
                waveform: new Int8Array(heap.slice(pointer, pointer + 256).buffer),
                envelope: heap.slice(pointer + 256, pointer + 320),
            };
        } finally {
            library.release(pointer);
        }
    }

    // Bit t set when track t starts at least one note.
    tracksWithNotes() {
        return this.library.m._tamsel_song_tracks_with_notes(this.pointer) >>> 0;
    }
}

export class Renderer {
    // options: { loops, tickMs, mutedTracks }; missing fields take the defaults.
    constructor(song, options = {}) {
        const library = song.library;
        this.library = library;
        this.pointer = 0;
        this.blockPointer = 0;
        this.blockFrames = 0;
        const optionsPointer = library.allocate(RENDER_OPTIONS.size);
        const outPointer = library.allocate(4);
        try {
            library.m._tamsel_render_options_init(optionsPointer);
            const v = library.view();
            if (options.loops !== undefined) v.setInt32(optionsPointer + RENDER_OPTIONS.loops, options.loops, true);
            if (options.tickMs !== undefined) v.setFloat64(optionsPointer + RENDER_OPTIONS.tickMs, options.tickMs, true);
            if (options.mutedTracks !== undefined) v.setUint32(optionsPointer + RENDER_OPTIONS.mutedTracks, options.mutedTracks, true);
            library.check(library.m._tamsel_renderer_create(song.pointer, optionsPointer, outPointer));
            this.pointer = library.view().getUint32(outPointer, true);
        } finally {
            library.release(optionsPointer);
            library.release(outPointer);
        }
    }

    free() {
        this.library.m._tamsel_renderer_free(this.pointer);
        if (this.blockPointer) this.library.release(this.blockPointer);
        this.pointer = 0;
        this.blockPointer = 0;
    }

    // The whole render's length in frames; throws TamselError with
    // STATUS_TOO_LONG past limit or when it never ends.
    length(limit = WAV_MAX_FRAMES) {
        const library = this.library;
        const outPointer = library.allocate(8);
        try {
            library.check(library.m._tamsel_renderer_length(this.pointer, BigInt(limit), outPointer));
            return Number(library.view().getBigUint64(outPointer, true));
        } finally {
            library.release(outPointer);
        }
    }

    // The loop points (frames where the song wraps to its repeat start):
    // { frames: the first capacity of them, count: how many in all }.
    wraps(limit = WAV_MAX_FRAMES, capacity = 256) {
        const library = this.library;
        const listPointer = library.allocate(8 * capacity);
        const countPointer = library.allocate(4);
        try {
            library.check(library.m._tamsel_renderer_wraps(this.pointer, BigInt(limit), listPointer, capacity, countPointer));
            const v = library.view();
            const count = v.getUint32(countPointer, true);
            const frames = [];
            for (let i = 0; i < Math.min(count, capacity); i++) frames.push(Number(v.getBigUint64(listPointer + 8 * i, true)));
            return { frames, count };
        } finally {
            library.release(listPointer);
            library.release(countPointer);
        }
    }

    ensureBlock(frames) {
        if (frames <= this.blockFrames) return;
        if (this.blockPointer) this.library.release(this.blockPointer);
        this.blockPointer = 0;
        this.blockPointer = this.library.allocate(8 * frames);
        this.blockFrames = frames;
    }

    // Up to frames frames as their raw bytes (interleaved little-endian
    // floats, exactly the command line's WAV data), a new Uint8Array; empty
    // at the end of the render.
    renderBytes(frames) {
        this.ensureBlock(frames);
        const got = this.library.m._tamsel_render_float(this.pointer, this.blockPointer, frames);
        return this.library.bytes().slice(this.blockPointer, this.blockPointer + 8 * got);
    }

    // The same as a new Float32Array of 2 x got interleaved samples.
    renderFloat(frames) {
        const bytes = this.renderBytes(frames);
        return new Float32Array(bytes.buffer, 0, bytes.length / 4);
    }

    // The mixer's integer sums, a new Int32Array of 2 x got values.
    renderInt32(frames) {
        this.ensureBlock(frames);
        const got = this.library.m._tamsel_render_int32(this.pointer, this.blockPointer, frames);
        const bytes = this.library.bytes().slice(this.blockPointer, this.blockPointer + 8 * got);
        return new Int32Array(bytes.buffer, 0, 2 * got);
    }

    seek(frame) {
        this.library.check(this.library.m._tamsel_renderer_seek(this.pointer, BigInt(frame)));
    }

    position() {
        return Number(this.library.m._tamsel_renderer_position(this.pointer));
    }

    setMutedTracks(mask) {
        this.library.check(this.library.m._tamsel_renderer_set_muted_tracks(this.pointer, mask >>> 0));
    }

    // Percent, 0..200, from the next frame (see tamsel_renderer_set_stereo_width).
    setStereoWidth(percent) {
        this.library.check(this.library.m._tamsel_renderer_set_stereo_width(this.pointer, percent | 0));
    }

    // What is playing: { frame, record, pass, notes } (see tamsel_renderer_get_state).
    state() {
        const library = this.library;
        const pointer = library.allocate(PLAY_STATE.size);
        try {
            library.check(library.m._tamsel_renderer_get_state(this.pointer, pointer));
            const v = library.view();
            const notes = [0, 1, 2, 3].map((t) => v.getUint32(pointer + PLAY_STATE.notes + 4 * t, true));
            return {
                frame: Number(v.getBigUint64(pointer + PLAY_STATE.frame, true)),
                record: v.getInt32(pointer + PLAY_STATE.record, true),
                pass: v.getUint32(pointer + PLAY_STATE.pass, true),
                notes,
            };
        } finally {
            library.release(pointer);
        }
    }
}
