// The page in headless Chromium, as a user works it: open the demo, read
// its facts, save the WAV and compare it with the command line's, play,
// mute, seek, repeat for ever, ask for too many loops, open a file that is
// not a song, and look at it on a phone-sized screen. Saves screenshots in
// build-wasm/, and the README's picture, web/screenshot.png, when
// TAMSEL_UPDATE_SCREENSHOT=1.
//
// Run by web/test.sh, which serves build-web/ on the loopback address and
// sets TAMSEL_PAGE_URL, TAMSEL_NPM_DIR (where playwright-core is installed)
// and TAMSEL_TOOL (the command-line tool).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
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

try {
    const demoWav = nativeWav('demo.tsm', 0);
    const demoFrames = framesOf(demoWav);

    await page.goto(PAGE_URL);

    await check('the demo opens and its facts are shown', async () => {
        await page.setInputFiles('#file-input', join(ROOT, 'examples/demo.tsm'));
        await waitFor(() => document.getElementById('length').textContent.includes('frames'));
        assert.equal(await text('#song-name'), 'demo.tsm');
        assert.equal(await text('#length'), lengthText(demoFrames));
        assert.equal(await text('#duration'), formatTime(demoFrames));
        assert.equal(await text('#step-time'), '119 ms');
        assert.equal(await text('#repeat'), 'wraps at record 992 back to record 64');
        assert.equal(await text('#records'), '992 per track');
        assert.match(await text('#wraps'), /^none/);
        assert.equal(await text('#drum-volume'), '168 (-10.6 dB)');
        assert.deepEqual(await page.locator('.instrument .octave').allInnerTexts(), ['3', '2', '1']);
        assert.deepEqual(await page.locator('.instrument .note-length').allInnerTexts(),
                         ['7,000 samples (317 ms)', '20,000 samples (907 ms)', '6,000 samples (272 ms)']);
        assert.deepEqual(await page.locator('.instrument .volume').allInnerTexts(),
                         ['182 (-9.4 dB)', '138 (-13.0 dB)', '190 (-8.8 dB)']);
        assert.equal(await page.locator('.track').count(), 4);
        assert.equal(await page.locator('#message').isVisible(), false);
    });

    await check('the saved WAV has the command line\'s bytes', async () => {
        const [download] = await Promise.all([page.waitForEvent('download', { timeout: 60000 }), page.click('#export')]);
        assert.equal(download.suggestedFilename(), 'demo.wav');
        const saved = join(work, 'page-demo.wav');
        await download.saveAs(saved);
        const bytes = readFileSync(saved);
        assert.equal(bytes.length, demoWav.length);
        assert.ok(bytes.equals(demoWav), 'the bytes differ');
        await waitFor(() => document.getElementById('export-status').textContent.startsWith('Saved demo.wav'));
    });

    await check('a 16-bit normalised WAV has the option form\'s bytes; a bad level is a message', async () => {
        const song = join(work, 'option-demo.tsm');
        copyFileSync(join(ROOT, 'examples/demo.tsm'), song);
        const wanted = join(work, 'option-demo.wav');
        execFileSync(TOOL, ['-q', '-f', 'wav16', '--normalize=-2.5', '-o', wanted, song], { stdio: 'pipe' });
        await page.selectOption('#export-format', 'wav16');
        await page.check('#export-normalize');
        await page.fill('#export-dbfs', '4');
        await page.click('#export');
        await waitFor(() => document.getElementById('message').textContent.includes('from -96 to 0'));
        await page.fill('#export-dbfs', '-2.5');
        const [download] = await Promise.all([page.waitForEvent('download', { timeout: 60000 }), page.click('#export')]);
        assert.equal(download.suggestedFilename(), 'demo.peak-2.5dBFS.wav');
        const saved = join(work, 'page-demo16.wav');
        await download.saveAs(saved);
        assert.ok(readFileSync(saved).equals(readFileSync(wanted)), 'the bytes differ');
        await waitFor(() => document.getElementById('export-status').textContent.startsWith('Saved demo.peak-2.5dBFS.wav'));
        await page.selectOption('#export-format', 'float');
        await page.uncheck('#export-normalize');
    });

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
        // What was queued before the mute plays out; then a stretch of
        // playing (at least a fifth of a second) adds no sound.
        let muted = await stats();
        let later = muted;
        for (let tries = 0; tries < 40; tries++) {
            await page.waitForTimeout(300);
            later = await stats();
            if (later.nonSilentFrames === muted.nonSilentFrames && later.framesPlayed >= muted.framesPlayed + 9600) break;
            muted = later;
        }
        assert.ok(later.framesPlayed >= muted.framesPlayed + 9600, 'still playing');
        assert.equal(later.nonSilentFrames, muted.nonSilentFrames);
        await page.locator('.track .solo').nth(3).click();   // solo the drums: heard despite the mutes
        await waitFor((n) => window.tamselPage.stats.nonSilentFrames > n, later.nonSilentFrames);
        await page.locator('.track .solo').nth(3).click();
        for (const button of await page.locator('.track .mute').all()) await button.click();
    });

    await check('pausing holds the position, seeking goes to the exact frame', async () => {
        await page.evaluate(() => document.activeElement.blur());
        await page.keyboard.press('Space');
        await waitFor(() => document.getElementById('play').getAttribute('aria-label') === 'Play');
        await page.waitForTimeout(200);
        const paused = await stats();
        await page.waitForTimeout(300);
        assert.equal((await stats()).framesPlayed, paused.framesPlayed);
        await page.locator('#seek').evaluate((input) => {
            input.value = String(60 * 48000 + 123);
            input.dispatchEvent(new Event('input', { bubbles: true }));
            input.dispatchEvent(new Event('change', { bubbles: true }));
        });
        await waitFor(() => window.tamselPage.position === 60 * 48000 + 123);
        assert.equal(await text('#position'), '1:00.002');
        // A step every 5760 frames: frame 2880123 plays record 500.
        assert.equal(await text('#now-playing'), 'record 500 · pass 0');
        await page.keyboard.press('ArrowRight');
        await waitFor(() => window.tamselPage.position === 65 * 48000 + 123);
        await page.keyboard.press('Shift+ArrowLeft');
        await waitFor(() => window.tamselPage.position === 64 * 48000 + 123);
        await page.keyboard.press('Space');
        await waitFor(() => window.tamselPage.stats.position > 64 * 48000 + 123 + 4800);
        const s = await stats();
        assert.ok(s.position < 70 * RATE, `went on from the seek, at ${s.position}`);
        await page.keyboard.press('Space');
        await waitFor(() => document.getElementById('play').getAttribute('aria-label') === 'Play');
    });

    await check('playing to the end stops there; play then starts again from the top', async () => {
        await page.locator('#seek').evaluate((input, frame) => {
            input.value = String(frame);
            input.dispatchEvent(new Event('change', { bubbles: true }));
        }, demoFrames - 12000);
        await waitFor((frame) => window.tamselPage.position === frame, demoFrames - 12000);
        await page.click('#play');
        await waitFor((frames) => window.tamselPage.position === frames
            && document.getElementById('play').getAttribute('aria-label') === 'Play', demoFrames);
        assert.equal(await text('#position'), formatTime(demoFrames));
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.position > 0 && window.tamselPage.stats.position < 48000 * 5
            && window.tamselPage.position < 48000 * 5);
        await page.click('#play');
    });

    await check('repeat plays on past the end of one loop, and shows the record and pass', async () => {
        const oneLoop = framesOf(nativeWav('demo.tsm', 1));
        await page.click('#loop');
        await waitFor(() => document.getElementById('duration').textContent === '∞'
                            && !document.getElementById('play').disabled);
        assert.equal(await page.getAttribute('#loop', 'aria-pressed'), 'true');
        assert.equal(await text('#length'), `repeats for ever; one loop is ${lengthText(oneLoop)}`);
        await page.locator('#seek').evaluate((input, frame) => {
            input.value = String(frame);
            input.dispatchEvent(new Event('change', { bubbles: true }));
        }, oneLoop - 12000);
        await waitFor((frame) => window.tamselPage.position === frame, oneLoop - 12000);
        await page.click('#play');
        await waitFor((frames) => window.tamselPage.stats.position > frames + 24000, oneLoop);
        assert.equal(await page.evaluate(() => window.tamselPage.ended), false);
        assert.equal(await page.getAttribute('#play', 'aria-label'), 'Pause');
        assert.match(await text('#now-playing'), /^record (6[4-9]|7\d) · pass 2$/);
        assert.ok(Number(await page.inputValue('#seek')) < oneLoop, 'the seek bar folds back into the loop');
        await page.click('#play');
        await page.click('#loop');
        await waitFor((t) => document.getElementById('duration').textContent === t, formatTime(demoFrames));
        assert.equal(await page.getAttribute('#loop', 'aria-pressed'), 'false');
    });

    await check('an export can be cancelled', async () => {
        await page.fill('#loops', '30');
        await page.press('#loops', 'Enter');
        await waitFor(() => !document.getElementById('play').disabled);
        let downloads = 0;
        page.on('download', () => downloads++);
        await page.click('#export');
        await waitFor(() => document.getElementById('export-status').textContent.includes(' % ('));
        assert.equal(await page.locator('#export-progress').isVisible(), true);
        await page.click('#export-cancel');
        assert.equal(await text('#export-status'), 'Cancelled demo.loops30.wav.');
        assert.equal(await page.locator('#export-progress').isVisible(), false);
        assert.equal(await page.isDisabled('#export'), false);
        await page.waitForTimeout(300);
        assert.equal(downloads, 0);
    });

    await check('loops change the length; too many play, but saving them is refused with a message', async () => {
        const loopedFrames = framesOf(nativeWav('demo.tsm', 1));
        await page.fill('#loops', '1');
        await page.press('#loops', 'Enter');
        await waitFor((t) => document.getElementById('length').textContent === t, lengthText(loopedFrames));
        assert.equal(await text('#wraps'), formatTime(demoFrames));
        await page.fill('#loops', '2147483647');
        await page.press('#loops', 'Enter');
        await waitFor(() => !document.getElementById('message').hidden);
        assert.match(await text('#message'), /longer than a WAV file can hold .* It plays, but to save it/);
        assert.equal(await page.isDisabled('#play'), false);
        assert.equal(await page.isDisabled('#export'), true);
        await page.click('#play');
        await waitFor(() => window.tamselPage.stats.position > 48000 && window.tamselPage.stats.nonSilentFrames > 0);
        await page.click('#play');
        await page.fill('#loops', '0');
        await page.press('#loops', 'Enter');
        await waitFor(() => document.getElementById('message').hidden && !document.getElementById('play').disabled);
    });

    await check('a phone-sized screen needs no sideways scrolling', async () => {
        await page.setViewportSize({ width: 360, height: 740 });
        const widths = await page.evaluate(() => [document.documentElement.scrollWidth, window.innerWidth]);
        assert.ok(widths[0] <= widths[1], `page ${widths[0]} px wide in a ${widths[1]} px window`);
        await page.screenshot({ path: join(ROOT, 'build-wasm/screenshot-phone.png'), fullPage: true });
        await page.setViewportSize({ width: 1000, height: 900 });
    });

    await check('a song dropped on the page opens', async () => {
        const bytes = [...readFileSync(join(ROOT, 'examples/short.tsm'))];
        await page.locator('#drop-zone').evaluate((zone, data) => {
            const transfer = new DataTransfer();
            transfer.items.add(new File([new Uint8Array(data)], 'short.tsm'));
            zone.dispatchEvent(new DragEvent('dragover', { bubbles: true, cancelable: true, dataTransfer: transfer }));
            zone.dispatchEvent(new DragEvent('drop', { bubbles: true, cancelable: true, dataTransfer: transfer }));
        }, bytes);
        await waitFor(() => document.getElementById('song-name').textContent === 'short.tsm'
                            && document.getElementById('length').textContent.includes('frames'));
        assert.equal(await text('#length'), lengthText(framesOf(nativeWav('short.tsm', 0))));
        assert.equal(await text('#step-time'), '99 ms');
        assert.equal(await page.locator('#drop-zone.dragging').count(), 0);
    });

    await check('a file that is not a song gets a message', async () => {
        await page.setInputFiles('#file-input', { name: 'notes.txt', mimeType: 'text/plain', buffer: Buffer.from('hello, not a song') });
        await waitFor(() => !document.getElementById('message').hidden);
        assert.equal(await text('#message'),
                     '"notes.txt" is not a TSM song: the file does not start with the letters TSM. "short.tsm" stays open.');
        assert.equal(await page.locator('#song').isVisible(), true);
        assert.equal(await text('#song-name'), 'short.tsm');
    });

    await check('a song of nothing but its magic opens, plays and ends at once', async () => {
        await page.setInputFiles('#file-input', { name: 'bare.tsm', mimeType: 'application/octet-stream', buffer: Buffer.from('TSM') });
        await waitFor(() => document.getElementById('song-name').textContent === 'bare.tsm'
                            && document.getElementById('length').textContent.includes('frames'));
        assert.equal(await text('#length'), '0:00.000 (0 frames)');
        assert.equal(await page.locator('.track.silent').count(), 4);
        assert.equal(await text('#drum-volume'), '0 (no drums in the song)');
        assert.equal(await page.evaluate(() => window.tamselPage.ended), false);
        await page.click('#play');
        await waitFor(() => window.tamselPage.ended && document.getElementById('play').getAttribute('aria-label') === 'Play');
        assert.equal(await text('#position'), '0:00.000');
    });

    assert.deepEqual(problems, []);
    console.log('ok - no errors in the page, no requests beyond the loopback server');
} finally {
    await context.close();
    rmSync(work, { recursive: true, force: true });
}
