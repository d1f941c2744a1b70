// The page: opening a song, the player's controls, the song's facts, the
// tracks and the export, wired together. The heavy work happens in the
// workers (player-worker.js, export-worker.js) and the audio worklet.
import { MAX_FILE_BYTES, SAMPLE_RATE, WAV_MAX_FRAMES } from './constants.js';
import { Exporter } from './exporter.js';
import { formatBytes, formatTime } from './format.js';
import { showInstruments, showMeasuring, showSongFacts, showTimeline } from './info-view.js';
import { songWarnings } from './song-warnings.js';
import { MediaControls } from './media-controls.js';
import { MeterView } from './meter-view.js';
import { Player } from './player.js';
import { TracksView } from './tracks-view.js';

const NOT_A_SONG = 2;
const SEEK_STEP_FRAMES = 5 * SAMPLE_RATE;
const FINE_SEEK_STEP_FRAMES = SAMPLE_RATE;

const byId = (id) => document.getElementById(id);
const ui = {
    dropZone: byId('drop-zone'),
    fileInput: byId('file-input'),
    message: byId('message'),
    song: byId('song'),
    songName: byId('song-name'),
    play: byId('play'),
    loop: byId('loop'),
    seek: byId('seek'),
    nowPlaying: byId('now-playing'),
    position: byId('position'),
    duration: byId('duration'),
    loops: byId('loops'),
    tick: byId('tick'),
    volume: byId('volume'),
    loading: byId('loading'),
    warnings: byId('song-warnings'),
};

// What the page knows; window.tamselPage exposes it to the browser test.
const state = {
    songBytes: null,
    songName: '',
    opened: 0,          // songs opened so far
    frames: 0,          // length for the current loops and tick (one loop with repeat); 0 while unknown or too long
    endless: false,     // repeat is on: the render plays on for ever
    loopPoint: 0,       // with repeat, the first loop point: past frames, the seek bar folds back to it
    position: 0,
    playState: null,    // { record, pass, notes } of the frame playing
    ended: false,
    seeking: false,
    configureCount: 0,  // settings asked for
    configuredCount: 0, // settings the player has
    playAfterConfigure: false,
    unbounded: false,   // too long to measure: plays, but is not saved
    generation: 0,      // reports of the worklet from before the last seek are stale
    stats: { framesPlayed: 0, nonSilentFrames: 0, underrunFrames: 0 },
};
window.tamselPage = state;

const meter = new MeterView(byId('meter'), byId('scope'));
const player = new Player({
    onProgress: (report) => {
        state.stats = report;
        // Reports sent before a pause reached the worklet would start the
        // meter's fall again; paused, nothing is drawn.
        if (report.playing && player.playing) meter.add(report);
        if (state.seeking || report.generation < state.generation) return;
        showPosition(report.position);
        if (report.state) showPlayState(report.state);
    },
    onEnded: (position) => {
        state.ended = true;
        showPosition(position);
        showPlaying(false);
        meter.clear();
    },
    onFailure: (text) => showMessage(`The player stopped: ${text}. Reload the page to go on.`),
});
// What is heard is what is saved: a change of mutes clears the last result.
const tracks = new TracksView(byId('tracks'), (mask) => {
    player.setMutedTracks(mask);
    exporter.settingsChanged();
});
const exporter = new Exporter({
    button: byId('export'),
    cancelButton: byId('export-cancel'),
    progress: byId('export-progress'),
    status: byId('export-status'),
});

const mediaSession = new MediaControls({
    play: () => { if (!player.playing) togglePlay(); },
    pause: () => { if (player.playing) pause(); },
    seekTo: (frame) => seekTo(frame),
    seekBy: (frames) => seekBy(frames),
});

function showMessage(text) {
    ui.message.textContent = text;
    ui.message.hidden = !text;
}

function showPosition(frame) {
    state.position = frame;
    ui.position.textContent = formatTime(frame);
    if (state.seeking) return;
    ui.seek.value = String(seekBarFrame(frame));
    ui.seek.setAttribute('aria-valuetext', formatTime(frame));
}

