// Header values as the file holds them, for the song's facts.
import { formatCount } from './format.js';

export const RECORDS_PLAYED = 1000;

// A signed header field as the file holds it; a negative one also as its
// bits, which is how it most likely came about.
export function headerValueText(value) {
    if (value >= 0) return formatCount(value);
    return `${value} (0x${(value >>> 0).toString(16).toUpperCase().padStart(8, '0')} in the file)`;
}
