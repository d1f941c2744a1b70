// Small random TSM songs for the tests, made from a seed: a 1048-byte
// header, then each track's records. Sparse notes, every pan setting,
// varied instruments, step times and repeat regions.
const HEADER_SIZE = 1048;
const INSTRUMENT_SIZE = 340;

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
    const bytes = new Uint8Array(HEADER_SIZE + 16 * records);
    const v = new DataView(bytes.buffer);
    bytes.set([0x54, 0x53, 0x4d], 0);
    const repeatEnd = r.between(1, records + 4);
    v.setUint32(8, r.between(30, 160), true);
    v.setInt32(12, r.below(Math.min(repeatEnd, records)), true);
    v.setInt32(16, repeatEnd, true);
    v.setInt32(20, records, true);
    for (let i = 0; i < 3; i++) {
        const at = 24 + INSTRUMENT_SIZE * i;
        v.setUint8(at, r.between(1, 6));
        v.setInt32(at + 4, r.between(200, 30000), true);
        v.setInt32(at + 8, r.between(120, 320), true);
        for (let k = 0; k < 256; k++) v.setInt8(at + 20 + k, r.between(0, 255) - 128);
        for (let k = 0; k < 64; k++) v.setUint8(at + 276 + k, r.between(0, 160));
    }
    v.setUint32(1044, r.between(100, 300), true);
    for (let t = 0; t < 4; t++) {
        for (let k = 0; k < records; k++) {
            let word = 0;
            if (r.below(3) === 0) word |= 1 << r.below(24);
            if (r.below(8) === 0) word |= 1 << r.below(24);
            if (r.below(6) === 0) word |= r.below(8) << 24;
            v.setUint32(HEADER_SIZE + 4 * (t * records + k), word >>> 0, true);
        }
    }
    return bytes;
}
