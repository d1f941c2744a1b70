// The page in headless Chromium, as a user works it: try the demo, read
// its facts, save it in every format and compare with the command line's
// files (the formats' own decoders read the encoded ones), play,
// mute, seek, repeat for ever, ask for too many loops, and look at it on a
// phone-sized screen; then the player's facts in tables (keyboard, damaged
// files, playback, exports, accessibility with axe-core, offline use).
// Saves screenshots in build-wasm/, and the README's pictures,
// web/screenshot.png and web/screenshot-phone.png, when
// TAMSEL_UPDATE_SCREENSHOT=1.
//
// Run by web/test.sh, which serves build-web/ on the loopback address and
// sets TAMSEL_PAGE_URL, TAMSEL_NPM_DIR (where playwright-core and axe-core are)
// and TAMSEL_TOOL (the command-line tool).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const PAGE_URL = process.env.TAMSEL_PAGE_URL;
if (!PAGE_URL) throw new Error('set TAMSEL_PAGE_URL to the served index.html (web/test.sh does)');
const NPM_DIR = resolve(process.env.TAMSEL_NPM_DIR || join(ROOT, 'build-wasm/npm'));
const TOOL = process.env.TAMSEL_TOOL || join(ROOT, 'build/tamselexport');
const { chromium } = createRequire(join(NPM_DIR, 'package.json'))('playwright-core');
const { formatCount, formatTime } = await import(pathToFileURL(join(ROOT, 'build-web/format.js')).href);

const RATE = 48000;
const SHORT_FRAMES = 1276800;   // examples/short.tsm played once, checked against the tool's saves
const work = mkdtempSync(join(tmpdir(), 'tamsel-browser-test-'));

// The command line's WAV of an example song.
function nativeWav(example, loops) {
    const song = join(work, `cli-${loops}-${example}`);
    copyFileSync(join(ROOT, 'examples', example), song);
    execFileSync(TOOL, [song, String(loops), '20'], { stdio: 'pipe' });
    return readFileSync(song.replace(/\.tsm$/, '.wav'));
}

const framesOf = (wav) => (wav.length - 44) / 8;
const lengthText = (frames) => `${formatTime(frames)} (${formatCount(frames)} frames)`;

async function check(what, body) {
    const started = Date.now();
    await body();
    console.log(`ok - ${what} (${Date.now() - started} ms)`);
}

