// Saving the WAV: runs one export worker per file, shows its progress,
// offers the result as a download, and cancels by ending the worker.
import { formatBytes, formatCount, formatTime } from './format.js';

// The output name the command line gives: the input name cut at its last
// "." (if any), then ".wav".
export function wavFileName(songFileName) {
    const dot = songFileName.lastIndexOf('.');
    return (dot >= 0 ? songFileName.slice(0, dot) : songFileName) + '.wav';
}

export class Exporter {
    constructor({ button, cancelButton, progress, status }) {
        this.button = button;
        this.cancelButton = cancelButton;
        this.progress = progress;
        this.status = status;
        this.worker = null;
        this.cancelButton.addEventListener('click', () => this.cancel('Cancelled.'));
    }

    busy() {
        return this.worker !== null;
    }

    // songBytes: a Uint8Array of the song file, copied for the worker.
    // sixteenBit: 16-bit samples instead of 32-bit float; normalizeDbfs: a
    // peak level to bring the render to, or null.
    start(songBytes, songName, { loops, tickMs, sixteenBit = false, normalizeDbfs = null }) {
        this.cancel('');
        const worker = new Worker(new URL('./export-worker.js', import.meta.url), { type: 'module' });
        this.worker = worker;
        const bytes = songBytes.slice().buffer;
        worker.onmessage = (event) => this.onMessage(event.data, songName);
        worker.onerror = (event) => this.finish(`Export failed: ${event.message || 'the export worker stopped'}.`, true);
        worker.postMessage({ bytes, loops, tickMs, sixteenBit, normalizeDbfs }, [bytes]);
        this.setBusy(true);
        this.progress.value = 0;
        this.show('Measuring the song…');
    }

    onMessage(message, songName) {
        if (message.type === 'measuring') {
            this.show('Finding the peak…');
        } else if (message.type === 'progress') {
            this.progress.max = Math.max(message.total, 1);
            this.progress.value = message.done;
            const percent = Math.floor((100 * message.done) / Math.max(message.total, 1));
            this.show(`Rendering… ${percent} % (${formatTime(message.done)} of ${formatTime(message.total)})`);
        } else if (message.type === 'done') {
            const name = wavFileName(songName);
            this.download(message.blob, name);
            this.finish(`Saved ${name}: ${formatTime(message.frames)}, ${formatCount(message.frames)} frames, ${formatBytes(message.blob.size)}.`);
        } else if (message.type === 'error') {
            this.finish(`Export failed: ${message.message}.`, true);
        }
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

    cancel(text) {
        if (!this.worker) return;
        this.finish(text);
    }

    finish(text, isError = false) {
        if (this.worker) this.worker.terminate();
        this.worker = null;
        this.setBusy(false);
        this.show(text, isError);
    }

    setBusy(busy) {
        this.button.disabled = busy;
        this.cancelButton.hidden = !busy;
        this.progress.hidden = !busy;
    }

    show(text, isError = false) {
        this.status.textContent = text;
        this.status.classList.toggle('error', isError);
    }
}
