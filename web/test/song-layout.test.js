// The song maker lays songs out as the library reads them: every constant
// of src/library/song/song_layout.h is exported by song-maker.js under the
// same name with the same value, and the other way round. Needs neither
// the WebAssembly build nor the tool.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

import * as songMaker from '../test-support/song-maker.js';

const HEADER = new URL('../../src/library/song/song_layout.h', import.meta.url);

// NAME -> value of every "constexpr TYPE NAME = VALUE;" in the header, a
// number or a string literal. A value of another form is an error: this
// reader would have to learn it.
function headerConstants() {
    const text = readFileSync(HEADER, 'utf8');
    const constants = new Map();
    const declaration = /^constexpr\s+[\w:]+\s+([A-Z][A-Z0-9_]*)(\[\])?\s*=\s*([^;]+);/gm;
    for (const [, name, , value] of text.matchAll(declaration)) {
        const string = /^"([^"\\]*)"$/.exec(value.trim());
        const number = /^(\d+)u?$/.exec(value.trim());
        assert.ok(string || number, `${name} = ${value}: not a plain number or string`);
        constants.set(name, string ? string[1] : Number(number[1]));
    }
    return constants;
}

test('every constant of the layout header has its twin in song-maker.js', () => {
    const constants = headerConstants();
    assert.ok(constants.size >= 20, `only ${constants.size} constants read from ${HEADER.pathname}`);
    for (const [name, value] of constants) {
        assert.equal(songMaker[name], value, name);
    }
});

test('song-maker.js has no layout constant the header lacks', () => {
    const constants = headerConstants();
    const extra = Object.keys(songMaker).filter((name) => /^[A-Z][A-Z0-9_]*$/.test(name) && !constants.has(name));
    assert.deepEqual(extra, []);
});

test('the positions agree with a layout worked out by hand', () => {
    // 64 records per track: track 3 starts at byte 1816, the song is 2072
    // bytes long; the drum volume follows the last instrument.
    assert.equal(songMaker.recordAt(3, 64, 0), 1816);
    assert.equal(songMaker.songFileSize(64), 2072);
    assert.equal(songMaker.instrumentAt(songMaker.MELODIC_TRACK_COUNT), songMaker.DRUM_VOLUME_AT);
});