const context = await chromium.launchPersistentContext(join(work, 'profile'), {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport: { width: 1000, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
});
const page = context.pages()[0] || await context.newPage();
const problems = [];
page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
page.on('console', (message) => { if (message.type() === 'error') problems.push(`console: ${message.text()}`); });
page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
// Nothing may leave the loopback server.
await context.route((url) => !url.href.startsWith(new URL(PAGE_URL).origin) && !url.href.startsWith('blob:')
                             && !url.href.startsWith('data:'), (route) => {
    problems.push(`outside request: ${route.request().url()}`);
    route.abort();
});

const text = (selector) => page.locator(selector).innerText();
const stats = () => page.evaluate(() => ({ ...window.tamselPage.stats, position: window.tamselPage.position }));
const waitFor = (predicate, arg) => page.waitForFunction(predicate, arg, { timeout: 20000 });
const waitForText = (id, wanted) => waitFor(([i, t]) => document.getElementById(i).textContent === t, [id, wanted]);
const waitForStatus = (part) => waitFor((p) => document.getElementById('export-status').textContent.includes(p), part);
const waitForPosition = (frame) => waitFor((f) => window.tamselPage.position === f, frame);
const waitForPaused = () => waitFor(() => document.getElementById('play').getAttribute('aria-label') === 'Play');

// What was queued before a change plays out; then a stretch of playing
// (at least a fifth of a second) in which the counter does not grow.
const playsWithout = async (counter) => {
    let before = await stats();
    let later = before;
    for (let tries = 0; tries < 40; tries++) {
        await page.waitForTimeout(300);
        later = await stats();
        if (later[counter] === before[counter] && later.framesPlayed >= before.framesPlayed + 9600) break;
        before = later;
    }
    assert.ok(later.framesPlayed >= before.framesPlayed + 9600, 'still playing');
    assert.equal(later[counter], before[counter], counter);
    return later;
};

try {
    const demoWav = nativeWav('demo.tsm', 0);
    const demoFrames = framesOf(demoWav);
    const oneLoop = framesOf(nativeWav('demo.tsm', 1));

    // Counts the page's animation frames, to see that a paused page draws nothing.
    await page.addInitScript(() => {
        const request = window.requestAnimationFrame.bind(window);
        window.animationFrames = 0;
        window.requestAnimationFrame = (callback) => {
            window.animationFrames++;
            return request(callback);
        };
    });
    await page.goto(PAGE_URL);

    await check('"Try the demo" opens and plays the demo; its facts are shown', async () => {
        await page.click('#demo');
        await waitFor(() => window.tamselPage.stats.nonSilentFrames > 4800);
        assert.equal(await page.getAttribute('#play', 'aria-label'), 'Pause');
        await page.click('#play');
        assert.equal(await page.evaluate(() => window.tamselPage.opened), 1);
        await assertTexts({
            '#song-name': 'demo.tsm', '#length': lengthText(demoFrames), '#duration': formatTime(demoFrames),
            '#step-time': '119 ms', '#repeat': 'wraps at record 992 back to record 64', '#records': '992 per track',
            '#drum-volume': '168 (-10.6 dB)',
        });
        assert.match(await text('#wraps'), /^none/);
        const instruments = {
            octave: ['3', '2', '1'],
            'note-length': ['7,000 samples (317 ms)', '20,000 samples (907 ms)', '6,000 samples (272 ms)'],
            volume: ['182 (-9.4 dB)', '138 (-13.0 dB)', '190 (-8.8 dB)'],
        };
        for (const [field, wanted] of Object.entries(instruments)) {
            assert.deepEqual(await page.locator(`.instrument .${field}`).allInnerTexts(), wanted, field);
        }
        assert.equal(await page.locator('.track').count(), 4);
        assert.equal(await page.locator('.track.silent').count(), 0);
        assert.equal(await page.locator('#message').isVisible(), false);
    });

    await check('the saved WAV has the command line\'s bytes', async () => {
        assert.ok(readFileSync(await saveExport('demo.wav')).equals(demoWav), 'the bytes differ');
        // The tool's summary says the same: tamselexport -o x.wav demo.tsm.
        assert.match(await text('#export-status'), /: 1:59\.040, peak 1\.12 dBFS, 162 samples beyond \+-1\.0\.$/);
    });

    await checkFormats();

    await check('playing delivers sound through the worklet', async () => {
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.nonSilentFrames > 24000);
        const s = await stats();
        assert.ok(s.framesPlayed >= s.nonSilentFrames);
        assert.ok(s.position > 0 && s.position < 10 * RATE, `position ${s.position}`);
        assert.equal(await page.getAttribute('#play', 'aria-label'), 'Pause');
    });

    // A second or more of playing fills the scrolling outline for the picture.
    await waitFor(() => window.tamselPage.stats.framesPlayed > 60000);
    const picture = process.env.TAMSEL_UPDATE_SCREENSHOT === '1' ? 'web/screenshot.png' : 'build-wasm/screenshot.png';
    await page.screenshot({ path: join(ROOT, picture), fullPage: true });


    await check('muting every track silences the output, unmuting brings it back', async () => {
        for (const button of await page.locator('.track .mute').all()) await button.click();
        const later = await playsWithout('nonSilentFrames');
        await page.locator('.track .solo').nth(3).click();   // solo the drums: heard despite the mutes
        await waitFor((n) => window.tamselPage.stats.nonSilentFrames > n, later.nonSilentFrames);
        await page.locator('.track .solo').nth(3).click();
        // The solo ended the drums' mute: unmuting the others leaves every track heard.
        const stillMuted = page.locator('.track .mute[aria-pressed="true"]');
        while (await stillMuted.count() > 0) await stillMuted.first().click();
        assert.equal(await page.evaluate(() => document.querySelectorAll('[aria-pressed="true"]').length), 0);
    });

    await check('pausing holds the position, seeking goes to the exact frame', async () => {
        await page.evaluate(() => document.activeElement.blur());
        await page.keyboard.press('Space');
        await waitForPaused();
        await page.waitForTimeout(200);
        const paused = await stats();
        await page.waitForTimeout(300);
        assert.equal((await stats()).framesPlayed, paused.framesPlayed);
        await seekTo(60 * RATE + 123);
        assert.equal(await text('#position'), '1:00.002');
        // A step every 5760 frames: frame 2880123 plays record 500.
        assert.equal(await text('#now-playing'), 'record 500 · pass 0');
        await page.keyboard.press('ArrowRight');
        await waitForPosition(65 * RATE + 123);
        await page.keyboard.press('Shift+ArrowLeft');
        await waitForPosition(64 * RATE + 123);
        await page.keyboard.press('Space');
        await waitFor(() => window.tamselPage.stats.position > 64 * 48000 + 123 + 4800);
        const s = await stats();
        assert.ok(s.position < 70 * RATE, `went on from the seek, at ${s.position}`);
        await page.keyboard.press('Space');
        await waitForPaused();
    });

    await check('playing to the end stops there; play then starts again from the top', async () => {
        await seekTo(demoFrames - 12000);
        await page.click('#play');
        await waitForPosition(demoFrames);
        await waitForPaused();
        assert.equal(await text('#position'), formatTime(demoFrames));
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.position > 0 && window.tamselPage.stats.position < 48000 * 5
            && window.tamselPage.position < 48000 * 5);
        await page.click('#play');
    });

    await check('repeat plays on past the end of one loop, and shows the record and pass', async () => {
        await page.click('#loop');
        await waitFor(() => document.getElementById('duration').textContent === '∞'
                            && !document.getElementById('play').disabled);
        assert.equal(await page.getAttribute('#loop', 'aria-pressed'), 'true');
        assert.equal(await text('#length'), `repeats for ever; one loop is ${lengthText(oneLoop)}`);
        await seekTo(oneLoop - 12000);
        await page.click('#play');
        await waitFor((frames) => window.tamselPage.stats.position > frames + 24000, oneLoop);
        assert.equal(await page.evaluate(() => window.tamselPage.ended), false);
        assert.equal(await page.getAttribute('#play', 'aria-label'), 'Pause');
        assert.match(await text('#now-playing'), /^record (6[4-9]|7\d) · pass 2$/);
        assert.ok(Number(await page.inputValue('#seek')) < oneLoop, 'the seek bar folds back into the loop');
        await page.click('#play');
        await page.click('#loop');
        await waitForText('duration', formatTime(demoFrames));
        assert.equal(await page.getAttribute('#loop', 'aria-pressed'), 'false');
    });

    await check('an export can be cancelled, from the keyboard too; focus goes from button to button', async () => {
        await setLoops(30);
        let downloads = 0;
        page.on('download', () => downloads++);
        await page.focus('#export');
        await page.keyboard.press('Enter');
        await waitForStatus(' % (');
        assert.equal(await page.locator('#export-progress').isVisible(), true);
        assert.equal(await page.evaluate(() => document.activeElement.id), 'export-cancel');
        await page.keyboard.press('Enter');
        assert.equal(await text('#export-status'), 'Cancelled demo.loops30.wav.');
        assert.equal(await page.evaluate(() => document.activeElement.id), 'export');
        assert.equal(await page.locator('#export-progress').isVisible(), false);
        assert.equal(await page.isDisabled('#export'), false);
        await page.waitForTimeout(300);
        assert.equal(downloads, 0);
    });

    await check('loops change the length; too many play, but saving them is refused with a message', async () => {
        await enterLoops(1);
        await waitForText('length', lengthText(oneLoop));
        assert.equal(await text('#wraps'), formatTime(demoFrames));
        await enterLoops(2147483647);
        await waitFor(() => !document.getElementById('message').hidden);
        assert.match(await text('#message'), /longer than a WAV file can hold .* It plays, but to save it/);
        assert.equal(await page.isDisabled('#play'), false);
        assert.equal(await page.isDisabled('#export'), true);
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.position > 48000 && window.tamselPage.stats.nonSilentFrames > 0);
        await page.click('#play');
        await enterLoops(0);
        await waitFor(() => document.getElementById('message').hidden && !document.getElementById('play').disabled);
    });

    await check('a song of nothing but its magic opens, plays and ends at once', async () => {
        await openSong({ name: 'bare.tsm', mimeType: 'application/octet-stream', buffer: Buffer.from('TSM') });
        await assertTexts({ '#song-name': 'bare.tsm', '#length': '0:00.000 (0 frames)', '#drum-volume': '0 (no drums in the song)' });
        assert.equal(await page.locator('.track.silent').count(), 4);
        assert.equal(await page.evaluate(() => window.tamselPage.ended), false);
        await page.click('#play');
        await waitFor(() => window.tamselPage.ended);
        await waitForPaused();
        assert.equal(await text('#position'), '0:00.000');
    });

    await checkPlayerFacts(demoWav);

    assert.deepEqual(problems, []);
    console.log('ok - no errors in the page, no requests beyond the loopback server');
} finally {
    await context.close();
    rmSync(work, { recursive: true, force: true });
}

