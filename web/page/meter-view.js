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

export class MeterView {
    constructor(meterCanvas, scopeCanvas) {
        this.meterCanvas = meterCanvas;
        this.scopeCanvas = scopeCanvas;
        this.levels = [FLOOR_DB, FLOOR_DB];
        this.outline = new Float32Array(2 * OUTLINE_COLUMNS);
        this.lastDraw = 0;
        this.scheduled = false;
    }

    // A report from the worklet: peaks since the last one and min/max pairs.
    add(report) {
        this.levels[0] = Math.max(this.levels[0], toDecibels(report.peakLeft));
        this.levels[1] = Math.max(this.levels[1], toDecibels(report.peakRight));
        const pairs = report.outline;
        if (pairs.length > 0) {
            const keep = Math.max(0, this.outline.length - pairs.length);
            this.outline.copyWithin(0, this.outline.length - keep);
            this.outline.set(pairs.slice(-this.outline.length), keep);
        }
        this.schedule();
    }

    clear() {
        this.levels = [FLOOR_DB, FLOOR_DB];
        this.outline.fill(0);
        this.schedule();
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
        const falling = this.levels.some((db) => db > FLOOR_DB);
        this.levels = this.levels.map((db) => Math.max(FLOOR_DB, db - FALL_DB_PER_SECOND * seconds));
        if (falling) this.schedule();
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
