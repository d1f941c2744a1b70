// The save's controls: format, quality, level, fade, stereo width (heard in
// playback too) and stems, checked as
// the tool checks its options, and the button that hands them with the
// player's loops and tick to the Exporter.
import { LIMITS } from './constants.js';
import { state } from './page-state.js';
import { byId, setRange, showMessage } from './page-ui.js';

// Each level option's unit, default and range, the range as the export
// checks it.
const LEVELS = {
    gain: { unit: 'dB', value: '0', ...LIMITS.gain, what: 'The gain must be a number of dB' },
    normalize: { unit: 'dBFS', value: '-1', ...LIMITS.normalize, what: 'The peak level to normalise to must be a number of dBFS' },
    loudness: { unit: 'LUFS', value: '-14', ...LIMITS.loudness, what: 'The loudness must be a number of LUFS' },
};
const LOSSY_FORMATS = ['ogg', 'opus', 'mp3'];
const CONTROLS = ['export-format', 'export-level', 'export-level-value', 'export-quality', 'export-fade', 'export-stereo', 'export-stems'];

// The stereo width field's percent (empty is 100), or null when it is out
// of range.
function readStereoWidth() {
    const text = byId('export-stereo').value.trim();
    const percent = text === '' ? 100 : Number(text);
    const { min, max } = LIMITS.stereoWidth;
    return Number.isInteger(percent) && percent >= min && percent <= max ? percent : null;
}

export class SaveControls {
    // playback: the Playback whose loops and tick the save takes; tracks: the
    // TracksView whose mutes it takes; exporter: the Exporter that saves.
    constructor({ playback, tracks, exporter }) {
        this.playback = playback;
        this.tracks = tracks;
        this.exporter = exporter;
    }

    // The level's value field, its unit and the quality field follow the
    // choices; any change clears the last result.
    showChoices() {
        const level = LEVELS[byId('export-level').value];
        const valueLabel = byId('export-level-value').closest('label');
        valueLabel.hidden = !level;
        if (level && byId('export-level-unit').textContent !== level.unit) {
            byId('export-level-unit').textContent = level.unit;
            byId('export-level-value').value = level.value;
            byId('export-level-value').setAttribute('aria-label', `Level in ${level.unit}`);
            setRange(byId('export-level-value'), level);
        }
        byId('export-quality').disabled = !LOSSY_FORMATS.includes(byId('export-format').value);
        this.exporter.settingsChanged();
    }

    // The save's own settings, or { error } with the reason.
    read() {
        const format = byId('export-format').value;
        let quality = -1;
        const qualityText = byId('export-quality').value.trim();
        if (LOSSY_FORMATS.includes(format) && qualityText !== '') {
            quality = Number(qualityText);
            const { min, max } = LIMITS.quality;
            if (!Number.isInteger(quality) || quality < min || quality > max) {
                return { error: `The quality must be a whole number from ${min} to ${max}, or empty for the default.` };
            }
        }
        const mode = byId('export-level').value;
        const level = { mode, value: 0 };
        if (LEVELS[mode]) {
            const text = byId('export-level-value').value.trim();
            level.value = Number(text);
            const { min, max, what } = LEVELS[mode];
            if (text === '' || !Number.isFinite(level.value) || level.value < min || level.value > max) {
                return { error: `${what} from ${min} to ${max}.` };
            }
        }
        const fadeText = byId('export-fade').value.trim();
        const fadeSeconds = fadeText === '' ? 0 : Number(fadeText);
        const fade = LIMITS.fade;
        if (!Number.isFinite(fadeSeconds) || fadeSeconds < fade.min || fadeSeconds > fade.max) {
            return { error: `The fade must be a number of seconds from ${fade.min} to ${fade.max}.` };
        }
        const stereoWidth = readStereoWidth();
        if (stereoWidth === null) {
            const width = LIMITS.stereoWidth;
            return { error: `The stereo width must be a whole number of percent from ${width.min} to ${width.max}.` };
        }
        const stems = byId('export-stems').checked;
        return { format, quality, level, fadeSeconds, stereoWidth, stems, mutedTracks: stems ? 0 : this.tracks.mask() };
    }

    save() {
        const settings = this.playback.readSettings();
        const saveSettings = this.read();
        const error = settings.error || saveSettings.error;
        if (error) {
            showMessage(error);
            return;
        }
        showMessage('');
        this.exporter.start(state.songBytes, state.songName,
            { loops: settings.loops, tickMs: settings.tickMs, ...saveSettings });
    }

    listen() {
        setRange(byId('export-quality'), LIMITS.quality);
        setRange(byId('export-fade'), LIMITS.fade);
        setRange(byId('export-stereo'), LIMITS.stereoWidth);
        for (const id of CONTROLS) byId(id).addEventListener('change', () => this.showChoices());
        // What is heard is what is saved: the width applies to playback too.
        byId('export-stereo').addEventListener('change', () => {
            const percent = readStereoWidth();
            if (percent !== null) this.playback.player.setStereoWidth(percent);
        });
        this.showChoices();   // a reload may have kept the choices where they were
        byId('export').addEventListener('click', () => this.save());
    }
}
