// Sizes a canvas's pixels to its laid-out size (sharp on high-density
// screens) and returns its 2D context with its width and height in pixels.
export function fitCanvas(canvas) {
    const scale = globalThis.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * scale));
    const height = Math.max(1, Math.round(canvas.clientHeight * scale));
    if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
    }
    return { g: canvas.getContext('2d'), width, height, scale };
}

// A line through values spread evenly across the canvas; y maps a value
// to a pixel row.
export function drawLine(g, values, width, y) {
    g.beginPath();
    for (let i = 0; i < values.length; i++) {
        const x = values.length === 1 ? 0 : (i * (width - 1)) / (values.length - 1);
        if (i === 0) g.moveTo(x, y(values[i]));
        else g.lineTo(x, y(values[i]));
    }
    g.stroke();
}
