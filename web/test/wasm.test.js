// The WebAssembly build of the library under Node.js: it renders the same
// bytes as the native command line, and the JavaScript layer over its C
// API reads and passes every field the page uses.
import assert from 'node:assert/strict';
import { before, describe, test } from 'node:test';

import { exampleBytes, loadWasmLibrary, nativeOptionWav, nativeWav } from '../test-support/node-support.js';
import * as layout from '../test-support/song-maker.js';
import { makeSong } from '../test-support/song-maker.js';

let tamsel;   // library.js of the build
let library;  // an instance of the small module
let codecs;   // and of the one with the codecs

before(async () => {
    tamsel = await import('../../build-web/library.js');
    library = await loadWasmLibrary();
    codecs = await loadWasmLibrary(tamsel.CODECS_MODULE);
});

// The renderer's frames from the start to the end, as the player gets them.
function renderedBytes(songBytes, loops, tickMs) {
    const song = library.openSong(songBytes);
    const renderer = new tamsel.Renderer(song, { loops, tickMs });
    song.free();
    const parts = [];
    for (;;) {
        const block = renderer.renderBytes(40000);
        parts.push(block);
        if (block.length < 8 * 40000) break;
    }
    renderer.free();
    return concatenate(parts);
}

// The files the page saves for a song named songName, each gathered from
// its pieces: [{ name, bytes, summary }].
function exportedFiles(songBytes, settings, songName = 'song.tsm', module = library) {
    const files = [];
    const summaries = module.exportAudio(songBytes, songName, settings, {
        onFile: ({ name }) => files.push({ name, parts: [] }),
        onBytes: (piece) => files[files.length - 1].parts.push(piece),
        onProgress: () => true,
    });
    return files.map((file, i) => ({ name: file.name, bytes: concatenate(file.parts), summary: summaries[i] }));
}

function exportedWav(songBytes, settings) {
    return exportedFiles(songBytes, settings)[0].bytes;
}

function concatenate(parts) {
    const whole = new Uint8Array(parts.reduce((size, part) => size + part.length, 0));
    let at = 0;
    for (const part of parts) {
        whole.set(part, at);
        at += part.length;
    }
    return whole;
}

function firstDifference(a, b) {
    const n = Math.min(a.length, b.length);
    for (let i = 0; i < n; i++) if (a[i] !== b[i]) return i;
    return a.length === b.length ? -1 : n;
}

function assertSameBytes(actual, expected, what) {
    const at = firstDifference(actual, expected);
    assert.equal(at, -1, `${what}: ${actual.length} bytes against ${expected.length}, first difference at byte ${at}`);
}

describe('float files and the renderer\'s frames are the positional form\'s bytes', () => {
    const cases = [
        { name: 'demo', bytes: () => exampleBytes('demo.tsm'), loops: 0, tickMs: 20 },
        { name: 'short', bytes: () => exampleBytes('short.tsm'), loops: 0, tickMs: 20 },
        { name: 'short-looped', bytes: () => exampleBytes('short.tsm'), loops: 2, tickMs: 7.5 },
        { name: 'bare', bytes: () => new TextEncoder().encode('TSM'), loops: 0, tickMs: 20 },
        { name: 'generated-1', bytes: () => makeSong(1), loops: 0, tickMs: 20 },
        { name: 'generated-2', bytes: () => makeSong(2), loops: 1, tickMs: 20 },
        { name: 'generated-3', bytes: () => makeSong(3), loops: 3, tickMs: 13 },
        { name: 'generated-4', bytes: () => makeSong(4), loops: 0, tickMs: 0 },
        { name: 'generated-5', bytes: () => makeSong(5), loops: 2, tickMs: 33.3 },
    ];
    for (const c of cases) {
        test(`${c.name}, loops ${c.loops}, tick ${c.tickMs} ms`, () => {
            const bytes = c.bytes();
            const expected = nativeWav(c.name, bytes, c.loops, c.tickMs);
            assert.ok(expected.length >= 44, 'the command line wrote a file');
            const { loops, tickMs } = c;
            assertSameBytes(exportedWav(bytes, { loops, tickMs }), expected, c.name);
            assertSameBytes(renderedBytes(bytes, loops, tickMs), expected.subarray(44), `${c.name}, rendered`);
        });
    }
});

