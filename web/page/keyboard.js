// The page's keys: Space plays and pauses, the arrows seek (Shift for a
// finer step), Home goes to the start, unless the focused control takes
// the key itself.
import { SAMPLE_RATE } from './constants.js';
import { ui } from './page-ui.js';

const SEEK_STEP_FRAMES = 5 * SAMPLE_RATE;
const FINE_SEEK_STEP_FRAMES = SAMPLE_RATE;

// Whether the focused control takes the key itself, so the page's shortcut
// stays out of its way: buttons and links take Space and Enter, check boxes
// Space, the volume slider its arrows and Home and End, fields and lists
// every key. The seek bar takes none: its keys are the page's, so its
// arrows step as far as everywhere else.
function controlOwnsKey(target, key) {
    if (!(target instanceof Element) || target === ui.seek) return false;
    if (target.closest('select, textarea, [contenteditable="true"]')) return true;
    if (target instanceof HTMLInputElement) {
        if (target.type === 'range') return key !== ' ';
        if (target.type === 'checkbox' || target.type === 'radio') return key === ' ';
        return true;
    }
    if (target.closest('button, a[href], summary')) return key === ' ' || key === 'Enter';
    return false;
}

function seekStep(event) {
    return event.shiftKey ? FINE_SEEK_STEP_FRAMES : SEEK_STEP_FRAMES;
}

// playback: the Playback whose actions the keys take.
export function listenToKeys(playback) {
    const shortcuts = {
        ' ': (event) => { if (!event.repeat) playback.togglePlay(); },
        ArrowLeft: (event) => playback.seekBy(-seekStep(event)),
        ArrowDown: (event) => playback.seekBy(-seekStep(event)),
        ArrowRight: (event) => playback.seekBy(seekStep(event)),
        ArrowUp: (event) => playback.seekBy(seekStep(event)),
        Home: () => playback.seekTo(0),
    };
    document.addEventListener('keydown', (event) => {
        const action = shortcuts[event.key];
        if (!action || ui.song.hidden || controlOwnsKey(event.target, event.key)) return;
        if (event.ctrlKey || event.metaKey || event.altKey) return;
        event.preventDefault();
        action(event);
    });
}