// The seek bar spans one loop; an endless render's later passes repeat the
// one after the loop point, and show there.
function seekBarFrame(frame) {
    if (!state.endless || frame < state.frames || state.frames <= state.loopPoint) return frame;
    return state.loopPoint + ((frame - state.loopPoint) % (state.frames - state.loopPoint));
}

// What the renderer plays at the frame heard: the record and pass, and which
// tracks that record started notes on.
function showPlayState(playState) {
    state.playState = playState;
    ui.nowPlaying.textContent = playState ? `record ${playState.record} · pass ${playState.pass}` : '';
    tracks.showNotes(playState ? playState.notes : null);
}

function pause() {
    player.pause();
    showPlaying(false);
    meter.clear();
}

function showPlaying(playing) {
    ui.play.textContent = playing ? '❚❚' : '▶';
    ui.play.setAttribute('aria-label', playing ? 'Pause' : 'Play');
    mediaSession.showPlaying(playing, seekBarFrame(state.position));
}

function enablePlayback(enabled) {
    ui.play.disabled = !enabled;
    ui.seek.disabled = !enabled;
    exporter.allow(enabled && !state.unbounded);
}

// ---- Opening a song --------------------------------------------------------

// notes: lines to show with the song, as the tool's warnings are.
async function openFile(file, notes = []) {
    if (!file) return;
    const kept = state.songBytes ? ` "${state.songName}" stays open.` : '';
    if (file.size > MAX_FILE_BYTES) {
        showMessage(`"${file.name}" is ${formatBytes(file.size)}: too large to be a song this page can open `
            + `(at most ${formatBytes(MAX_FILE_BYTES)}).${kept}`);
        return;
    }
    showLoading(file.name);
    let bytes;
    let song;
    try {
        bytes = new Uint8Array(await file.arrayBuffer());
        song = await player.open(bytes.slice().buffer);
    } catch (error) {
        showMessage(cannotOpen(file, error) + kept);
        return;
    } finally {
        showLoading('');
    }
    pause();
    if (exporter.busy()) exporter.cancel(`Stopped saving ${exporter.runningName()}: "${file.name}" was opened.`);
    state.songBytes = bytes;
    state.songName = file.name;
    state.ended = false;
    showMessage('');
    ui.songName.textContent = file.name;
    showWarnings([...songWarnings(song.info, bytes.length), ...notes]);
    showMeasuring();
    byId('version').textContent = `Library ${song.version}, compiled to WebAssembly.`;
    ui.song.hidden = false;
    showSongFacts(song.info, song.tracksWithNotes);
    showInstruments(song.info, song.shapes, song.tracksWithNotes);
    tracks.show(song.tracksWithNotes);
    await player.setMutedTracks(0);
    meter.reset();
    await applySettings();
    state.opened++;
}

function cannotOpen(file, error) {
    if (error.status === NOT_A_SONG) {
        return file.size === 0 ? `"${file.name}" is empty, not a TSM song.`
            : `"${file.name}" is not a TSM song: the file does not start with the letters TSM.`;
    }
    if (error.status === undefined) return `Could not read "${file.name}": ${error.message}.`;
    return `Could not open "${file.name}": ${error.message}.`;
}

// While a file is read and opened (the first one also waits for the
// library to load): its name, at once, so a slow link shows something.
function showLoading(name) {
    ui.loading.textContent = name ? `Opening "${name}"…` : '';
    ui.loading.hidden = !name;
    document.body.setAttribute('aria-busy', String(Boolean(name)));
}

function showWarnings(lines) {
    ui.warnings.replaceChildren(...lines.map((line) => {
        const item = document.createElement('li');
        item.textContent = line;
        return item;
    }));
    ui.warnings.hidden = lines.length === 0;
}

// ---- Loops and tick --------------------------------------------------------