describe("the option form's WAV files, bytes and summary, with every setting the page has", () => {
    // The page's hints name its controls where the tool names its options.
    const pageWords = (text) => text.replace('(try --normalize)', '(try Normalise)');
    const cases = [
        { name: 'demo16', song: 'demo.tsm', args: ['-f', 'wav16'], settings: { format: 'wav16' } },
        { name: 'demo16-normalized', song: 'demo.tsm', args: ['-f', 'wav16', '--normalize'],
          settings: { format: 'wav16', level: { mode: 'normalize', value: -1 } } },
        { name: 'short-float-normalized', song: 'short.tsm', args: ['-l', '1', '-t', '13', '--normalize=-3.5'],
          settings: { loops: 1, tickMs: 13, level: { mode: 'normalize', value: -3.5 } } },
        { name: 'short24-gain-fade', song: 'short.tsm', args: ['-f', 'wav24', '--gain', '4', '--fade', '2.5'],
          settings: { format: 'wav24', level: { mode: 'gain', value: 4 }, fadeSeconds: 2.5 } },
        { name: 'short16-muted', song: 'short.tsm', args: ['-f', 'wav16', '--mute', '1,drums', '--gain', '9'],
          settings: { format: 'wav16', mutedTracks: 0b1001, level: { mode: 'gain', value: 9 } } },
        { name: 'short16-narrow-gain', song: 'short.tsm', args: ['-f', 'wav16', '--stereo', '40', '--gain', '3'],
          settings: { format: 'wav16', stereoWidth: 40, level: { mode: 'gain', value: 3 } } },
        { name: 'short-float-wide', song: 'short.tsm', args: ['--stereo', '200'], settings: { stereoWidth: 200 } },
        { name: 'generated16-normalized', bytes: () => makeSong(2), args: ['-f', 'wav16', '--normalize=-0.1'],
          settings: { format: 'wav16', level: { mode: 'normalize', value: -0.1 } } },
    ];
    for (const c of cases) {
        test(c.name, () => {
            const bytes = c.bytes ? c.bytes() : exampleBytes(c.song);
            const expected = nativeOptionWav(c.name, bytes, c.args);
            assert.ok(expected.wav.length > 44, 'the command line wrote audio');
            const [got] = exportedFiles(bytes, c.settings);
            assertSameBytes(got.bytes, expected.wav, c.name);
            assert.equal(got.summary.text, pageWords(expected.summary.slice(expected.summary.indexOf(': ') + 2)));
        });
    }

    test('progress counts up to the total over every stem, and false cancels with the reason', () => {
        const seen = [];
        const names = [];
        assert.throws(() => library.exportAudio(exampleBytes('short.tsm'), 'short.tsm', { format: 'wav16', stems: true }, {
            onFile: ({ name }) => names.push(name),
            onBytes: () => {},
            onProgress: (done, total) => { seen.push([done, total]); return done < total / 2; },
        }), /cancelled/);
        assert.deepEqual(names, ['short.track1.wav', 'short.track2.wav']);
        const [done, total] = seen[seen.length - 1];
        assert.ok(done >= total / 2 && done < total && seen.every(([d, t]) => t === total && d > 0));
    });

    test('a file that is not a song, a level out of range, or a render too long is one line', () => {
        const cases = [
            [new TextEncoder().encode('not a song'), { format: 'wav16' }, /not a song/],
            [exampleBytes('short.tsm'), { level: { mode: 'normalize', value: 3 } }, /normalise to must be dBFS from -96 to 0/],
            [exampleBytes('short.tsm'), { tickMs: 3600001 }, /Tick \(ms\) must be milliseconds from 0 to 3600000/],
            [exampleBytes('demo.tsm'), { loops: 2147483647 }, /: never ends$/],
            [exampleBytes('short.tsm'), { loops: 1000 }, /: too long for a WAV file$/],
            [exampleBytes('short.tsm'), { fadeSeconds: -1 }, /fade/],
            [exampleBytes('short.tsm'), { stereoWidth: 201 }, /Stereo width \(%\) must be a whole number 0\.\.200/],
            [exampleBytes('short.tsm'), { format: 'aiff' }, /no such format: aiff/],
        ];
        for (const [bytes, settings, message] of cases) assert.throws(() => exportedWav(bytes, settings), message);
    });
});

describe('the two modules', () => {
    test('the small one writes WAV; the codecs one every format and loudness', () => {
        const formats = ['wav', 'wav16', 'wav24', 'flac', 'flac24', 'ogg', 'opus', 'mp3'];
        assert.deepEqual(formats.map((f) => library.canExport(f)), [true, true, true, false, false, false, false, false]);
        assert.ok(formats.every((f) => codecs.canExport(f, 'loudness')));
        assert.deepEqual([library.canExport('wav', 'loudness'), library.canExport('wav', 'normalize'),
                          codecs.canExport('aiff')], [false, true, false]);
    });

    test('files are named as the command line names them, with the page\'s tag and the stems\' suffixes', () => {
        const song = exampleBytes('short.tsm');
        const names = (songName, settings, module = library) =>
            exportedFiles(song, { fadeSeconds: 0, loops: 0, ...settings, tickMs: 200 }, songName, module)
                .map((file) => file.name);
        assert.deepEqual(names('short.tsm', {}), ['short.wav']);
        assert.deepEqual(names('my.song.v2.tsm', { format: 'wav24', nameTag: '.loops3' }), ['my.song.v2.loops3.wav']);
        assert.deepEqual(names('.tsm', {}), ['.tsm.wav']);
        assert.deepEqual(names('short.tsm', { format: 'opus', stems: true }, codecs),
                         ['short.track1.opus', 'short.track2.opus', 'short.track3.opus', 'short.drums.opus']);
    });
});

