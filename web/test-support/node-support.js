// What the Node tests share: the WebAssembly build in build-web/ (made by
// web/build.sh) and the command-line tool of the native build, run on
// files in a folder of this process's own.
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const BUILD_WEB = join(ROOT, 'build-web');
export const EXAMPLES = join(ROOT, 'examples');
export const TOOL = process.env.TAMSEL_TOOL || join(ROOT, 'build/tamselexport');

// An instance of a build of the module: 'tamsel-wasm', or 'tamsel-codecs'.
export async function loadWasmLibrary(name = 'tamsel-wasm') {
    const { loadLibrary } = await import(pathToFileURL(join(BUILD_WEB, 'library.js')).href);
    return loadLibrary(readFileSync(join(BUILD_WEB, `${name}.wasm`)), name);
}

export function requireTool() {
    if (!existsSync(TOOL)) throw new Error(`${TOOL} is missing: build it with cmake --build build --target tamselexport`);
}

const workDir = mkdtempSync(join(tmpdir(), 'tamsel-web-test-'));
process.on('exit', () => rmSync(workDir, { recursive: true, force: true }));

// The WAV the command line writes for a song's bytes, loops and tick.
export function nativeWav(name, songBytes, loops, tickMs) {
    requireTool();
    const song = join(workDir, `${name}.tsm`);
    writeFileSync(song, songBytes);
    execFileSync(TOOL, [song, String(loops), String(tickMs)], { stdio: 'pipe' });
    const wav = readFileSync(join(workDir, `${name}.wav`));
    return new Uint8Array(wav.buffer, wav.byteOffset, wav.length);
}

// The option form's WAV for a song, tamselexport ARGS -o NAME.wav, and
// its summary line (from standard error).
export function nativeOptionWav(name, songBytes, args) {
    requireTool();
    const song = join(workDir, `${name}.tsm`);
    const wav = join(workDir, `${name}.wav`);
    writeFileSync(song, songBytes);
    const run = spawnSync(TOOL, ['--force', ...args, '-o', wav, song], { encoding: 'utf8' });
    if (run.status !== 0) throw new Error(`tamselexport failed: ${run.stderr}`);
    const bytes = readFileSync(wav);
    return { wav: new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.length), summary: run.stderr.trim() };
}

export function exampleBytes(file) {
    return new Uint8Array(readFileSync(join(EXAMPLES, file)));
}
