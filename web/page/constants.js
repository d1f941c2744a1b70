// Facts about every render, shared by the page and the workers without
// loading the WebAssembly module.
export const SAMPLE_RATE = 48000;
export const TRACK_COUNT = 4;
export const DRUM_TRACK = 3;
export const WAV_MAX_FRAMES = 536870907;
// Larger files are refused before they are read: a song file this large
// would need more memory than a tab should take.
export const MAX_FILE_BYTES = 256 * 1024 * 1024;
