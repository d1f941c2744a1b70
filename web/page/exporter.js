// Saving: runs the export worker, shows its progress, offers the result as a
// download (four stems as one zip) with the tool's summary, and cancels by
// ending the worker. The worker is made once and kept for every later
// export (and made anew after a cancel), so saving goes on working offline.
import { downloadZip } from './client-zip.js';
import { formatBytes, formatTime } from './format.js';

const DEFAULT_TICK_MS = 20;
// The status, a live region, is rewritten at the start, at every tenth of
// the render and at the end, so a screen reader is not flooded.
const STATUS_STEPS = 10;
const TRACK_NAMES = ['1', '2', '3', 'drums'];

// What the page adds to a saved file's name, so that saves of one song with
// other settings do not share a name: "demo" + ".loops3.tick12.5ms" +
// ".flac". The tool names its files after the song alone; the module puts
// this tag between the song's name and the stem suffix and extension.
export function fileNameTag({ loops = 0, tickMs = DEFAULT_TICK_MS, level = { mode: 'none' }, fadeSeconds = 0,
                              stereoWidth = 100, mutedTracks = 0, stems = false }) {
    let tag = '';
    if (loops > 0) tag += `.loops${loops}`;
    if (tickMs !== DEFAULT_TICK_MS) tag += `.tick${tickMs}ms`;
    if (level.mode === 'gain') tag += `.gain${level.value}dB`;
    if (level.mode === 'normalize') tag += `.peak${level.value}dBFS`;
    if (level.mode === 'loudness') tag += `.${level.value}LUFS`;
    if (fadeSeconds > 0) tag += `.fade${fadeSeconds}s`;
    if (stereoWidth !== 100) tag += `.width${stereoWidth}`;
    if (mutedTracks !== 0 && !stems) {
        tag += `.without-${TRACK_NAMES.filter((_, t) => (mutedTracks >> t) & 1).join('-')}`;
    }
    return tag;
}

export class Exporter {
    constructor({ button, cancelButton, progress, status }) {
        this.button = button;
        this.cancelButton = cancelButton;
        this.progress = progress;
        this.status = status;
        this.worker = null;
        this.job = null;        // { name, step } of the running export
        this.allowed = true;
        this.showsResult = false;
        this.cancelButton.addEventListener('click', () => this.cancel(`Cancelled ${this.runningName()}.`));
    }

    busy() {
        return this.job !== null;
    }

    // False while the settings make a render no file can hold.
    allow(allowed) {
        this.allowed = allowed;
        this.button.disabled = this.busy() || !allowed;
    }

    // The song or its settings changed: a result line no longer speaks of
    // what would be saved now.
    settingsChanged() {
        if (this.showsResult) this.show('');
    }

    ensureWorker() {
        if (this.worker) return this.worker;
        const worker = new Worker(new URL('./export-worker.js', import.meta.url), { type: 'module' });
        worker.onmessage = (event) => this.onMessage(event.data);
        worker.onerror = (event) => {
            event.preventDefault();
            this.dropWorker();
            this.finish(`Export failed: ${event.message || 'the export worker stopped'}.`, true);
        };
        this.worker = worker;
        return worker;
    }

    dropWorker() {
        if (this.worker) this.worker.terminate();
        this.worker = null;
    }

    // songBytes: a Uint8Array of the song file, copied for the worker;
    // settings as library.js's exportAudio takes them, nameTag aside.
    start(songBytes, songName, settings) {
        if (this.busy()) this.cancel('');
        const bytes = songBytes.slice().buffer;
        this.job = { name: songName, step: -1 };
        const message = { bytes, songName, settings: { ...settings, nameTag: fileNameTag(settings) } };
        this.ensureWorker().postMessage(message, [bytes]);
        this.setBusy(true);
        this.progress.value = 0;
        this.progress.removeAttribute('value');
        this.show(`Saving ${songName}…`);
    }

    onMessage(message) {
        if (!this.job) return;
        if (message.type === 'loading-codecs') {
            this.show(`Saving ${this.job.name}: fetching the codecs…`);
        } else if (message.type === 'measuring') {
            this.show(`Saving ${this.job.name}: measuring the level…`);
        } else if (message.type === 'file') {
            this.job.name = message.count > 1 ? `${message.base}.stems.zip` : message.name;
        } else if (message.type === 'progress') {
            this.showProgress(message.done, message.total);
        } else if (message.type === 'done') {
            this.deliver(message.files);
        } else if (message.type === 'error') {
            this.finish(`Export failed: ${message.message}.`, true);
        }
    }

    // One file downloads as it is; stems go into one zip, each summed up on
    // a line of its own, as the tool prints them.
    async deliver(files) {
        const job = this.job;
        if (files.length === 1) {
            const [file] = files;
            this.download(file.blob, file.name);
            this.finish(`Saved ${file.name} (${formatBytes(file.blob.size)}): ${file.summary.text}.`);
            this.showsResult = true;
            return;
        }
        this.show(`Saving ${job.name}: packing ${files.length} files…`);
        const entries = files.map((file) => ({ name: file.name, input: file.blob, lastModified: new Date() }));
        const zip = await downloadZip(entries).blob();
        if (this.job !== job) return;   // cancelled or replaced while packing
        this.download(new Blob([zip], { type: 'application/zip' }), job.name);
        const lines = files.map((file) => `${file.name}: ${file.summary.text}`);
        this.finish(`Saved ${job.name} (${formatBytes(zip.size)}), ${files.length} files:\n${lines.join('\n')}`);
        this.showsResult = true;
    }

    showProgress(done, total) {
        const whole = Math.max(total, 1);
        this.progress.max = whole;
        this.progress.value = done;
        const step = Math.floor((STATUS_STEPS * done) / whole);
        if (step === this.job.step) return;
        this.job.step = step;
        this.show(`Saving ${this.job.name}: ${(100 * step) / STATUS_STEPS} % (${formatTime(done)} of ${formatTime(total)})`);
    }

    download(blob, name) {
        const url = URL.createObjectURL(blob);
        const link = document.createElement('a');
        link.href = url;
        link.download = name;
        document.body.append(link);
        link.click();
        link.remove();
        setTimeout(() => URL.revokeObjectURL(url), 60000);
    }

    // Stops a running export (the worker is ended: its render cannot be
    // interrupted otherwise) and says so with text.
    cancel(text) {
        if (!this.busy()) return;
        this.dropWorker();
        this.finish(text);
    }

    finish(text, isError = false) {
        this.job = null;
        this.setBusy(false);
        this.show(text, isError);
    }

    // The button pressed gives way to the other one, and focus goes with it
    // rather than falling to the page.
    setBusy(busy) {
        const focused = document.activeElement;
        this.button.disabled = busy || !this.allowed;
        this.cancelButton.hidden = !busy;
        this.progress.hidden = !busy;
        if (busy && focused === this.button) this.cancelButton.focus();
        if (!busy && focused === this.cancelButton) this.button.focus();
    }

    show(text, isError = false) {
        this.showsResult = false;
        this.status.textContent = text;
        this.status.classList.toggle('error', isError);
    }

    // The running export's file name, for a message when it is stopped.
    runningName() {
        return this.job ? this.job.name : '';
    }
}
