// Playing: the player's settings (loops, tick, repeat), play and pause,
// seeking and the volume. Changes the page's state through update(); the
// views draw it.
import { LIMITS, WAV_MAX_FRAMES } from './constants.js';
import { formatTime } from './format.js';
import { showMeasuring } from './info-view.js';
import { state, update, seekBarFrame } from './page-state.js';
import { setRange, showMessage, ui } from './page-ui.js';

export class Playback {
    // player: the Player; meter: the MeterView; exporter: the Exporter, told
    // when the settings change what a save would write; mediaSession: the
    // MediaControls, told where a seek lands.
    constructor({ player, meter, exporter, mediaSession }) {
        this.player = player;
        this.meter = meter;
        this.exporter = exporter;
        this.mediaSession = mediaSession;
    }

    // The loops, tick and repeat the controls ask for, or { error } with the
    // reason.
    readSettings() {
        const loops = Number(ui.loops.value);
        const tickMs = Number(ui.tick.value);
        const range = LIMITS.loops;
        if (ui.loops.value.trim() === '' || !Number.isInteger(loops) || loops < range.min || loops > range.max) {
            return { error: `Loops must be a whole number from ${range.min} to ${range.max}.` };
        }
        const tick = LIMITS.tickMs;
        if (ui.tick.value.trim() === '' || !Number.isFinite(tickMs) || tickMs < tick.min || tickMs > tick.max) {
            return { error: `The tick must be a number of milliseconds from ${tick.min} to ${tick.max}.` };
        }
        return { loops, tickMs, repeat: ui.loop.getAttribute('aria-pressed') === 'true' };
    }

    // New loops, tick or repeat: the same place in the song (within its new
    // length), playing on if it was. A render too long for a WAV file still
    // plays; only saving it is refused.
    async applySettings() {
        if (!state.songBytes) return;
        const settings = this.readSettings();
        if (settings.error) {
            showMessage(settings.error);
            return;
        }
        this.exporter.settingsChanged();
        const count = state.configureCount + 1;
        update({ configureCount: count, playAfterConfigure: state.playAfterConfigure || this.player.playing });
        const at = seekBarFrame(state.position);
        this.player.pause();
        showMeasuring();
        let timeline;
        try {
            timeline = await this.player.configure(settings.loops, settings.tickMs, settings.repeat);
        } catch (error) {
            if (count !== state.configureCount) return;
            update({ configuredCount: count, playAfterConfigure: false, playing: false });
            this.enable(false);
            showMessage(`Could not prepare the song: ${error.message}.`);
            return;
        }
        if (count !== state.configureCount) return;
        update({ configuredCount: count });
        this.showNewTimeline(timeline, settings);
        this.enable(true);
        if (at > 0) await this.seekTo(at);
        if (count !== state.configureCount) return;
        const play = state.playAfterConfigure;
        update({ playAfterConfigure: false });
        if (play) await this.startPlaying();
    }

    showNewTimeline(timeline, settings) {
        update({
            settings,
            timeline,
            ended: false,
            generation: timeline.generation,
            frames: timeline.frames,
            endless: timeline.endless,
            unbounded: Boolean(timeline.tooLong),
            loopPoint: timeline.wraps.length > 0 ? timeline.wraps[0] : 0,
            position: 0,
            playState: timeline.state,
        });
        if (!timeline.tooLong) {
            showMessage('');
            return;
        }
        const loops = settings.repeat ? 'repeat on (one loop)' : `${settings.loops} loop${settings.loops === 1 ? '' : 's'}`;
        showMessage(`With ${loops} and a ${settings.tickMs} ms tick this song is longer than a WAV file can hold `
            + `(${formatTime(WAV_MAX_FRAMES)}) or never ends. It plays, but to save it lower the loops or the tick.`);
    }

    enable(enabled) {
        ui.play.disabled = !enabled;
        ui.seek.disabled = !enabled;
        this.exporter.allow(enabled && !state.unbounded);
    }

    toggleLoop() {
        const on = ui.loop.getAttribute('aria-pressed') !== 'true';
        ui.loop.setAttribute('aria-pressed', String(on));
        return this.applySettings();
    }

    // The slider's 0 to 100 % on a square law, closer to how loud it sounds.
    showVolume() {
        const percent = Number(ui.volume.value);
        ui.volume.setAttribute('aria-valuetext', `${percent} %`);
        this.player.setVolume((percent / 100) ** 2);
    }

    async togglePlay() {
        if (ui.play.disabled) return;
        if (state.configureCount !== state.configuredCount) {
            // New settings are on their way: play or not once they are there.
            const play = !state.playAfterConfigure;
            update({ playAfterConfigure: play, playing: play });
            return;
        }
        if (this.player.playing) this.pause();
        else await this.startPlaying();
    }

    pause() {
        this.player.pause();
        update({ playing: false });
        this.meter.clear();
    }

    async startPlaying() {
        if (state.ended || (!state.endless && !state.unbounded && state.position >= state.frames)) await this.seekTo(0);
        try {
            update({ playing: true });
            await this.player.play();
        } catch (error) {
            update({ playing: false });
            showMessage(`This browser could not start the audio: ${error.message}.`);
        }
    }

    // Anywhere in the song; an endless render has no end to stop at.
    async seekTo(frame) {
        if (ui.seek.disabled) return;
        const end = state.endless || state.unbounded ? Number.MAX_SAFE_INTEGER : state.frames;
        const target = Math.max(0, Math.min(end, Math.round(frame)));
        // Until the worker says which generation starts here, every report is stale.
        update({ ended: false, generation: Infinity, position: target });
        const reached = await this.player.seek(target);
        update({ generation: reached.generation, position: reached.frame, playState: reached.state });
        this.mediaSession.showPosition(seekBarFrame(reached.frame));
    }

    seekBy(frames) {
        return this.seekTo(state.position + frames);
    }

    // The worklet's reports: the meter, and the position and what plays
    // there unless a seek has made them stale.
    progress(report) {
        update({ stats: report });
        // Reports sent before a pause reached the worklet would start the
        // meter's fall again; paused, nothing is drawn.
        if (report.playing && this.player.playing) this.meter.add(report);
        if (state.seeking || report.generation < state.generation) return;
        const changes = { position: report.position };
        if (report.state) changes.playState = report.state;
        update(changes);
    }

    ended(position) {
        update({ ended: true, position, playing: false });
        this.meter.clear();
    }

    // The seek bar's own events: dragging shows the time under the thumb;
    // letting go seeks there.
    listen() {
        setRange(ui.loops, LIMITS.loops);
        setRange(ui.tick, LIMITS.tickMs);
        ui.play.addEventListener('click', () => this.togglePlay());
        ui.loop.addEventListener('click', () => this.toggleLoop());
        ui.seek.addEventListener('input', () => {
            update({ seeking: true });
            ui.position.textContent = formatTime(Number(ui.seek.value));
        });
        ui.seek.addEventListener('change', async () => {
            update({ seeking: false });
            await this.seekTo(Number(ui.seek.value));
        });
        ui.volume.addEventListener('input', () => this.showVolume());
        this.showVolume();   // a reload may have kept the slider where it was
        ui.loops.addEventListener('change', () => this.applySettings());
        ui.tick.addEventListener('change', () => this.applySettings());
    }
}
