// The page's elements that more than one part of it uses, and its message
// line, drawn from the state's message.
import { listen, state, update } from './page-state.js';

export const byId = (id) => document.getElementById(id);

export const ui = {
    dropZone: byId('drop-zone'),
    fileInput: byId('file-input'),
    message: byId('message'),
    song: byId('song'),
    songName: byId('song-name'),
    play: byId('play'),
    loop: byId('loop'),
    seek: byId('seek'),
    nowPlaying: byId('now-playing'),
    position: byId('position'),
    duration: byId('duration'),
    loops: byId('loops'),
    tick: byId('tick'),
    volume: byId('volume'),
    loading: byId('loading'),
    warnings: byId('song-warnings'),
};

// A number field's range, from a limit of the export ({ min, max }).
export function setRange(input, { min, max }) {
    input.min = String(min);
    input.max = String(max);
}

export function showMessage(text) {
    update({ message: text });
}

listen((changes) => {
    if (!('message' in changes)) return;
    ui.message.textContent = state.message;
    ui.message.hidden = !state.message;
});
