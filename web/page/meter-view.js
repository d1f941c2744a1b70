// The level meter (left and right peaks in dBFS, falling back slowly) and
// the scrolling outline of the last few seconds played, both drawn once per
// animation frame from the worklet's latest reports.
import { fitCanvas } from './canvas.js';

const FLOOR_DB = -60;
const FALL_DB_PER_SECOND = 24;
const OUTLINE_COLUMNS = 400;   // 128-frame columns: about a second

function toDecibels(peak) {
    return peak > 0 ? Math.max(FLOOR_DB, 20 * Math.log10(peak)) : FLOOR_DB;
}

// Screen readers read the meter's value; it is rewritten at most this often.
const VALUE_EVERY_MS = 250;
// With less motion asked for, the bars are redrawn at most this often and
// hold their level instead of falling.
const CALM_DRAW_EVERY_MS = 250;

export class MeterView {
    constructor(meterCanvas, scopeCanvas) {
        this.meterCanvas = meterCanvas;
        this.scopeCanvas = scopeCanvas;
        this.levels = [FLOOR_DB, FLOOR_DB];
        this.outline = new Float32Array(2 * OUTLINE_COLUMNS);
        this.lastDraw = 0;
        this.lastValue = -Infinity;
        this.scheduled = false;
        this.calm = globalThis.matchMedia ? globalThis.matchMedia('(prefers-reduced-motion: reduce)') : null;
    }

    // A report from the worklet: peaks since the last one and min/max pairs.
    add(report) {
        const left = toDecibels(report.peakLeft);
        const right = toDecibels(report.peakRight);
        this.levels = this.calm?.matches ? [left, right]
            : [Math.max(this.levels[0], left), Math.max(this.levels[1], right)];
        const pairs = report.outline;
        if (pairs.length > 0) {
            const keep = Math.max(0, this.outline.length - pairs.length);
            this.outline.copyWithin(0, this.outline.length - keep);
            this.outline.set(pairs.slice(-this.outline.length), keep);
        }
        if (this.calm?.matches && performance.now() - this.lastDraw < CALM_DRAW_EVERY_MS) return;
        this.schedule();
    }

    // Playback stopped: the bars drop to the floor in one last drawing, and
    // nothing more is drawn until it plays again.
    clear() {
        this.levels = [FLOOR_DB, FLOOR_DB];
        this.schedule();
    }

    // A new song: the outline of the old one goes too.
    reset() {
        this.outline.fill(0);
        this.clear();
    }

    schedule() {
        if (this.scheduled) return;
        this.scheduled = true;
        requestAnimationFrame((now) => {
            this.scheduled = false;
            this.draw(now);
        });
    }

    draw(now) {
        const seconds = this.lastDraw ? Math.min(0.25, (now - this.lastDraw) / 1000) : 0;
        this.lastDraw = now;
        this.drawMeter();
        this.drawScope();
        this.showValue(now);
        if (this.calm?.matches) return;
        const falling = this.levels.some((db) => db > FLOOR_DB);
        this.levels = this.levels.map((db) => Math.max(FLOOR_DB, db - FALL_DB_PER_SECOND * seconds));
        if (falling) this.schedule();
    }

    // The louder channel as the meter's value, in whole dBFS.
    showValue(now) {
        const db = Math.round(Math.max(...this.levels));
        if (now - this.lastValue < VALUE_EVERY_MS && db > FLOOR_DB) return;
        this.lastValue = now;
        this.meterCanvas.setAttribute('aria-valuenow', String(db));
        this.meterCanvas.setAttribute('aria-valuetext', db > FLOOR_DB ? `${db} dBFS` : 'silent');
    }

    // Two bars, left and right, after a gutter with their letters.
    drawMeter() {
        const { g, width, height, scale } = fitCanvas(this.meterCanvas);
        g.clearRect(0, 0, width, height);
        const gap = 4 * scale;
        const gutter = 14 * scale;
        const barWidth = width - gutter - gap;
        const barHeight = (height - 3 * gap) / 2;
        g.font = `${10 * scale}px system-ui, sans-serif`;
        g.textBaseline = 'middle';
        g.textAlign = 'center';
        this.levels.forEach((db, i) => {
            const fraction = (db - FLOOR_DB) / -FLOOR_DB;
            const y = gap + i * (barHeight + gap);
            g.fillStyle = '#aab4c4';
            g.fillText(i === 0 ? 'L' : 'R', gutter / 2, y + barHeight / 2);
            g.fillStyle = '#263042';
            g.fillRect(gutter, y, barWidth, barHeight);
            g.fillStyle = db > -0.1 ? '#e5484d' : db > -6 ? '#f0b429' : '#3ecf8e';
            g.fillRect(gutter, y, barWidth * fraction, barHeight);
        });
    }

    drawScope() {
        const { g, width, height, scale } = fitCanvas(this.scopeCanvas);
        g.clearRect(0, 0, width, height);
        g.fillStyle = '#263042';
        g.fillRect(0, height / 2 - scale / 2, width, scale);
        g.fillStyle = '#6ea8fe';
        const columns = OUTLINE_COLUMNS;
        const step = width / columns;
        for (let c = 0; c < columns; c++) {
            const low = Math.max(-1, this.outline[2 * c]);
            const high = Math.min(1, this.outline[2 * c + 1]);
            const top = height / 2 - high * (height / 2);
            const bottom = height / 2 - low * (height / 2);
            g.fillRect(c * step, top, Math.max(step, scale), Math.max(bottom - top, scale));
        }
    }
}