function readSettings() {
    const loops = Number(ui.loops.value);
    const tickMs = Number(ui.tick.value);
    if (ui.loops.value.trim() === '' || !Number.isInteger(loops) || loops < 0 || loops > 2147483647) {
        return { error: 'Loops must be a whole number from 0 up.' };
    }
    if (ui.tick.value.trim() === '' || !Number.isFinite(tickMs) || tickMs < 0) {
        return { error: 'The tick must be a number of milliseconds, 0 or more.' };
    }
    return { loops, tickMs, repeat: ui.loop.getAttribute('aria-pressed') === 'true' };
}

// New loops, tick or repeat: the same place in the song (within its new
// length), playing on if it was. A render too long for a WAV file still
// plays; only saving it is refused.
async function applySettings() {
    if (!state.songBytes) return;
    const settings = readSettings();
    if (settings.error) {
        showMessage(settings.error);
        return;
    }
    exporter.settingsChanged();
    const count = ++state.configureCount;
    state.playAfterConfigure = state.playAfterConfigure || player.playing;
    const at = seekBarFrame(state.position);
    player.pause();
    showMeasuring();
    let timeline;
    try {
        timeline = await player.configure(settings.loops, settings.tickMs, settings.repeat);
    } catch (error) {
        if (count !== state.configureCount) return;
        state.configuredCount = count;
        state.playAfterConfigure = false;
        showPlaying(false);
        enablePlayback(false);
        showMessage(`Could not prepare the song: ${error.message}.`);
        return;
    }
    if (count !== state.configureCount) return;
    state.configuredCount = count;
    showNewTimeline(timeline, settings);
    enablePlayback(true);
    if (at > 0) await seekTo(at);
    if (count !== state.configureCount) return;
    const play = state.playAfterConfigure;
    state.playAfterConfigure = false;
    if (play) await startPlaying();
}

function showNewTimeline(timeline, settings) {
    state.ended = false;
    state.generation = timeline.generation;
    state.frames = timeline.frames;
    state.endless = timeline.endless;
    state.unbounded = Boolean(timeline.tooLong);
    state.loopPoint = timeline.wraps.length > 0 ? timeline.wraps[0] : 0;
    showTimeline(timeline);
    if (timeline.tooLong) {
        const loops = settings.repeat ? 'repeat on (one loop)' : `${settings.loops} loop${settings.loops === 1 ? '' : 's'}`;
        showMessage(`With ${loops} and a ${settings.tickMs} ms tick this song is longer than a WAV file can hold `
            + `(${formatTime(WAV_MAX_FRAMES)}) or never ends. It plays, but to save it lower the loops or the tick.`);
        ui.seek.max = String(WAV_MAX_FRAMES);
        ui.duration.textContent = '—';
    } else {
        showMessage('');
        ui.seek.max = String(timeline.frames);
        ui.duration.textContent = timeline.endless ? '∞' : formatTime(timeline.frames);
    }
    showPosition(0);
    showPlayState(timeline.state);
    mediaSession.showSong(state.songName, timeline.endless || state.unbounded ? 0 : timeline.frames);
}

function toggleLoop() {
    const on = ui.loop.getAttribute('aria-pressed') !== 'true';
    ui.loop.setAttribute('aria-pressed', String(on));
    return applySettings();
}

// ---- Playing and seeking ---------------------------------------------------

// The slider's 0 to 100 % on a square law, closer to how loud it sounds.
function showVolume() {
    const percent = Number(ui.volume.value);
    ui.volume.setAttribute('aria-valuetext', `${percent} %`);
    player.setVolume((percent / 100) ** 2);
}

async function togglePlay() {
    if (ui.play.disabled) return;
    if (state.configureCount !== state.configuredCount) {
        // New settings are on their way: play or not once they are there.
        state.playAfterConfigure = !state.playAfterConfigure;
        showPlaying(state.playAfterConfigure);
        return;
    }
    if (player.playing) pause();
    else await startPlaying();
}

