// The save's controls: format, quality, level, fade and stems, checked as
// the tool checks its options, and the button that hands them with the
// player's loops and tick to the Exporter.
import { state } from './page-state.js';
import { byId, showMessage } from './page-ui.js';

// Each level option's unit, default and range, as the tool takes them.
const LEVELS = {
    gain: { unit: 'dB', value: '0', min: -96, max: 96, what: 'The gain must be a number of dB from -96 to 96.' },
    normalize: { unit: 'dBFS', value: '-1', min: -96, max: 0,
                 what: 'The peak level to normalise to must be a number of dBFS from -96 to 0.' },
    loudness: { unit: 'LUFS', value: '-14', min: -70, max: 0,
                what: 'The loudness must be a number of LUFS from -70 to 0.' },
};
const LOSSY_FORMATS = ['ogg', 'opus', 'mp3'];
const CONTROLS = ['export-format', 'export-level', 'export-level-value', 'export-quality', 'export-fade', 'export-stems'];

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
            if (text === '' || !Number.isFinite(level.value) || level.value < min || level.value > max) {
                return { error: what };
            }
        }
        const fadeText = byId('export-fade').value.trim();
        const fadeSeconds = fadeText === '' ? 0 : Number(fadeText);
        if (!Number.isFinite(fadeSeconds) || fadeSeconds < 0 || fadeSeconds > 3600) {
            return { error: 'The fade must be a number of seconds from 0 to 3600.' };
        }
        const stems = byId('export-stems').checked;
        return { format, quality, level, fadeSeconds, stems, mutedTracks: stems ? 0 : this.tracks.mask() };
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
        for (const id of CONTROLS) byId(id).addEventListener('change', () => this.showChoices());
        this.showChoices();   // a reload may have kept the choices where they were
        byId('export').addEventListener('click', () => this.save());
    }
}
