// Saving the WAV: runs the export worker, shows its progress, offers the
// result as a download with the tool's summary, and cancels by ending the
// worker. The worker is made once and kept for every later export (and
// made anew after a cancel), so saving goes on working offline.
import { formatBytes, formatCount, formatTime } from './format.js';

const DEFAULT_TICK_MS = 20;
// The status, a live region, is rewritten at the start, at every tenth of
// the render and at the end, so a screen reader is not flooded.
const STATUS_STEPS = 10;

// The output name: the song's name cut at its last "." (if any), as the
// command line names its files, then what sets this file apart from the
// plain one (loops, a tick other than 20 ms, a normalised peak), then ".wav".
export function exportFileName(songFileName, { loops = 0, tickMs = DEFAULT_TICK_MS, normalizeDbfs = null } = {}) {
    const dot = songFileName.lastIndexOf('.');
    let name = dot >= 0 ? songFileName.slice(0, dot) : songFileName;
    if (loops > 0) name += `.loops${loops}`;
    if (tickMs !== DEFAULT_TICK_MS) name += `.tick${tickMs}ms`;
    if (typeof normalizeDbfs === 'number') name += `.peak${normalizeDbfs}dBFS`;
    return `${name}.wav`;
}

// The level part of the tool's summary line: the peak, the samples beyond
// full scale, and a hint to normalise when some were.
export function levelSummary({ peakDbfs, beyondFullScale, clamped, note }, normalized) {
    const peak = Number.isFinite(peakDbfs) ? `${peakDbfs.toFixed(2)} dBFS` : '-inf dBFS';
    let text = `peak ${peak}, ${formatCount(beyondFullScale)} samples beyond ±1.0`;
    if (clamped > 0) text += `, ${formatCount(clamped)} samples clamped`;
    if ((beyondFullScale > 0 || clamped > 0) && !normalized) text += ' (try Normalise)';
    if (note) text += `, ${note}`;
    return text;
}

export class Exporter {
    constructor({ button, cancelButton, progress, status }) {
        this.button = button;
        this.cancelButton = cancelButton;
        this.progress = progress;
        this.status = status;
        this.worker = null;
        this.job = null;        // { name, normalized } of the running export
        this.allowed = true;
        this.showsResult = false;
        this.cancelButton.addEventListener('click', () => this.cancel(`Cancelled ${this.runningName()}.`));
    }

    busy() {
        return this.job !== null;
    }

    // False while the settings make a render no WAV file can hold.
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

    // songBytes: a Uint8Array of the song file, copied for the worker.
    // sixteenBit: 16-bit samples instead of 32-bit float; normalizeDbfs: a
    // peak level to bring the render to, or null.
    start(songBytes, songName, { loops, tickMs, sixteenBit = false, normalizeDbfs = null }) {
        if (this.busy()) this.cancel('');
        const bytes = songBytes.slice().buffer;
        this.job = { name: exportFileName(songName, { loops, tickMs, normalizeDbfs }),
                     normalized: typeof normalizeDbfs === 'number', step: -1 };
        this.ensureWorker().postMessage({ bytes, loops, tickMs, sixteenBit, normalizeDbfs }, [bytes]);
        this.setBusy(true);
        this.progress.value = 0;
        this.show(`Saving ${this.job.name}: measuring the song…`);
    }

    onMessage(message) {
        if (!this.job) return;
        if (message.type === 'measuring') {
            this.show(`Saving ${this.job.name}: finding the peak…`);
        } else if (message.type === 'progress') {
            this.showProgress(message.done, message.total);
        } else if (message.type === 'done') {
            this.download(message.blob, this.job.name);
            const { frames } = message.summary;
            this.finish(`Saved ${this.job.name}: ${formatTime(frames)}, ${formatCount(frames)} frames, `
                + `${formatBytes(message.blob.size)}, ${levelSummary(message.summary, this.job.normalized)}.`);
            this.showsResult = true;
        } else if (message.type === 'error') {
            this.finish(`Export failed: ${message.message}.`, true);
        }
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
