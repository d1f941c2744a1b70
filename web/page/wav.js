// The 44-byte header of a 32-bit float stereo 48000 Hz WAV file, the same
// as the command line writes: RIFF, WAVE, a 16-byte format chunk (format 3),
// then the data chunk, with no other chunk.
export const WAV_HEADER_SIZE = 44;
const BYTES_PER_FRAME = 8;

export function wavHeader(frames) {
    const dataSize = frames * BYTES_PER_FRAME;
    const header = new Uint8Array(WAV_HEADER_SIZE);
    const v = new DataView(header.buffer);
    const text = (offset, s) => { for (let i = 0; i < s.length; i++) header[offset + i] = s.charCodeAt(i); };
    text(0, 'RIFF');
    v.setUint32(4, (dataSize + 36) >>> 0, true);
    text(8, 'WAVEfmt ');
    v.setUint32(16, 16, true);
    v.setUint16(20, 3, true);
    v.setUint16(22, 2, true);
    v.setUint32(24, 48000, true);
    v.setUint32(28, 48000 * BYTES_PER_FRAME, true);
    v.setUint16(32, BYTES_PER_FRAME, true);
    v.setUint16(34, 32, true);
    text(36, 'data');
    v.setUint32(40, dataSize >>> 0, true);
    return header;
}

// The output name the command line gives: the input name cut at its last
// "." (if any), then ".wav".
export function wavFileName(songFileName) {
    const dot = songFileName.lastIndexOf('.');
    return (dot >= 0 ? songFileName.slice(0, dot) : songFileName) + '.wav';
}