describe('renderer calls', () => {
    test('seeking anywhere gives the frames a render from the start gives there', () => {
        const song = library.openSong(exampleBytes('short.tsm'));
        const whole = new tamsel.Renderer(song, { loops: 1 });
        const total = whole.length();
        const all = whole.renderBytes(total + 10);
        assert.equal(all.length, 8 * total);
        const seeker = new tamsel.Renderer(song, { loops: 1 });
        for (const frame of [total - 1, 0, 48000 * 3 + 17, 1, Math.floor(total / 2), 48000 * 20 + 5]) {
            seeker.seek(frame);
            assert.equal(seeker.position(), frame);
            const got = seeker.renderBytes(3000);
            const want = all.subarray(8 * frame, 8 * Math.min(total, frame + 3000));
            assertSameBytes(got, want, `after seeking to frame ${frame}`);
        }
        seeker.seek(total + 1000);
        assert.equal(seeker.position(), total);
        assert.equal(seeker.renderBytes(100).length, 0);
        for (const r of [whole, seeker]) r.free();
        song.free();
    });

    test('muted tracks are left out, and the four one-track renders add up to the mix', () => {
        const song = library.openSong(exampleBytes('demo.tsm'));
        const frames = 48000 * 4;
        const mix = new tamsel.Renderer(song).renderInt32(frames);
        const sum = new Int32Array(mix.length);
        for (let t = 0; t < 4; t++) {
            const renderer = new tamsel.Renderer(song);
            renderer.setMutedTracks(0xf & ~(1 << t));
            const alone = renderer.renderInt32(frames);
            for (let i = 0; i < sum.length; i++) sum[i] += alone[i];
            renderer.free();
        }
        assert.deepEqual(sum, mix);
        const silent = new tamsel.Renderer(song, { mutedTracks: 0xf });
        assert.ok(silent.renderFloat(frames).every((x) => x === 0));
        silent.free();
        song.free();
    });

    test('float samples are the integer sums divided by 32768', () => {
        const song = library.openSong(exampleBytes('demo.tsm'));
        const a = new tamsel.Renderer(song);
        const b = new tamsel.Renderer(song);
        a.seek(48000 * 30);
        b.seek(48000 * 30);
        const floats = a.renderFloat(20000);
        const sums = b.renderInt32(20000);
        assert.ok(sums.some((x) => x !== 0));
        sums.forEach((x, i) => assert.equal(floats[i], Math.fround(x / 32768)));
        a.free();
        b.free();
        song.free();
    });

    test('length and loop points follow the loops and the tick', () => {
        const song = library.openSong(exampleBytes('short.tsm'));
        const once = new tamsel.Renderer(song, { loops: 0 });
        const twice = new tamsel.Renderer(song, { loops: 2 });
        assert.deepEqual(once.wraps(), { frames: [], count: 0 });
        const wraps = twice.wraps();
        assert.equal(wraps.count, 2);
        assert.equal(wraps.frames[0], once.length());
        assert.ok(wraps.frames[1] > wraps.frames[0] && wraps.frames[1] < twice.length());
        // Each further loop adds the same stretch from the repeat start to the end.
        assert.equal(twice.length() - wraps.frames[1], wraps.frames[1] - wraps.frames[0]);
        assert.deepEqual(twice.wraps(tamsel.WAV_MAX_FRAMES, 1), { frames: [wraps.frames[0]], count: 2 });
        for (const r of [once, twice]) r.free();
        song.free();
    });

    test('a render longer than a WAV file holds is refused as too long', () => {
        const song = library.openSong(exampleBytes('demo.tsm'));
        const renderer = new tamsel.Renderer(song, { loops: 2147483647 });
        assert.throws(() => renderer.length(), (e) => e.status === tamsel.STATUS_TOO_LONG);
        assert.throws(() => renderer.wraps(), (e) => e.status === tamsel.STATUS_TOO_LONG);
        renderer.free();
        song.free();
    });

    test('an endless renderer begins with the finite renders and plays on; its state follows the records', () => {
        const bytes = exampleBytes('short.tsm');
        const song = library.openSong(bytes);
        const endless = new tamsel.Renderer(song, { loops: tamsel.LOOPS_FOREVER });
        assert.throws(() => endless.length(), (e) => e.status === tamsel.STATUS_TOO_LONG);
        const twice = new tamsel.Renderer(song, { loops: 2 });
        const total = twice.length();
        const wraps = twice.wraps().frames;
        const played = endless.renderInt32(total + 48000);
        assert.deepEqual(played.subarray(0, 2 * total), twice.renderInt32(total + 10));
        assert.ok(played.subarray(2 * total).some((x) => x !== 0));
        // Steps every 4800 frames; each loop point plays record 64 again.
        const word = (track, record) => new DataView(bytes.buffer, bytes.byteOffset).getUint32(1048 + 4 * (track * 266 + record), true);
        for (const [frame, record, pass] of [[0, 0, 0], [4800 * 10 + 1, 10, 0], [wraps[0], 265, 0],
                                             [wraps[1] + 1, 64, 2], [total + 4800 * 3 + 1, 67, 3]]) {
            endless.seek(frame);
            const state = endless.state();
            assert.deepEqual({ frame: state.frame, record: state.record, pass: state.pass }, { frame, record, pass });
            assert.deepEqual(state.notes, [0, 1, 2, 3].map((t) => word(t, record) & 0xffffff));
        }
        // Day 25, past the 2^31 ms a finite render's clock stops at.
        const day25 = 25 * 24 * 3600 * 48000;
        endless.seek(day25);
        assert.equal(endless.state().frame, day25);
        assert.ok(endless.renderFloat(48000).some((x) => x !== 0));
        for (const r of [endless, twice]) r.free();
        song.free();
    });

    test('bad options are refused', () => {
        const song = library.openSong(exampleBytes('short.tsm'));
        for (const tickMs of [-1, Infinity, NaN]) {
            assert.throws(() => new tamsel.Renderer(song, { tickMs }), (e) => e.status === tamsel.STATUS_INVALID_ARGUMENT);
        }
        song.free();
    });
});

