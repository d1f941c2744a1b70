// Opening a song: from the file chooser, a drop anywhere on the page, or
// the demo shipped beside it; the reasons a file does not open, and the
// song's warnings and facts once it does.
import { STATUS_NOT_A_SONG } from './constants.js';
import { formatBytes } from './format.js';
import { showInstruments, showMeasuring, showSongFacts } from './info-view.js';
import { state, update } from './page-state.js';
import { byId, showMessage, ui } from './page-ui.js';

// Larger files are refused before they are read: a song file this large
// would need more memory than a tab should take.
const MAX_FILE_BYTES = 256 * 1024 * 1024;

export class SongLoader {
    // playback: the Playback that plays the song opened; exporter: the
    // Exporter, whose running save a new song ends; tracks: the TracksView;
    // meter: the MeterView.
    constructor({ playback, exporter, tracks, meter }) {
        this.playback = playback;
        this.exporter = exporter;
        this.tracks = tracks;
        this.meter = meter;
    }

    // notes: lines to show with the song, as the tool's warnings are.
    async open(file, notes = []) {
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
            song = await this.playback.player.open(bytes.slice().buffer);
        } catch (error) {
            showMessage(cannotOpen(file, error) + kept);
            return;
        } finally {
            showLoading('');
        }
        this.playback.pause();
        if (this.exporter.busy()) {
            this.exporter.cancel(`Stopped saving ${this.exporter.runningName()}: "${file.name}" was opened.`);
        }
        update({ songBytes: bytes, songName: file.name, ended: false });
        showMessage('');
        this.showSong(song, notes);
        await this.playback.player.setMutedTracks(0);
        this.meter.reset();
        await this.playback.applySettings();
        update({ opened: state.opened + 1 });
    }

    showSong(song, notes) {
        ui.songName.textContent = state.songName;
        showWarnings([...song.warnings.map(sentence), ...notes]);
        showMeasuring();
        byId('version').textContent = `Library ${song.version}, compiled to WebAssembly.`;
        ui.song.hidden = false;
        showSongFacts(song.info, song.tracksWithNotes);
        showInstruments(song.info, song.shapes, song.tracksWithNotes);
        this.tracks.show(song.tracksWithNotes);
    }

    // The demo song shipped beside the page, opened and played at once: a
    // first visit has something to hear before it has a song of its own.
    async playDemo() {
        let file;
        try {
            const response = await fetch(new URL('./demo.tsm', import.meta.url));
            if (!response.ok) throw new Error(`HTTP ${response.status}`);
            file = new File([await response.arrayBuffer()], 'demo.tsm');
        } catch (error) {
            showMessage(`Could not fetch the demo song: ${error.message}.`);
            return;
        }
        await this.open(file);
        if (state.songName === 'demo.tsm' && !this.playback.player.playing) await this.playback.togglePlay();
    }

    // The file chooser, the demo button, and the whole page as the drop
    // target while a file is dragged over it.
    listen() {
        byId('demo').addEventListener('click', () => this.playDemo());
        ui.fileInput.addEventListener('change', () => {
            this.open(ui.fileInput.files[0]);
            ui.fileInput.value = '';
        });
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
            this.open(files[0], notes);
        });
    }
}

function cannotOpen(file, error) {
    if (error.status === STATUS_NOT_A_SONG) {
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

// The tool's warning as a sentence on the page.
function sentence(warning) {
    return `${warning[0].toUpperCase()}${warning.slice(1)}.`;
}

function showWarnings(lines) {
    ui.warnings.replaceChildren(...lines.map((line) => {
        const item = document.createElement('li');
        item.textContent = line;
        return item;
    }));
    ui.warnings.hidden = lines.length === 0;
}