// ---- The page as a player: keyboard, loading, playback, exports, accessibility, offline

function status() {
    return text('#export-status');
}

// The texts of the elements, each as the page shows it: { selector: text }.
async function assertTexts(wanted) {
    for (const [selector, shown] of Object.entries(wanted)) assert.equal(await text(selector), shown, selector);
}

function pressed(selector) {
    return page.getAttribute(selector, 'aria-pressed');
}

async function isPlaying() {
    return (await page.getAttribute('#play', 'aria-label')) === 'Pause';
}

// Opens a song (an action that opens one) and waits until it is ready.
async function opening(action) {
    const before = await page.evaluate(() => window.tamselPage.opened);
    await action();
    await waitFor((n) => window.tamselPage.opened > n, before);
}

function openSong(file) {
    return opening(() => page.setInputFiles('#file-input', file));
}

// Drags files over the element and drops them there.
async function dropFiles(files, selector = 'body') {
    await page.locator(selector).evaluate((target, list) => {
        const transfer = new DataTransfer();
        for (const { name, data } of list) transfer.items.add(new File([new Uint8Array(data)], name));
        for (const type of ['dragover', 'drop']) {
            target.dispatchEvent(new DragEvent(type, { bubbles: true, cancelable: true, dataTransfer: transfer }));
        }
    }, files.map(({ name, buffer }) => ({ name, data: [...buffer] })));
}

