// The page: opening a song, the player's controls, the song's facts, the
// tracks and the export, wired together. The heavy work happens in the
// workers (player-worker.js, export-worker.js) and the audio worklet.
import { MAX_FILE_BYTES, SAMPLE_RATE, WAV_MAX_FRAMES } from './constants.js';
import { Exporter } from './exporter.js';
import { formatBytes, formatTime } from './format.js';
import { showInstruments, showMeasuring, showSongFacts, showTimeline } from './info-view.js';
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
};

// What the page knows; window.tamselPage exposes it to the browser test.
const state = {
    songBytes: null,
    songName: '',
    frames: 0,          // length for the current loops and tick (one loop with repeat); 0 while unknown or too long
    endless: false,     // repeat is on: the render plays on for ever
    loopPoint: 0,       // with repeat, the first loop point: past frames, the seek bar folds back to it
    position: 0,
    playState: null,    // { record, pass, notes } of the frame playing
    ended: false,
    seeking: false,
    configureCount: 0,
    generation: 0,      // reports of the worklet from before the last seek are stale
    stats: { framesPlayed: 0, nonSilentFrames: 0, underrunFrames: 0 },
};
window.tamselPage = state;

const meter = new MeterView(byId('meter'), byId('scope'));
const player = new Player({
    onProgress: (report) => {
        state.stats = report;
        meter.add(report);
        if (state.seeking || report.generation < state.generation) return;
        showPosition(report.position);
        if (report.state) showPlayState(report.state);
    },
    onEnded: (position) => {
        state.ended = true;
        showPosition(position);
        showPlaying(false);
    },
    onFailure: (text) => showMessage(`The player stopped: ${text}. Reload the page to go on.`),
});
const tracks = new TracksView(byId('tracks'), (mask) => player.setMutedTracks(mask));
const exporter = new Exporter({
    button: byId('export'),
    cancelButton: byId('export-cancel'),
    progress: byId('export-progress'),
    status: byId('export-status'),
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

function showPlaying(playing) {
    ui.play.textContent = playing ? '❚❚' : '▶';
    ui.play.setAttribute('aria-label', playing ? 'Pause' : 'Play');
}

function enablePlayback(enabled) {
    ui.play.disabled = !enabled;
    ui.seek.disabled = !enabled;
    byId('export').disabled = !enabled || exporter.busy();
}

// ---- Opening a song --------------------------------------------------------

async function openFile(file) {
    if (!file) return;
    if (file.size > MAX_FILE_BYTES) {
        showMessage(`"${file.name}" is ${formatBytes(file.size)}: too large to be a song this page can open (at most ${formatBytes(MAX_FILE_BYTES)}).`);
        return;
    }
    let bytes;
    try {
        bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
        showMessage(`Could not read "${file.name}": ${error.message}`);
        return;
    }
    let song;
    try {
        song = await player.open(bytes.slice().buffer);
    } catch (error) {
        closeSong();
        showMessage(error.status === NOT_A_SONG
            ? `"${file.name}" is not a TSM song: the file does not start with the letters TSM.`
            : `Could not open "${file.name}": ${error.message}.`);
        return;
    }
    state.songBytes = bytes;
    state.songName = file.name;
    state.ended = false;
    showMessage('');
    exporter.cancel('');
    ui.songName.textContent = file.name;
    showMeasuring();
    byId('version').textContent = `Library ${song.version}, compiled to WebAssembly.`;
    ui.song.hidden = false;
    showSongFacts(song.info, song.tracksWithNotes);
    showInstruments(song.info, song.shapes, song.tracksWithNotes);
    tracks.show(song.tracksWithNotes);
    await player.setMutedTracks(0);
    showPlaying(false);
    meter.clear();
    await applySettings();
}

function closeSong() {
    state.songBytes = null;
    state.frames = 0;
    ui.song.hidden = true;
    exporter.cancel('');
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

async function applySettings() {
    if (!state.songBytes) return;
    const settings = readSettings();
    if (settings.error) {
        showMessage(settings.error);
        return;
    }
    const count = ++state.configureCount;
    player.pause();
    showPlaying(false);
    enablePlayback(false);
    showMeasuring();
    let timeline;
    try {
        timeline = await player.configure(settings.loops, settings.tickMs, settings.repeat);
    } catch (error) {
        if (count === state.configureCount) showMessage(`Could not prepare the song: ${error.message}.`);
        return;
    }
    if (count !== state.configureCount) return;
    state.ended = false;
    state.generation = timeline.generation;
    showTimeline(timeline);
    if (timeline.tooLong) {
        state.frames = 0;
        state.endless = false;
        const loops = settings.repeat ? 'repeat on (one loop)' : `${settings.loops} loop${settings.loops === 1 ? '' : 's'}`;
        showMessage(`With ${loops} and a ${settings.tickMs} ms tick this song is longer than a WAV file can hold `
            + `(${formatTime(WAV_MAX_FRAMES)}) or never ends. Lower the loops or the tick to play or save it.`);
        ui.duration.textContent = '—';
        showPosition(0);
        showPlayState(null);
        return;
    }
    showMessage('');
    state.frames = timeline.frames;
    state.endless = timeline.endless;
    state.loopPoint = timeline.wraps.length > 0 ? timeline.wraps[0] : 0;
    ui.seek.max = String(timeline.frames);
    ui.duration.textContent = timeline.endless ? '∞' : formatTime(timeline.frames);
    showPosition(0);
    showPlayState(timeline.state);
    enablePlayback(true);
}

// Repeat on or off: the same place in the song, playing on if it was.
async function toggleLoop() {
    const on = ui.loop.getAttribute('aria-pressed') !== 'true';
    ui.loop.setAttribute('aria-pressed', String(on));
    const wasPlaying = player.playing;
    const at = seekBarFrame(state.position);
    await applySettings();
    if (ui.play.disabled) return;
    if (at > 0) await seekTo(at);
    if (wasPlaying) await togglePlay();
}

// ---- Playing and seeking ---------------------------------------------------

async function togglePlay() {
    if (ui.play.disabled) return;
    if (player.playing) {
        player.pause();
        showPlaying(false);
        return;
    }
    if (state.ended || (!state.endless && state.position >= state.frames)) await seekTo(0);
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
    const target = Math.max(0, Math.min(state.endless ? Number.MAX_SAFE_INTEGER : state.frames, Math.round(frame)));
    state.ended = false;
    state.generation = Infinity;   // until the worker says which generation starts here
    showPosition(target);
    const reached = await player.seek(target);
    state.generation = reached.generation;
    showPosition(reached.frame);
    showPlayState(reached.state);
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
ui.loops.addEventListener('change', applySettings);
ui.tick.addEventListener('change', applySettings);
byId('export').addEventListener('click', () => {
    const settings = readSettings();
    if (settings.error) {
        showMessage(settings.error);
        return;
    }
    const level = readExportLevel();
    if (level.error) {
        showMessage(level.error);
        return;
    }
    showMessage('');
    exporter.start(state.songBytes, state.songName, {
        loops: settings.loops,
        tickMs: settings.tickMs,
        sixteenBit: byId('export-format').value === 'wav16',
        normalizeDbfs: level.normalizeDbfs,
    });
});

// The normalise setting: null when off, else a level from -96 to 0 dBFS.
function readExportLevel() {
    if (!byId('export-normalize').checked) return { normalizeDbfs: null };
    const text = byId('export-dbfs').value.trim();
    const dbfs = Number(text);
    if (text === '' || !Number.isFinite(dbfs) || dbfs < -96 || dbfs > 0) {
        return { error: 'The peak level to normalise to must be a number of dBFS from -96 to 0.' };
    }
    return { normalizeDbfs: dbfs };
}

// ---- Keyboard --------------------------------------------------------------

// Fields whose own keys are left alone: the number boxes, the file picker
// and the sample format's list (whose arrows choose).
function typingInField(target) {
    return (target instanceof HTMLInputElement && ['number', 'text', 'file'].includes(target.type))
        || target instanceof HTMLSelectElement;
}

document.addEventListener('keydown', (event) => {
    if (ui.song.hidden || typingInField(event.target) || event.ctrlKey || event.metaKey || event.altKey) return;
    const step = event.shiftKey ? FINE_SEEK_STEP_FRAMES : SEEK_STEP_FRAMES;
    if (event.key === ' ') {
        event.preventDefault();
        if (!event.repeat) togglePlay();
    } else if (event.key === 'ArrowLeft') {
        event.preventDefault();
        seekTo(state.position - step);
    } else if (event.key === 'ArrowRight') {
        event.preventDefault();
        seekTo(state.position + step);
    } else if (event.key === 'Home') {
        event.preventDefault();
        seekTo(0);
    }
});
// A focused button would also take the space as a click when it is released.
document.addEventListener('keyup', (event) => {
    if (event.key === ' ' && !ui.song.hidden && !typingInField(event.target)) event.preventDefault();
});

// ---- Choosing and dropping files -------------------------------------------

ui.fileInput.addEventListener('change', () => {
    openFile(ui.fileInput.files[0]);
    ui.fileInput.value = '';
});
document.addEventListener('dragover', (event) => {
    event.preventDefault();
    ui.dropZone.classList.add('dragging');
});
document.addEventListener('dragleave', (event) => {
    if (event.relatedTarget === null) ui.dropZone.classList.remove('dragging');
});
document.addEventListener('drop', (event) => {
    event.preventDefault();
    ui.dropZone.classList.remove('dragging');
    openFile(event.dataTransfer.files[0]);
});
