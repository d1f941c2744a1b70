// The song in the tab's title and in the system's media controls (media
// keys, the lock screen, a headset's buttons): its name, play and pause,
// and seeking. Positions go to the system on play, pause and seek only; it
// moves the position on by itself while playing.
import { SAMPLE_RATE } from './constants.js';

const KEY_STEP_SECONDS = 5;

export class MediaControls {
    // play(), pause(), seekTo(frame) and seekBy(frames) are the page's own.
    constructor({ play, pause, seekTo, seekBy }) {
        this.pageTitle = document.title;
        this.session = navigator.mediaSession || null;
        this.frames = 0;
        if (!this.session) return;
        const handlers = {
            play,
            pause,
            stop: pause,
            seekto: (details) => seekTo(details.seekTime * SAMPLE_RATE),
            seekbackward: (details) => seekBy(-(details.seekOffset || KEY_STEP_SECONDS) * SAMPLE_RATE),
            seekforward: (details) => seekBy((details.seekOffset || KEY_STEP_SECONDS) * SAMPLE_RATE),
        };
        for (const [action, handler] of Object.entries(handlers)) {
            try {
                this.session.setActionHandler(action, handler);
            } catch {
                // An action this browser does not offer.
            }
        }
    }

    // frames: the length, or 0 when it has none (endless, or too long to say).
    showSong(name, frames) {
        document.title = name ? `${name} · Tamsel` : this.pageTitle;
        this.frames = frames;
        if (!this.session || typeof MediaMetadata === 'undefined') return;
        this.session.metadata = name ? new MediaMetadata({ title: name, artist: 'Tamsel' }) : null;
    }

    showPlaying(playing, frame) {
        if (!this.session) return;
        this.session.playbackState = playing ? 'playing' : 'paused';
        this.showPosition(frame);
    }

    showPosition(frame) {
        if (!this.session || !this.session.setPositionState) return;
        if (this.frames <= 0) {
            this.session.setPositionState();
            return;
        }
        this.session.setPositionState({
            duration: this.frames / SAMPLE_RATE,
            position: Math.min(frame, this.frames) / SAMPLE_RATE,
            playbackRate: 1,
        });
    }
}
