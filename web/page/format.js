// Text for times, counts and levels shown on the page.
import { SAMPLE_RATE } from './constants.js';

// 125.5 s -> "2:05.500"; an hour or more -> "1:02:05.500".
export function formatTime(frames) {
    const totalMs = Math.floor((frames * 1000) / SAMPLE_RATE);
    const ms = totalMs % 1000;
    const totalSeconds = Math.floor(totalMs / 1000);
    const seconds = totalSeconds % 60;
    const minutes = Math.floor(totalSeconds / 60) % 60;
    const hours = Math.floor(totalSeconds / 3600);
    const tail = `${String(seconds).padStart(2, '0')}.${String(ms).padStart(3, '0')}`;
    if (hours > 0) return `${hours}:${String(minutes).padStart(2, '0')}:${tail}`;
    return `${minutes}:${tail}`;
}

export function formatCount(n) {
    return n.toLocaleString('en-US');
}

// A volume in the song's units: 300 and above is full level, 0.08 dB less
// per unit below, down to silence at -100 dB.
export function volumeDecibels(volume) {
    const db = Math.max(-100, Math.min(0, (volume - 300) * 0.08));
    return db === 0 ? '0 dB' : `${db.toFixed(1)} dB`;
}

export function formatBytes(bytes) {
    if (bytes >= 1024 * 1024) return `${(bytes / (1024 * 1024)).toFixed(1)} MiB`;
    if (bytes >= 1024) return `${(bytes / 1024).toFixed(1)} KiB`;
    return `${bytes} bytes`;
}
