#!/usr/bin/env python3
"""Pipelines driven through GStreamer's GObject bindings, for gst_check.py:
seeks to frames forward and backward, in samples and in time, and playbin
with a sink that writes a file, and the error a file that is not a song
gives.

    gst_pipelines.py seek|playbin|not_a_song SONG WORK_DIR

WORK_DIR holds the tool's renders: plain.wav, drums_muted.wav (--mute
drums) and loops1.wav (-l 1)."""
import gc
import os
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

from gst_check_wav import wav_data  # noqa: E402

CASE, SONG, WORK = sys.argv[1:4]
RATE = 48000
FRAME = 8
DRUMS = 1 << 3


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def reference(name):
    return wav_data(os.path.join(WORK, name + ".wav"))


def ns(frame):
    return -(-frame * Gst.SECOND // RATE)


def wait_for(pipeline, types):
    message = pipeline.get_bus().timed_pop_filtered(120 * Gst.SECOND, types | Gst.MessageType.ERROR)
    if message is None:
        fail("no message in time")
    if message.type == Gst.MessageType.ERROR:
        fail("pipeline error: %s" % (message.parse_error()[0].message,))


def paused_pipeline(decoder):
    pipeline = Gst.parse_launch("filesrc location=%s ! %s ! appsink name=sink sync=false "
                                "caps=audio/x-raw,format=F32LE" % (SONG, decoder))
    pipeline.set_state(Gst.State.PAUSED)
    wait_for(pipeline, Gst.MessageType.ASYNC_DONE)
    return pipeline


def seek_and_pull(pipeline, form, value, flags=Gst.SeekFlags.NONE):
    if not pipeline.seek_simple(form, Gst.SeekFlags.FLUSH | Gst.SeekFlags.ACCURATE | flags, value):
        fail("seek to %d refused" % value)
    buffer = pipeline.get_by_name("sink").emit("pull-preroll").get_buffer()
    return buffer.offset, buffer.extract_dup(0, buffer.get_size())


def expect_frames(what, got_offset, got, reference, frame):
    want = reference[frame * FRAME : frame * FRAME + len(got)]
    if got_offset != frame or got != want:
        fail("%s: buffer at %d, %d bytes, wanted the render from frame %d" % (what, got_offset, len(got), frame))


def check_seek():
    plain = reference("plain")
    frames = len(plain) // FRAME
    pipeline = paused_pipeline("tamseldec name=dec")
    ok, duration = pipeline.query_duration(Gst.Format.TIME)
    if not ok or duration != ns(frames):
        fail("duration %s, wanted %d" % (duration if ok else "none", ns(frames)))
    # Forward and backward, to frame starts in samples and in time, and to a
    # time inside a frame, which plays that frame.
    targets = [(Gst.Format.DEFAULT, 480000, 480000), (Gst.Format.DEFAULT, 7, 7),
               (Gst.Format.TIME, ns(frames - 2000), frames - 2000), (Gst.Format.TIME, ns(1) + 5, 1),
               (Gst.Format.DEFAULT, 1000001, 1000001), (Gst.Format.TIME, 0, 0),
               (Gst.Format.TIME, ns(777777) + 20000, 777777), (Gst.Format.DEFAULT, 12345, 12345)]
    for form, value, frame in targets:
        offset, got = seek_and_pull(pipeline, form, value)
        expect_frames("seek to %s %d" % (form.value_nick, value), offset, got, plain, frame)
    # A segment seek, as players loop with.
    offset, got = seek_and_pull(pipeline, Gst.Format.TIME, ns(5000), Gst.SeekFlags.SEGMENT)
    expect_frames("segment seek", offset, got, plain, 5000)
    # A mute changed while the renderer plays on holds from the next frame.
    pipeline.get_by_name("dec").set_property("muted-tracks", DRUMS)
    offset, got = seek_and_pull(pipeline, Gst.Format.DEFAULT, 300000)
    expect_frames("drums muted", offset, got, reference("drums_muted"), 300000)
    # So does a loop count: the render with one loop, from the same frame on.
    decoder = pipeline.get_by_name("dec")
    decoder.set_property("muted-tracks", 0)
    decoder.set_property("loops", 1)
    loops1 = reference("loops1")
    ok, duration = pipeline.query_duration(Gst.Format.TIME)
    if not ok or duration != ns(len(loops1) // FRAME):
        fail("duration with one loop %s, wanted %d" % (duration if ok else "none", ns(len(loops1) // FRAME)))
    offset, got = seek_and_pull(pipeline, Gst.Format.DEFAULT, frames - 10)
    expect_frames("one loop", offset, got, loops1, frames - 10)
    # Past the end, however far, the stream ends; a seek in bytes is refused.
    if not pipeline.seek_simple(Gst.Format.DEFAULT, Gst.SeekFlags.FLUSH, 1 << 62):
        fail("a seek past the end is refused")
    if pipeline.get_by_name("sink").emit("pull-preroll") is not None:
        fail("a seek past the end plays on")
    if pipeline.seek_simple(Gst.Format.BYTES, Gst.SeekFlags.FLUSH, 0):
        fail("a seek in bytes is taken")
    pipeline.set_state(Gst.State.NULL)

    # Endless play: no duration, and the render with no loops as its start.
    pipeline = paused_pipeline("tamseldec loops=-1")
    if pipeline.query_duration(Gst.Format.TIME)[0]:
        fail("endless play reports a duration")
    offset, got = seek_and_pull(pipeline, Gst.Format.DEFAULT, frames - 50)
    if len(got) <= 50 * FRAME:
        fail("endless play ends")
    expect_frames("endless", offset, got[: 50 * FRAME], plain, frames - 50)
    pipeline.set_state(Gst.State.NULL)


def check_playbin():
    out_path = os.path.join(WORK, "playbin.raw")
    playbin = Gst.ElementFactory.make("playbin", None)
    playbin.set_property("uri", Gst.filename_to_uri(os.path.abspath(SONG)))
    sink = Gst.parse_bin_from_description("audioconvert ! audio/x-raw,format=F32LE ! filesink location=" + out_path,
                                          True)
    playbin.set_property("audio-sink", sink)
    playbin.set_state(Gst.State.PLAYING)
    wait_for(playbin, Gst.MessageType.EOS)
    playbin.set_state(Gst.State.NULL)
    with open(out_path, "rb") as f:
        if f.read() != reference("plain"):
            fail("what reached playbin's sink is not the render")


def check_not_a_song():
    path = os.path.join(WORK, "not_a_song.tsm")
    with open(path, "wb") as f:
        f.write(b"RIFF, not a song at all")
    pipeline = Gst.parse_launch("filesrc location=%s ! tamseldec ! fakesink" % path)
    pipeline.set_state(Gst.State.PLAYING)
    message = pipeline.get_bus().timed_pop_filtered(60 * Gst.SECOND, Gst.MessageType.ERROR | Gst.MessageType.EOS)
    if message is None or message.type != Gst.MessageType.ERROR:
        fail("no error on the bus")
    if "not a song file" not in message.parse_error()[0].message:
        fail("the error does not say why: " + message.parse_error()[0].message)
    if pipeline.set_state(Gst.State.NULL) != Gst.StateChangeReturn.SUCCESS:
        fail("the pipeline does not stop")


Gst.init(None)
{"seek": check_seek, "playbin": check_playbin, "not_a_song": check_not_a_song}[CASE]()
gc.collect()
Gst.deinit()
print("ok: " + CASE)
