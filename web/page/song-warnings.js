// What is wrong with a song that opens all the same, in the tool's words:
// a file shorter than its header says, and header values no song holds.
// Header values are shown as the file holds them.
import { formatCount } from './format.js';

const HEADER_BYTES = 1048;
const RECORD_BYTES = 16;   // one 4-byte record for each of the four tracks
export const RECORDS_PLAYED = 1000;

// A signed header field as the file holds it; a negative one also as its
// bits, which is how it most likely came about.
export function headerValueText(value) {
    if (value >= 0) return formatCount(value);
    return `${value} (0x${(value >>> 0).toString(16).toUpperCase().padStart(8, '0')} in the file)`;
}

// info: the song's header fields (library.js Song.info()); fileSize in bytes.
export function songWarnings(info, fileSize) {
    const warnings = [];
    const needed = HEADER_BYTES + RECORD_BYTES * Math.max(info.records, 0);
    if (fileSize < needed) {
        warnings.push(`The file is ${fileSize} bytes, shorter than the ${needed} its header says; `
            + 'the missing bytes play as zeros.');
    }
    if (info.records < 0 || info.records > RECORDS_PLAYED) {
        const played = Math.min(Math.max(info.records, 0), RECORDS_PLAYED);
        warnings.push(`The header's record count, ${headerValueText(info.records)}, is out of range: `
            + `${played === 0 ? 'no records play' : `the first ${played} records play`}.`);
    }
    for (const [what, value] of [['repeat start', info.repeatStart], ['repeat end', info.repeatEnd]]) {
        if (value < 0) warnings.push(`The header's ${what}, ${headerValueText(value)}, is negative.`);
    }
    return warnings;
}
