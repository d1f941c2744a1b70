// Small random TSM songs for the tests, made from a seed: a 1048-byte
// header, then each track's records. Sparse notes, every pan setting,
// varied instruments, step times and repeat regions.
//
// The layout below is the library's own, src/library/song/song_layout.h,
// name for name; web/test/song-layout.test.js holds the two together.

export const SONG_MAGIC = 'TSM';
export const SONG_MAGIC_SIZE = 3;

// Header fields, as file offsets.
export const WAIT_AT = 8;
export const REPEAT_START_AT = 12;
export const REPEAT_END_AT = 16;
export const RECORD_COUNT_AT = 20;
export const FIRST_INSTRUMENT_AT = 24;
export const DRUM_VOLUME_AT = 1044;
export const SONG_HEADER_SIZE = 1048;

export const MELODIC_TRACK_COUNT = 3;
export const DRUM_TRACK = 3;
export const TRACK_COUNT = 4;

// An instrument's fields, as offsets within it.
export const INSTRUMENT_OCTAVE_AT = 0;
export const INSTRUMENT_LENGTH_AT = 4;
export const INSTRUMENT_VOLUME_AT = 8;
export const INSTRUMENT_WAVEFORM_AT = 20;
export const INSTRUMENT_ENVELOPE_AT = 276;
export const WAVEFORM_SIZE = 256;
export const ENVELOPE_SIZE = 64;
export const INSTRUMENT_SIZE = 340;

export const RECORD_SIZE = 4;

// File offset of melodic instrument i.
export function instrumentAt(i) {
    return FIRST_INSTRUMENT_AT + INSTRUMENT_SIZE * i;
}

// File offset of record r of track t when each track holds
// recordsPerTrack records.
export function recordAt(t, recordsPerTrack, r) {
    return SONG_HEADER_SIZE + RECORD_SIZE * (t * recordsPerTrack + r);
}

// Bytes of a song file whose tracks hold recordsPerTrack records each.
export function songFileSize(recordsPerTrack) {
    return recordAt(TRACK_COUNT, recordsPerTrack, 0);
}

// xorshift32: the same songs on every run.
function randomSource(seed) {
    let x = seed >>> 0 || 1;
    const next = () => {
        x ^= x << 13; x >>>= 0;
        x ^= x >>> 17;
        x ^= x << 5; x >>>= 0;
        return x;
    };
    return { below: (n) => next() % n, between: (lo, hi) => lo + (next() % (hi - lo + 1)) };
}

export function makeSong(seed) {
    const r = randomSource(seed);
    const records = r.between(8, 48);
    const bytes = new Uint8Array(songFileSize(records));
    const v = new DataView(bytes.buffer);
    bytes.set(new TextEncoder().encode(SONG_MAGIC), 0);
    const repeatEnd = r.between(1, records + 4);
    v.setUint32(WAIT_AT, r.between(30, 160), true);
    v.setInt32(REPEAT_START_AT, r.below(Math.min(repeatEnd, records)), true);
    v.setInt32(REPEAT_END_AT, repeatEnd, true);
    v.setInt32(RECORD_COUNT_AT, records, true);
    for (let i = 0; i < MELODIC_TRACK_COUNT; i++) {
        const at = instrumentAt(i);
        v.setUint8(at + INSTRUMENT_OCTAVE_AT, r.between(1, 6));
        v.setInt32(at + INSTRUMENT_LENGTH_AT, r.between(200, 30000), true);
        v.setInt32(at + INSTRUMENT_VOLUME_AT, r.between(120, 320), true);
        for (let k = 0; k < WAVEFORM_SIZE; k++) v.setInt8(at + INSTRUMENT_WAVEFORM_AT + k, r.between(0, 255) - 128);
        for (let k = 0; k < ENVELOPE_SIZE; k++) v.setUint8(at + INSTRUMENT_ENVELOPE_AT + k, r.between(0, 160));
    }
    v.setUint32(DRUM_VOLUME_AT, r.between(100, 300), true);
    for (let t = 0; t < TRACK_COUNT; t++) {
        for (let k = 0; k < records; k++) {
            let word = 0;
            if (r.below(3) === 0) word |= 1 << r.below(24);
            if (r.below(8) === 0) word |= 1 << r.below(24);
            if (r.below(6) === 0) word |= r.below(8) << 24;
            v.setUint32(recordAt(t, records, k), word >>> 0, true);
        }
    }
    return bytes;
}
