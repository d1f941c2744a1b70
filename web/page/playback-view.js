// The player as the page shows it, drawn from the page's state as it
// changes: the length and the seek bar's span, the position, what plays
// now, the play button, and the song in the system's media controls.
import { WAV_MAX_FRAMES } from './constants.js';
import { formatTime } from './format.js';
import { showTimeline } from './info-view.js';
import { listen, seekBarFrame, state } from './page-state.js';
import { ui } from './page-ui.js';

// tracks: the TracksView that shows which tracks start notes; mediaSession:
// the MediaControls.
export function showPlayback({ tracks, mediaSession }) {
    // The span first: a seek bar clamps a value beyond its maximum.
    listen((changes) => {
        if ('timeline' in changes) showLength(mediaSession);
        if ('position' in changes) showPosition();
        if ('playState' in changes) showPlayState(tracks);
        if ('playing' in changes) showPlaying(mediaSession);
    });
}

function showLength(mediaSession) {
    const { timeline } = state;
    showTimeline(timeline);
    if (timeline.tooLong) {
        ui.seek.max = String(WAV_MAX_FRAMES);
        ui.duration.textContent = '—';
    } else {
        ui.seek.max = String(timeline.frames);
        ui.duration.textContent = timeline.endless ? '∞' : formatTime(timeline.frames);
    }
    mediaSession.showSong(state.songName, timeline.endless || state.unbounded ? 0 : timeline.frames);
}

// While the seek bar is dragged it shows the drag; the time shows the play.
function showPosition() {
    ui.position.textContent = formatTime(state.position);
    if (state.seeking) return;
    ui.seek.value = String(seekBarFrame(state.position));
    ui.seek.setAttribute('aria-valuetext', formatTime(state.position));
}

// The record and pass of the frame heard, and which tracks that record
// started notes on.
function showPlayState(tracks) {
    const { playState } = state;
    ui.nowPlaying.textContent = playState ? `record ${playState.record} · pass ${playState.pass}` : '';
    tracks.showNotes(playState ? playState.notes : null);
}

function showPlaying(mediaSession) {
    ui.play.textContent = state.playing ? '❚❚' : '▶';
    ui.play.setAttribute('aria-label', state.playing ? 'Pause' : 'Play');
    mediaSession.showPlaying(state.playing, seekBarFrame(state.position));
}
