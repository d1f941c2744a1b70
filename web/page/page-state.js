// What the page knows, in one place. Every change goes through update(),
// which hands the changed fields to each view that listens, so a view
// never has to be told twice or guess. window.tamselPage shows the state to
// the browser test.
export const state = {
    songBytes: null,
    songName: '',
    message: '',        // the line above the player: why something did not happen
    opened: 0,          // songs opened so far
    frames: 0,          // length for the current loops and tick (one loop with repeat); 0 while unknown or too long
    endless: false,     // repeat is on: the render plays on for ever
    unbounded: false,   // too long to measure: plays, but is not saved
    loopPoint: 0,       // with repeat, the first loop point: past frames, the seek bar folds back to it
    settings: null,     // { loops, tickMs, repeat } of the timeline
    timeline: null,     // the player's answer to the settings: { frames, endless, tooLong, wraps, ... }
    position: 0,
    playState: null,    // { record, pass, notes } of the frame playing
    playing: false,     // what the play button shows
    ended: false,
    seeking: false,     // the seek bar is being dragged: it shows the drag, not the position
    configureCount: 0,  // settings asked for
    configuredCount: 0, // settings the player has
    playAfterConfigure: false,
    generation: 0,      // reports of the worklet from before the last seek are stale
    stats: { framesPlayed: 0, nonSilentFrames: 0, sidedFrames: 0, underrunFrames: 0 },
};
window.tamselPage = state;

const listeners = [];

// Calls listener(changes) after every update, with the fields it changed.
export function listen(listener) {
    listeners.push(listener);
}

export function update(changes) {
    Object.assign(state, changes);
    for (const listener of listeners) listener(changes);
}

// The seek bar spans one loop; an endless render's later passes repeat the
// one after the loop point, and show there.
export function seekBarFrame(frame) {
    if (!state.endless || frame < state.frames || state.frames <= state.loopPoint) return frame;
    return state.loopPoint + ((frame - state.loopPoint) % (state.frames - state.loopPoint));
}