describe('songs', () => {
    test('header fields and shapes come back as written', () => {
        const bytes = makeSong(7);
        const v = new DataView(bytes.buffer);
        const song = library.openSong(bytes);
        const info = song.info();
        assert.equal(info.stepMs, v.getUint32(layout.WAIT_AT, true));
        assert.equal(info.repeatStart, v.getInt32(layout.REPEAT_START_AT, true));
        assert.equal(info.repeatEnd, v.getInt32(layout.REPEAT_END_AT, true));
        assert.equal(info.records, v.getInt32(layout.RECORD_COUNT_AT, true));
        assert.equal(info.drumVolume, v.getUint32(layout.DRUM_VOLUME_AT, true));
        for (let i = 0; i < layout.MELODIC_TRACK_COUNT; i++) {
            const at = layout.instrumentAt(i);
            assert.deepEqual(info.instruments[i], {
                octave: v.getUint8(at + layout.INSTRUMENT_OCTAVE_AT),
                length: v.getInt32(at + layout.INSTRUMENT_LENGTH_AT, true),
                volume: v.getInt32(at + layout.INSTRUMENT_VOLUME_AT, true),
            });
            const shape = song.shape(i);
            const waveformAt = at + layout.INSTRUMENT_WAVEFORM_AT;
            const envelopeAt = at + layout.INSTRUMENT_ENVELOPE_AT;
            assert.deepEqual(shape.waveform, new Int8Array(bytes.buffer, waveformAt, layout.WAVEFORM_SIZE));
            assert.deepEqual(shape.envelope, bytes.subarray(envelopeAt, envelopeAt + layout.ENVELOPE_SIZE));
        }
        assert.throws(() => song.shape(3), (e) => e.status === tamsel.STATUS_INVALID_ARGUMENT);
        song.free();
    });

    test('files that are not songs are refused with a message; the magic alone loads, the rest as zeros', () => {
        const notSongs = [new Uint8Array(0), new TextEncoder().encode('RIFF....WAVEfmt '), new TextEncoder().encode('tsm'),
                          new TextEncoder().encode('TS')];
        for (const bytes of notSongs) {
            assert.throws(() => library.openSong(bytes), (e) => e.status === tamsel.STATUS_NOT_A_SONG && e.message === library.statusMessage(2));
        }
        assert.ok(library.statusMessage(tamsel.STATUS_NOT_A_SONG).length > 0);
        // Its render, no frames at all, is among the byte comparisons above.
        const song = library.openSong(new TextEncoder().encode('TSM'));
        assert.deepEqual([song.info().records, song.info().stepMs, song.tracksWithNotes()], [0, 0, 0]);
        song.free();
    });

    test('many songs and renderers come and go without the memory growing', () => {
        const before = library.m.HEAPU8.length;
        for (let i = 0; i < 200; i++) {
            const song = library.openSong(makeSong(100 + i));
            const renderer = new tamsel.Renderer(song);
            renderer.renderFloat(4800);
            renderer.free();
            song.free();
        }
        assert.equal(library.m.HEAPU8.length, before);
    });
});