async function startPlaying() {
    if (state.ended || (!state.endless && !state.unbounded && state.position >= state.frames)) await seekTo(0);
    try {
        showPlaying(true);
        await player.play();
    } catch (error) {
        showPlaying(false);
        showMessage(`This browser could not start the audio: ${error.message}.`);
    }
}

// Anywhere in the song; an endless render has no end to stop at.
async function seekTo(frame) {
    if (ui.seek.disabled) return;
    const end = state.endless || state.unbounded ? Number.MAX_SAFE_INTEGER : state.frames;
    const target = Math.max(0, Math.min(end, Math.round(frame)));
    state.ended = false;
    state.generation = Infinity;   // until the worker says which generation starts here
    showPosition(target);
    const reached = await player.seek(target);
    state.generation = reached.generation;
    showPosition(reached.frame);
    showPlayState(reached.state);
    mediaSession.showPosition(seekBarFrame(reached.frame));
}

ui.play.addEventListener('click', togglePlay);
ui.loop.addEventListener('click', toggleLoop);
ui.seek.addEventListener('input', () => {
    state.seeking = true;
    ui.position.textContent = formatTime(Number(ui.seek.value));
});
ui.seek.addEventListener('change', async () => {
    state.seeking = false;
    await seekTo(Number(ui.seek.value));
});
ui.volume.addEventListener('input', showVolume);
showVolume();   // a reload may have kept the slider where it was
ui.loops.addEventListener('change', applySettings);
ui.tick.addEventListener('change', applySettings);

// ---- Saving ----------------------------------------------------------------

// Each level option's unit, default and range, as the tool takes them.
const LEVELS = {
    gain: { unit: 'dB', value: '0', min: -96, max: 96, what: 'The gain must be a number of dB from -96 to 96.' },
    normalize: { unit: 'dBFS', value: '-1', min: -96, max: 0,
                 what: 'The peak level to normalise to must be a number of dBFS from -96 to 0.' },
    loudness: { unit: 'LUFS', value: '-14', min: -70, max: 0,
                what: 'The loudness must be a number of LUFS from -70 to 0.' },
};
const LOSSY_FORMATS = ['ogg', 'opus', 'mp3'];

function showExportChoices() {
    const level = LEVELS[byId('export-level').value];
    const valueLabel = byId('export-level-value').closest('label');
    valueLabel.hidden = !level;
    if (level && byId('export-level-unit').textContent !== level.unit) {
        byId('export-level-unit').textContent = level.unit;
        byId('export-level-value').value = level.value;
        byId('export-level-value').setAttribute('aria-label', `Level in ${level.unit}`);
    }
    byId('export-quality').disabled = !LOSSY_FORMATS.includes(byId('export-format').value);
    exporter.settingsChanged();
}

// The save's own settings, or { error } with the reason.
function readExportSettings() {
    const format = byId('export-format').value;
    let quality = -1;
    const qualityText = byId('export-quality').value.trim();
    if (LOSSY_FORMATS.includes(format) && qualityText !== '') {
        quality = Number(qualityText);
        if (!Number.isInteger(quality) || quality < 0 || quality > 10) {
            return { error: 'The quality must be a whole number from 0 to 10, or empty for the default.' };
        }
    }
    const mode = byId('export-level').value;
    const level = { mode, value: 0 };
    if (LEVELS[mode]) {
        const text = byId('export-level-value').value.trim();
        level.value = Number(text);
        const { min, max, what } = LEVELS[mode];
        if (text === '' || !Number.isFinite(level.value) || level.value < min || level.value > max) return { error: what };
    }
    const fadeText = byId('export-fade').value.trim();
    const fadeSeconds = fadeText === '' ? 0 : Number(fadeText);
    if (!Number.isFinite(fadeSeconds) || fadeSeconds < 0 || fadeSeconds > 3600) {
        return { error: 'The fade must be a number of seconds from 0 to 3600.' };
    }
    const stems = byId('export-stems').checked;
    return { format, quality, level, fadeSeconds, stems, mutedTracks: stems ? 0 : tracks.mask() };
}

