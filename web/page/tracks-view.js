// Mute and solo buttons for the four tracks. While any track is soloed,
// exactly the soloed tracks are heard; otherwise every track that is not
// muted. onChange gets the mask of tracks not heard (bit t: track t).
import { TRACK_COUNT, DRUM_TRACK } from './constants.js';

export class TracksView {
    constructor(container, onChange) {
        this.container = container;
        this.onChange = onChange;
        this.muted = new Array(TRACK_COUNT).fill(false);
        this.soloed = new Array(TRACK_COUNT).fill(false);
    }

    // Builds the rows for a new song; every track starts heard. A button that
    // had focus hands it to its twin in the new rows.
    show(tracksWithNotes) {
        const focused = [...this.container.querySelectorAll('button')].indexOf(document.activeElement);
        this.muted.fill(false);
        this.soloed.fill(false);
        this.container.replaceChildren();
        for (let t = 0; t < TRACK_COUNT; t++) {
            const row = document.createElement('div');
            row.className = 'track';
            row.setAttribute('role', 'group');
            const hasNotes = ((tracksWithNotes >> t) & 1) === 1;
            if (!hasNotes) row.classList.add('silent');
            const name = t === DRUM_TRACK ? 'Drums' : `Track ${t + 1}`;
            const detail = hasNotes ? (t === DRUM_TRACK ? 'drum kit' : `instrument ${t + 1}`) : 'no notes';
            row.setAttribute('aria-labelledby', `track-name-${t}`);
            row.innerHTML = `<span class="name" id="track-name-${t}">${name}<small>${detail}</small></span>
                <button type="button" class="mute" aria-pressed="false" aria-label="Mute ${name}">Mute</button>
                <button type="button" class="solo" aria-pressed="false" aria-label="Solo ${name}">Solo</button>`;
            row.querySelector('.mute').addEventListener('click', () => this.toggle(this.muted, t));
            row.querySelector('.solo').addEventListener('click', () => this.toggle(this.soloed, t));
            this.container.append(row);
        }
        if (focused >= 0) this.container.querySelectorAll('button')[focused].focus();
    }

    // Marks the tracks whose notes (bit mask per track) the record playing
    // started.
    showNotes(notes) {
        this.container.querySelectorAll('.track').forEach((row, t) => {
            row.classList.toggle('sounding', Boolean(notes && notes[t]));
        });
    }

    // Muting a soloed track ends its solo and soloing a muted one its mute:
    // one track never shows both on.
    toggle(flags, track) {
        flags[track] = !flags[track];
        const other = flags === this.muted ? this.soloed : this.muted;
        if (flags[track]) other[track] = false;
        this.container.querySelectorAll('.track').forEach((row, t) => {
            row.querySelector('.mute').setAttribute('aria-pressed', String(this.muted[t]));
            row.querySelector('.solo').setAttribute('aria-pressed', String(this.soloed[t]));
        });
        this.onChange(this.mask());
    }

    mask() {
        const anySolo = this.soloed.some(Boolean);
        let mask = 0;
        for (let t = 0; t < TRACK_COUNT; t++) {
            const heard = anySolo ? this.soloed[t] : !this.muted[t];
            if (!heard) mask |= 1 << t;
        }
        return mask;
    }
}
