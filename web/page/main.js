// The page: its parts made and wired together. Each part has one job:
// page-state.js holds what the page knows and is the one path for changing
// it; song-loader.js opens songs; playback.js plays them; save-controls.js
// and exporter.js save them; the views draw the state. The heavy work
// happens in the workers (player-worker.js, export-worker.js) and the audio
// worklet.
import { Exporter } from './exporter.js';
import { listenToKeys } from './keyboard.js';
import { MediaControls } from './media-controls.js';
import { MeterView } from './meter-view.js';
import { byId, showMessage } from './page-ui.js';
import { Playback } from './playback.js';
import { showPlayback } from './playback-view.js';
import { Player } from './player.js';
import { SaveControls } from './save-controls.js';
import { SongLoader } from './song-loader.js';
import { TracksView } from './tracks-view.js';

const meter = new MeterView(byId('meter'), byId('scope'));
const exporter = new Exporter({
    button: byId('export'),
    cancelButton: byId('export-cancel'),
    progress: byId('export-progress'),
    status: byId('export-status'),
});
let playback = null;
const player = new Player({
    onProgress: (report) => playback.progress(report),
    onEnded: (position) => playback.ended(position),
    onFailure: (text) => showMessage(`The player stopped: ${text}. Reload the page to go on.`),
});
const mediaSession = new MediaControls({
    play: () => { if (!player.playing) playback.togglePlay(); },
    pause: () => { if (player.playing) playback.pause(); },
    seekTo: (frame) => playback.seekTo(frame),
    seekBy: (frames) => playback.seekBy(frames),
});
playback = new Playback({ player, meter, exporter, mediaSession });
// What is heard is what is saved: a change of mutes clears the last result.
const tracks = new TracksView(byId('tracks'), (mask) => {
    player.setMutedTracks(mask);
    exporter.settingsChanged();
});

showPlayback({ tracks, mediaSession });
playback.listen();
listenToKeys(playback);
new SongLoader({ playback, exporter, tracks, meter }).listen();
new SaveControls({ playback, tracks, exporter }).listen();

// Once the service worker holds the page's files, the page works offline.
// Without one (an old browser, a file:// page) it works online as before.
if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch((error) => {
        console.warn(`The page will not work offline: ${error.message}`);
    });
}