for (const id of ['export-format', 'export-level', 'export-level-value', 'export-quality', 'export-fade', 'export-stems']) {
    byId(id).addEventListener('change', showExportChoices);
}
showExportChoices();   // a reload may have kept the choices where they were

byId('export').addEventListener('click', () => {
    const settings = readSettings();
    const exportSettings = readExportSettings();
    const error = settings.error || exportSettings.error;
    if (error) {
        showMessage(error);
        return;
    }
    showMessage('');
    exporter.start(state.songBytes, state.songName, { loops: settings.loops, tickMs: settings.tickMs, ...exportSettings });
});

// ---- Keyboard --------------------------------------------------------------

// Whether the focused control takes the key itself, so the page's shortcut
// stays out of its way: buttons and links take Space and Enter, check boxes
// Space, the volume slider its arrows and Home and End, fields and lists
// every key. The seek bar takes none: its keys are the page's, so its
// arrows step as far as everywhere else.
function controlOwnsKey(target, key) {
    if (!(target instanceof Element) || target === ui.seek) return false;
    if (target.closest('select, textarea, [contenteditable="true"]')) return true;
    if (target instanceof HTMLInputElement) {
        if (target.type === 'range') return key !== ' ';
        if (target.type === 'checkbox' || target.type === 'radio') return key === ' ';
        return true;
    }
    if (target.closest('button, a[href], summary')) return key === ' ' || key === 'Enter';
    return false;
}

const SHORTCUTS = {
    ' ': (event) => { if (!event.repeat) togglePlay(); },
    ArrowLeft: (event) => seekBy(-seekStep(event)),
    ArrowDown: (event) => seekBy(-seekStep(event)),
    ArrowRight: (event) => seekBy(seekStep(event)),
    ArrowUp: (event) => seekBy(seekStep(event)),
    Home: () => seekTo(0),
};

function seekStep(event) {
    return event.shiftKey ? FINE_SEEK_STEP_FRAMES : SEEK_STEP_FRAMES;
}

function seekBy(frames) {
    return seekTo(state.position + frames);
}

document.addEventListener('keydown', (event) => {
    const action = SHORTCUTS[event.key];
    if (!action || ui.song.hidden || controlOwnsKey(event.target, event.key)) return;
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    event.preventDefault();
    action(event);
});

// ---- Choosing and dropping files -------------------------------------------

// The demo song shipped beside the page, opened and played at once: a first
// visit has something to hear before it has a song of its own.
async function playDemo() {
    let file;
    try {
        const response = await fetch(new URL('./demo.tsm', import.meta.url));
        if (!response.ok) throw new Error(`HTTP ${response.status}`);
        file = new File([await response.arrayBuffer()], 'demo.tsm');
    } catch (error) {
        showMessage(`Could not fetch the demo song: ${error.message}.`);
        return;
    }
    await openFile(file);
    if (state.songName === 'demo.tsm' && !player.playing) await togglePlay();
}

byId('demo').addEventListener('click', playDemo);

ui.fileInput.addEventListener('change', () => {
    openFile(ui.fileInput.files[0]);
    ui.fileInput.value = '';
});
// The whole page is the drop target while a file is dragged over it.
document.addEventListener('dragover', (event) => {
    event.preventDefault();
    document.body.classList.add('dragging');
});
document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) document.body.classList.remove('dragging');
});
document.addEventListener('drop', (event) => {
    event.preventDefault();
    document.body.classList.remove('dragging');
    const files = [...event.dataTransfer.files];
    const notes = files.length > 1
        ? [`${files.length} files were dropped; only the first, "${files[0].name}", is opened.`] : [];
    openFile(files[0], notes);
});

// ---- Offline ----------------------------------------------------------------

// Once the service worker holds the page's files, the page works offline.
// Without one (an old browser, a file:// page) it works online as before.
if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch((error) => {
        console.warn(`The page will not work offline: ${error.message}`);
    });
}
