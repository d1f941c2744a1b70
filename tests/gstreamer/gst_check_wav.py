"""The data chunk of a WAV file, for the GStreamer checks."""
import struct


def wav_data(path):
    """The bytes of a WAV file's data chunk."""
    with open(path, "rb") as f:
        riff = f.read()
    at = 12
    while at + 8 <= len(riff):
        name, size = struct.unpack_from("<4sI", riff, at)
        if name == b"data":
            return riff[at + 8 : at + 8 + size]
        at += 8 + size + (size & 1)
    raise ValueError(path + " has no data chunk")