async function enterLoops(loops) {
    await page.fill('#loops', String(loops));
    await page.press('#loops', 'Enter');
}

async function setLoops(loops) {
    await enterLoops(loops);
    await waitFor(() => document.getElementById('length').textContent.includes('frames'));
}

// Moves the seek bar as a drag ends there, and waits for the player to follow.
async function seekTo(frame) {
    await page.locator('#seek').evaluate((input, to) => {
        input.value = String(to);
        input.dispatchEvent(new Event('input', { bubbles: true }));
        input.dispatchEvent(new Event('change', { bubbles: true }));
    }, frame);
    await waitForPosition(frame);
}

// WCAG's contrast ratio of two computed colours (rgb() or rgba() strings);
// a translucent colour is laid over the second.
function contrastInPage([front, back]) {
    const channels = (color) => color.match(/[\d.]+/g).map(Number);
    const [br, bg, bb] = channels(back);
    const [fr, fg, fb, alpha = 1] = channels(front);
    const mixed = [fr * alpha + br * (1 - alpha), fg * alpha + bg * (1 - alpha), fb * alpha + bb * (1 - alpha)];
    const luminance = (rgb) => {
        const [r, g, b] = rgb.map((v) => {
            const c = v / 255;
            return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const [light, dark] = [luminance(mixed), luminance([br, bg, bb])].sort((x, y) => y - x);
    return (light + 0.05) / (dark + 0.05);
}

// Pairs of computed colours that must differ by 3:1: the focus ring and a
// field's border against the panel, the drop target's border against the page.
async function contrastPairs() {
    await page.focus('#loops');
    const pairs = await page.evaluate(() => {
        const style = (selector, pseudo) => getComputedStyle(document.querySelector(selector), pseudo);
        const panel = style('.player').backgroundColor;
        document.body.classList.add('dragging');
        const drop = style('body', '::after').borderTopColor;
        document.body.classList.remove('dragging');
        return {
            'focus ring': [style('#loops').outlineColor, panel],
            'field border': [style('#tick').borderTopColor, panel],
            'drop target': [drop, style('html').backgroundColor],
        };
    });
    await page.evaluate(() => document.activeElement.blur());
    return pairs;
}

async function seriousAxeFindings() {
    await page.addScriptTag({ path: join(NPM_DIR, 'node_modules/axe-core/axe.min.js') });
    const found = await page.evaluate(async () => (await window.axe.run(document)).violations
        .filter((v) => v.impact === 'serious' || v.impact === 'critical')
        .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
    return found;
}

// ---- Saving in every format, as the tool writes it

// The file a format's own decoder makes of a saved file: a WAV file.
function decoded(file) {
    const out = `${file}.decoded.wav`;
    const [program, args] = {
        flac: ['flac', ['-d', '-s', '-f', '-o', out, file]],
        ogg: ['oggdec', ['-Q', '-o', out, file]],
        opus: ['opusdec', ['--quiet', file, out]],
        mp3: ['lame', ['--quiet', '--decode', file, out]],
    }[file.slice(file.lastIndexOf('.') + 1)];
    execFileSync(program, args, { stdio: 'pipe' });
    return readFileSync(out);
}

// A WAV file's sample bytes and frame count, found by walking its chunks.
function wavSamples(bytes) {
    let blockAlign = 0;
    for (let at = 12; at + 8 <= bytes.length;) {
        const id = bytes.toString('latin1', at, at + 4);
        const size = bytes.readUInt32LE(at + 4);
        if (id === 'fmt ') blockAlign = bytes.readUInt16LE(at + 20);
        if (id === 'data') {
            const data = bytes.subarray(at + 8, Math.min(bytes.length, at + 8 + size));
            return { data, frames: data.length / blockAlign };
        }
        at += 8 + size + (size & 1);
    }
    throw new Error('no data chunk');
}

// The tool's file for the song with args, written to out.
function toolFile(song, args, out) {
    execFileSync(TOOL, ['-q', '--force', ...args, '-o', out, song], { stdio: 'pipe' });
    return out;
}

// Sets the page's save controls, saves, and gives the path of the download,
// checking its name.
async function saveFromPage({ format, quality = '', level = 'none', value = '', fade = '0', stems = false }, name) {
    await page.selectOption('#export-format', format);
    if (await page.isEnabled('#export-quality')) await page.fill('#export-quality', quality);
    await page.selectOption('#export-level', level);
    if (level !== 'none') await page.fill('#export-level-value', value);
    await page.fill('#export-fade', fade);
    await page.setChecked('#export-stems', stems);
    return saveExport(name);
}

// Saves with the controls as they are and gives the path of the download,
// checking its name and the status line that follows it.
async function saveExport(name) {
    const [download] = await Promise.all([page.waitForEvent('download', { timeout: 120000 }), page.click('#export')]);
    assert.equal(download.suggestedFilename(), name);
    const saved = join(work, `page-${name}`);
    await download.saveAs(saved);
    await waitForStatus(`Saved ${name}`);
    return saved;
}

async function checkFormats() {
    const song = join(work, 'short.tsm');
    copyFileSync(join(ROOT, 'examples/short.tsm'), song);
    await openSong(song);

    await check('saving: a bad level is a message; WAV has the tool\'s bytes, FLAC its samples, Ogg, Opus and MP3 its frames', async () => {
        await page.selectOption('#export-level', 'normalize');
        await page.fill('#export-level-value', '4');
        await page.click('#export');
        await waitFor(() => document.getElementById('message').textContent.includes('from -96 to 0'));
        const cases = [
            { choices: { format: 'wav16', level: 'normalize', value: '-2.5' }, name: 'short.peak-2.5dBFS.wav',
              args: ['-f', 'wav16', '--normalize=-2.5'] },
            { choices: { format: 'flac' }, name: 'short.flac', args: ['-f', 'flac'] },
            { choices: { format: 'flac24', level: 'gain', value: '-3', fade: '2' }, name: 'short.gain-3dB.fade2s.flac',
              args: ['-f', 'flac24', '--gain', '-3', '--fade', '2'] },
            { choices: { format: 'ogg', quality: '3' }, name: 'short.ogg', args: ['-f', 'ogg', '--quality', '3'] },
            { choices: { format: 'opus', level: 'loudness', value: '-16' }, name: 'short.-16LUFS.opus',
              args: ['-f', 'opus', '--loudness', '-16'] },
            { choices: { format: 'mp3' }, name: 'short.mp3', args: ['-f', 'mp3'] },
        ];
        for (const c of cases) {
            const saved = await saveFromPage(c.choices, c.name);
            const tool = toolFile(song, c.args, join(work, `tool-${c.name}`));
            if (c.choices.format.startsWith('wav')) {
                assert.ok(readFileSync(saved).equals(readFileSync(tool)), `${c.name}: the bytes differ`);
                continue;
            }
            const wanted = wavSamples(decoded(tool));
            const got = wavSamples(decoded(saved));
            const frames = SHORT_FRAMES + (c.choices.fade ? 2 * RATE : 0);
            assert.equal(got.frames, frames, `${c.name}: frames`);
            assert.equal(wanted.frames, frames, `${c.name}: the tool's frames`);
            if (c.choices.format.startsWith('flac')) assert.ok(got.data.equals(wanted.data), `${c.name}: samples differ`);
        }
        assert.match(await status(), /^Saved short\.mp3 \([\d.]+ KiB\): 0:26\.600, peak -?[\d.]+ dBFS, /);
    });

    await check('a muted save is the tool\'s --mute; stems zip as the tool\'s four files, which add up to the mix', async () => {
        await page.locator('.track .mute').nth(0).click();
        const muted = await saveFromPage({ format: 'wav16' }, 'short.without-1.wav');
        assert.ok(readFileSync(muted).equals(readFileSync(toolFile(song, ['-f', 'wav16', '--mute', '1'], join(work, 'tool-muted.wav')))),
                  'the muted save differs from the tool\'s');
        const zip = await saveFromPage({ format: 'wav', stems: true }, 'short.stems.zip');
        const stems = join(work, 'stems');
        mkdirSync(stems);
        execFileSync('python3', ['-m', 'zipfile', '-e', zip, stems]);
        const names = ['short.track1.wav', 'short.track2.wav', 'short.track3.wav', 'short.drums.wav'];
        assert.deepEqual(readdirSync(stems).sort(), [...names].sort());
        execFileSync(TOOL, ['-q', '--force', '--stems', '-d', join(work, 'tool-stems'), song], { stdio: 'pipe' });
        const mix = wavSamples(readFileSync(toolFile(song, [], join(work, 'tool-mix.wav')))).data;
        const sum = new Float64Array(mix.length / 4);
        for (const name of names) {
            const bytes = readFileSync(join(stems, name));
            assert.ok(bytes.equals(readFileSync(join(work, 'tool-stems', name))), `${name} differs from the tool's`);
            const data = wavSamples(bytes).data;
            for (let i = 0; i < sum.length; i++) sum[i] += data.readFloatLE(4 * i);
        }
        const worst = sum.reduce((most, value, i) => Math.max(most, Math.abs(value - mix.readFloatLE(4 * i))), 0);
        assert.ok(worst < 1e-6, `the zip's stems add up to the mix within ${worst}`);
        assert.equal((await status()).split('\n').length, 5);
        await page.locator('.track .mute').nth(0).click();
        await page.setChecked('#export-stems', false);
        await page.selectOption('#export-format', 'wav');
    });
    await openSong(join(ROOT, 'examples/demo.tsm'));
}

async function checkPlayerFacts(demoWav) {
    const demo = join(ROOT, 'examples/demo.tsm');
    const demoBytes = readFileSync(demo);
    await openSong(demo);
    await setLoops(0);

    await check('keyboard: controls keep their keys, the seek bar steps 5 s', async () => {
        for (const selector of ['.track .mute >> nth=0', '#export-stems']) {
            const control = page.locator(selector);
            await control.focus();
            await page.keyboard.press('Space');
            const on = selector === '#export-stems' ? String(await control.isChecked())
                : await control.getAttribute('aria-pressed');
            assert.equal(on, 'true', `Space presses ${selector}`);
            assert.equal(await isPlaying(), false, `Space on ${selector} does not play`);
            await page.keyboard.press('Space');
        }
        await page.focus('#seek');
        await page.keyboard.press('Home');
        await waitForPosition(0);
        await page.keyboard.press('ArrowUp');
        await waitForPosition(5 * RATE);
        await page.keyboard.press('ArrowDown');
        await waitForPosition(0);
    });

    await check('loading: files that are no song keep the open song; damaged songs warn; the drop zone opens', async () => {
        const header = Buffer.alloc(1048);
        header.write('TSM');
        header.writeInt32LE(-1307354499, 20);
        const png = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13]);
        const cases = [
            { drop: [{ name: 'notes.txt', buffer: Buffer.from('hello, not a song') }],
              message: '"notes.txt" is not a TSM song: the file does not start with the letters TSM. "demo.tsm" stays open.' },
            { drop: [{ name: 'picture.png', buffer: png }],
              message: '"picture.png" is not a TSM song: the file does not start with the letters TSM. "demo.tsm" stays open.' },
            { drop: [{ name: 'empty.tsm', buffer: Buffer.alloc(0) }],
              message: '"empty.tsm" is empty, not a TSM song. "demo.tsm" stays open.' },
            { drop: [{ name: 'cut.tsm', buffer: demoBytes.subarray(0, 100) }],
              warnings: ['The file is 100 bytes, shorter than the 16920 its header says; the missing bytes play as zeros.'] },
            { drop: [{ name: 'bad.tsm', buffer: header }],
              warnings: ['The header\'s record count, -1307354499 (0xB2135A7D in the file), is out of range: no records play.'],
              facts: { '#records': '-1307354499 (0xB2135A7D in the file) in the header (none play)' } },
            { drop: [{ name: 'short.tsm', buffer: readFileSync(join(ROOT, 'examples/short.tsm')) }], on: '#drop-zone',
              warnings: [], facts: { '#length': lengthText(SHORT_FRAMES), '#step-time': '99 ms' } },
            { drop: [{ name: 'demo.tsm', buffer: demoBytes }, { name: 'short.tsm', buffer: Buffer.from('TSM') }],
              warnings: ['2 files were dropped; only the first, "demo.tsm", is opened.'] },
        ];
        for (const c of cases) {
            if (c.message) {
                await dropFiles(c.drop);
                await waitForText('message', c.message);
                assert.equal(await text('#song-name'), 'demo.tsm');
                assert.equal(await page.locator('#song').isVisible(), true);
                continue;
            }
            await opening(() => dropFiles(c.drop, c.on));
            await assertTexts({ '#song-name': c.drop[0].name, ...c.facts });
            assert.deepEqual(await page.locator('#song-warnings li').allInnerTexts(), c.warnings);
        }
        assert.equal(await page.locator('body.dragging').count(), 0);
        assert.equal(await page.locator('#song-warnings').isVisible(), true);
        await page.locator('.track .solo').nth(2).focus();
        await openSong(demo);
        assert.equal(await page.evaluate(() => document.activeElement.getAttribute('aria-label')), 'Solo Track 3');
        assert.equal(await page.locator('#song-warnings').isVisible(), false);
    });

    await check('playback: loops change while playing keeps the place; paused draws nothing; title and media session', async () => {
        assert.equal(await page.title(), 'demo.tsm · Tamsel');
        assert.equal(await page.evaluate(() => navigator.mediaSession.metadata.title), 'demo.tsm');
        await page.click('#play');
        await waitFor(() => window.tamselPage.position > 2 * 48000);
        await setLoops(1);
        await waitFor(() => window.tamselPage.stats.position > 3 * 48000 && window.tamselPage.stats.playing);
        assert.equal(await isPlaying(), true);
        assert.ok((await stats()).position < 10 * RATE, 'went on from where it was');
        await page.locator('#volume').evaluate((slider) => {
            slider.value = '50';
            slider.dispatchEvent(new Event('input', { bubbles: true }));
        });
        assert.equal(await page.getAttribute('#volume', 'aria-valuetext'), '50 %');
        // Less motion asked for: the meter is drawn a few times a second, not at the screen's rate.
        await page.emulateMedia({ reducedMotion: 'reduce' });
        const calm = await page.evaluate(() => window.animationFrames);
        await page.waitForTimeout(1000);
        assert.ok(await page.evaluate((n) => window.animationFrames - n, calm) <= 6, 'drawn too often with less motion');
        await page.emulateMedia({ reducedMotion: 'no-preference' });
        await page.click('#play');
        await page.waitForTimeout(300);
        const frames = await page.evaluate(() => window.animationFrames);
        await page.waitForTimeout(2000);
        assert.equal(await page.evaluate(() => window.animationFrames), frames, 'animation frames while paused');
        await page.locator('.track .mute').nth(0).click();
        await page.locator('.track .solo').nth(0).click();
        assert.deepEqual([await pressed('.track .mute >> nth=0'), await pressed('.track .solo >> nth=0')], ['false', 'true']);
        await page.locator('.track .mute').nth(0).click();
        assert.deepEqual([await pressed('.track .mute >> nth=0'), await pressed('.track .solo >> nth=0')], ['true', 'false']);
        await page.locator('.track .mute').nth(0).click();
        await setLoops(0);
    });

    await check('exports: a quiet status of its own song, stale lines cleared, never stopped without a word', async () => {
        await page.evaluate(() => {
            window.statusChanges = 0;
            new MutationObserver(() => window.statusChanges++)
                .observe(document.getElementById('export-status'), { childList: true, characterData: true, subtree: true });
        });
        await setLoops(3);
        await page.click('#export');
        await waitForStatus('Saved demo.loops3.wav');
        assert.ok(await page.evaluate(() => window.statusChanges) <= 13, 'the live region changed too often');
        await setLoops(0);
        assert.equal(await status(), '');
        await setLoops(30);
        await page.click('#export');
        await waitForStatus(' % (');
        await openSong(join(ROOT, 'examples/short.tsm'));
        assert.equal(await status(), 'Stopped saving demo.loops30.wav: "short.tsm" was opened.');
        await setLoops(0);
        await openSong(demo);
    });

    await check('a stereo width of 0 plays the stereo short song mono, 100 its own stereo again', async () => {
        await openSong(join(ROOT, 'examples/short.tsm'));
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.sidedFrames > 4800);
        await page.fill('#export-stereo', '0');
        await page.dispatchEvent('#export-stereo', 'change');
        const mono = await playsWithout('sidedFrames');
        await page.fill('#export-stereo', '100');
        await page.dispatchEvent('#export-stereo', 'change');
        await waitFor((n) => window.tamselPage.stats.sidedFrames > n, mono.sidedFrames);
        await openSong(demo);
    });

    await check('accessibility: 3:1 borders and focus ring, light and dark; forced colours; phone targets, no sideways scrolling; axe', async () => {
        for (const scheme of ['light', 'dark']) {
            await page.emulateMedia({ colorScheme: scheme });
            for (const [what, pair] of Object.entries(await contrastPairs())) {
                const ratio = await page.evaluate(contrastInPage, pair);
                assert.ok(ratio >= 3, `${scheme}: ${what} ${pair.join(' on ')} is ${ratio.toFixed(2)}:1`);
            }
            assert.deepEqual(await seriousAxeFindings(), [], `${scheme}: serious accessibility findings`);
            await page.screenshot({ path: join(ROOT, `build-wasm/screenshot-${scheme}.png`), fullPage: true });
        }
        await page.emulateMedia({ colorScheme: 'light', forcedColors: 'active' });
        await page.locator('.track .mute').nth(1).click();
        const fills = await page.evaluate(() => [...document.querySelectorAll('.track .mute')].slice(0, 3)
            .map((button) => getComputedStyle(button).backgroundColor));
        assert.notEqual(fills[1], fills[0], 'a pressed Mute looks like the others in forced colours');
        assert.equal(fills[0], fills[2]);
        await page.locator('.track .mute').nth(1).click();
        await page.emulateMedia({ forcedColors: 'none' });
        assert.equal(await page.getAttribute('#tracks', 'aria-labelledby'), 'tracks-heading');
        assert.deepEqual(await page.locator('canvas').evaluateAll((all) => [...new Set(all.map((c) => c.getAttribute('role')))]),
                         ['meter', 'img']);
        assert.ok(await page.getAttribute('#meter', 'aria-valuenow'));
        await page.setViewportSize({ width: 360, height: 740 });
        const small = await page.evaluate(() => {
            const inputs = 'input:not([type="file"]):not([type="checkbox"])';   // a check box's label is its target
            const targets = [...document.querySelectorAll(`button, select, ${inputs}, label`)]
                .filter((el) => el.getClientRects().length > 0 && !el.querySelector(`select, ${inputs}`));
            return targets.map((el) => [el.id || el.className || el.textContent.trim(), el.getBoundingClientRect()])
                .filter(([, box]) => box.width < 44 || box.height < 44).map(([name, box]) => `${name} ${box.width}x${box.height}`);
        });
        assert.deepEqual(small, []);
        const widths = await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]);
        assert.ok(widths[0] <= widths[1], `page ${widths[0]} px wide in a ${widths[1]} px window`);
        const phonePicture = process.env.TAMSEL_UPDATE_SCREENSHOT === '1' ? 'web/screenshot-phone.png'
            : 'build-wasm/screenshot-phone.png';
        await page.screenshot({ path: join(ROOT, phonePicture), fullPage: true });
        await page.setViewportSize({ width: 1000, height: 900 });
    });

    await check('offline: after the first load the page opens and saves without a network, FLAC too', async () => {
        await waitFor(() => navigator.serviceWorker.controller !== null);
        await context.setOffline(true);
        try {
            await page.reload();
            await openSong(demo);
            assert.ok(readFileSync(await saveExport('demo.wav')).equals(demoWav), 'the bytes differ');
            // The codecs' module, fetched by an earlier save, was kept too.
            await page.selectOption('#export-format', 'flac');
            await saveExport('demo.flac');
        } finally {
            await context.setOffline(false);
        }
    });
}
