// The song's facts on the page: header fields, the length and loop points
// for the chosen loops and tick, and each instrument with its waveform and
// envelope drawn small.
import { fitCanvas, drawLine } from './canvas.js';
import { formatCount, formatTime, volumeDecibels } from './format.js';
import { headerValueText, RECORDS_PLAYED } from './header-values.js';

// Notes play their samples at 22050 per second.
const NOTE_RATE = 22050;
const LONGEST_NOTE = 1 << 25;
const WRAPS_LISTED = 8;

const byId = (id) => document.getElementById(id);

export function showSongFacts(info, tracksWithNotes) {
    byId('step-time').textContent = `${formatCount(info.stepMs)} ms`;
    byId('repeat').textContent
        = `wraps at record ${headerValueText(info.repeatEnd)} back to record ${headerValueText(info.repeatStart)}`;
    const used = Math.min(Math.max(info.records, 0), RECORDS_PLAYED);
    byId('records').textContent = info.records === used
        ? `${formatCount(info.records)} per track`
        : `${headerValueText(info.records)} in the header (${used === 0 ? 'none play' : `the first ${used} play`})`;
    byId('drum-volume').textContent = tracksWithNotes & 8
        ? `${info.drumVolume} (${volumeDecibels(info.drumVolume)})`
        : `${info.drumVolume} (no drums in the song)`;
}

export function showInstruments(info, shapes, tracksWithNotes) {
    const list = byId('instruments');
    list.replaceChildren();
    info.instruments.forEach((instrument, i) => {
        const card = document.createElement('article');
        card.className = 'instrument';
        const used = (tracksWithNotes >> i) & 1 ? '' : ' (no notes)';
        card.innerHTML = `<h3>Instrument ${i + 1}${used}</h3>
            <div class="shapes">
              <canvas class="waveform" role="img" aria-label="Waveform of instrument ${i + 1}"></canvas>
              <canvas class="envelope" role="img" aria-label="Envelope of instrument ${i + 1}"></canvas>
            </div>
            <dl class="facts">
              <dt>Octave</dt><dd class="octave"></dd>
              <dt>Length</dt><dd class="note-length"></dd>
              <dt>Volume</dt><dd class="volume"></dd>
            </dl>`;
        card.querySelector('.octave').textContent = String(instrument.octave);
        card.querySelector('.note-length').textContent = describeNoteLength(instrument.length);
        card.querySelector('.volume').textContent = `${instrument.volume} (${volumeDecibels(instrument.volume)})`;
        list.append(card);
        drawWaveform(card.querySelector('.waveform'), shapes[i].waveform);
        drawEnvelope(card.querySelector('.envelope'), shapes[i].envelope);
    });
}

function describeNoteLength(length) {
    if (length < 2 || length > LONGEST_NOTE) return `${formatCount(length)} samples (silent)`;
    const ms = (length * 1000) / NOTE_RATE;
    return `${formatCount(length)} samples (${ms < 10000 ? ms.toFixed(0) + ' ms' : (ms / 1000).toFixed(1) + ' s'})`;
}

function drawWaveform(canvas, waveform) {
    const { g, width, height, scale } = fitCanvas(canvas);
    g.clearRect(0, 0, width, height);
    g.strokeStyle = '#c5ccd8';
    g.lineWidth = scale;
    g.beginPath();
    g.moveTo(0, height / 2);
    g.lineTo(width, height / 2);
    g.stroke();
    g.strokeStyle = '#2f6fdf';
    g.lineWidth = 1.5 * scale;
    drawLine(g, Array.from(waveform), width, (v) => height / 2 - (v / 128) * (height / 2 - 2 * scale));
}

// 128 is full level; values above it (up to 255) are drawn above the dashed line.
function drawEnvelope(canvas, envelope) {
    const { g, width, height, scale } = fitCanvas(canvas);
    const top = Math.max(128, ...envelope);
    const y = (v) => height - 2 * scale - (v / top) * (height - 4 * scale);
    g.clearRect(0, 0, width, height);
    g.strokeStyle = '#c5ccd8';
    g.lineWidth = scale;
    g.setLineDash([3 * scale, 3 * scale]);
    g.beginPath();
    g.moveTo(0, y(128));
    g.lineTo(width, y(128));
    g.stroke();
    g.setLineDash([]);
    g.strokeStyle = '#1b9c6b';
    g.lineWidth = 1.5 * scale;
    drawLine(g, Array.from(envelope), width, y);
}

// While the player works out the length for new settings or a new song.
export function showMeasuring() {
    byId('length').textContent = 'measuring…';
    byId('wraps').textContent = 'measuring…';
    byId('wrap-marks').replaceChildren();
}

// timeline: { frames, wraps, wrapCount, endless } from the player, or
// { tooLong }. An endless timeline is that of one loop.
export function showTimeline(timeline) {
    const marks = byId('wrap-marks');
    marks.replaceChildren();
    if (timeline.tooLong) {
        byId('length').textContent = 'too long for a WAV file, or never ends';
        byId('wraps').textContent = '—';
        return;
    }
    const length = `${formatTime(timeline.frames)} (${formatCount(timeline.frames)} frames)`;
    byId('length').textContent = timeline.endless ? `repeats for ever; one loop is ${length}` : length;
    byId('wraps').textContent = describeWraps(timeline);
    for (const frame of timeline.wraps) {
        const mark = document.createElement('span');
        mark.style.left = `calc(${(100 * frame) / Math.max(timeline.frames, 1)}% - 1px)`;
        marks.append(mark);
    }
}

function describeWraps({ wraps, wrapCount }) {
    if (wrapCount === 0) return 'none (add loops to hear the song repeat)';
    const listed = wraps.slice(0, WRAPS_LISTED).map(formatTime).join(', ');
    return wrapCount > WRAPS_LISTED ? `${listed} and ${formatCount(wrapCount - WRAPS_LISTED)} more` : listed;
}
