#!/usr/bin/env python3
"""The element driven as an application drives it: a pipeline taken
through every state, seeks made while paused (to the end first), and the
position, the duration and the seeking range asked of the pipeline and of
the element in each state, under a watchdog.

    gst_states.py states SONG WORK_DIR

WORK_DIR holds the tool's render plain.wav, which gives the song's length."""
import os
import sys

from gst_app import FRAME, Gst, Watchdog, answers, bus_problem, fail, ns
from gst_check_wav import wav_data

SONG, WORK = sys.argv[2:4]
WATCHDOG = Watchdog(30)


def check_unknown(pipeline, state):
    """Before a song is loaded, and once it is gone, nothing is known."""
    for target in [pipeline, pipeline.get_by_name("dec")]:
        with WATCHDOG.step("the queries in " + state):
            got = answers(target)
        if got != (None, None, None):
            fail("%s: %s answers %s with no song loaded" % (state, target.get_name(), got))


def check_known(pipeline, state, duration, position=None, near_end=False):
    """The pipeline's answers are the song's: its exact length, seekable up
    to it, and the position asked for; the element's position is where its
    render has reached, from there to the end."""
    with WATCHDOG.step("the queries in " + state):
        got = answers(pipeline)
        element = answers(pipeline.get_by_name("dec"))
    at, length, seeking = got
    if length != duration or seeking != (True, duration) or element[1:] != (duration, (True, duration)):
        fail("%s: duration %s, seeking %s (the element: %s), wanted %d" % (state, length, seeking, element, duration))
    if at is None or element[0] is None or not at <= element[0] <= duration:
        fail("%s: position %s, the element's %s, beyond the duration %d" % (state, at, element[0], duration))
    if position is not None and at != position:
        fail("%s: position %d, wanted %d" % (state, at, position))
    # The base class stamps each buffer with its start and length rounded
    # down, so the last one ends up to a nanosecond before the duration.
    if near_end and not duration - 1 <= at <= duration:
        fail("%s: position %d, wanted the end, %d" % (state, at, duration))


def change_state(pipeline, state):
    with WATCHDOG.step("the change to " + state.value_nick):
        if pipeline.set_state(state) == Gst.StateChangeReturn.FAILURE:
            fail("the change to %s failed" % state.value_nick)
        result = pipeline.get_state(Gst.CLOCK_TIME_NONE)[0]
    if result != Gst.StateChangeReturn.SUCCESS:
        fail("the change to %s ended with %s" % (state.value_nick, result.value_nick))


def seek(pipeline, target, state):
    with WATCHDOG.step("a seek to %d in %s" % (target, state)):
        if not pipeline.seek_simple(Gst.Format.TIME, Gst.SeekFlags.FLUSH | Gst.SeekFlags.ACCURATE, target):
            fail("a seek to %d in %s is refused" % (target, state))
        pipeline.get_state(Gst.CLOCK_TIME_NONE)


def wait_for_end(pipeline, what):
    with WATCHDOG.step("the end of the stream " + what):
        message = pipeline.get_bus().timed_pop_filtered(Gst.CLOCK_TIME_NONE,
                                                        Gst.MessageType.EOS | Gst.MessageType.ERROR)
    if message.type != Gst.MessageType.EOS:
        fail("an error before the end " + what)


def check_states():
    duration = ns(len(wav_data(os.path.join(WORK, "plain.wav"))) // FRAME)
    pipeline = Gst.parse_launch("filesrc location=%s ! tamseldec name=dec ! fakesink sync=true" % SONG)
    check_unknown(pipeline, "NULL")
    change_state(pipeline, Gst.State.READY)
    check_unknown(pipeline, "READY")
    change_state(pipeline, Gst.State.PAUSED)
    check_known(pipeline, "PAUSED", duration, position=0)
    # Seeks while paused: to the very end (where the stream ends at once),
    # a frame before it, inside frames and back to the start.
    for target in [duration, duration - ns(1), ns(480000), ns(7) + 5, duration // 3, 0]:
        seek(pipeline, target, "PAUSED")
        check_known(pipeline, "PAUSED after a seek to %d" % target, duration, position=target)
    # Playing out the last tenth of a second, then at the end.
    seek(pipeline, duration - ns(4800), "PAUSED")
    change_state(pipeline, Gst.State.PLAYING)
    check_known(pipeline, "PLAYING", duration)
    wait_for_end(pipeline, "in PLAYING")
    check_known(pipeline, "PLAYING at the end", duration, near_end=True)
    # A seek at the end plays again, to the end again.
    seek(pipeline, duration - ns(2400), "PLAYING at the end")
    wait_for_end(pipeline, "after a seek at the end")
    change_state(pipeline, Gst.State.PAUSED)
    check_known(pipeline, "PAUSED at the end", duration, near_end=True)
    # Stopped, the song is gone; paused again, it is loaded again.
    change_state(pipeline, Gst.State.READY)
    check_unknown(pipeline, "READY after playing")
    change_state(pipeline, Gst.State.PAUSED)
    check_known(pipeline, "PAUSED again", duration, position=0)
    problem = bus_problem(pipeline)
    if problem is not None:
        fail("the bus holds an " + problem)
    change_state(pipeline, Gst.State.NULL)
    check_unknown(pipeline, "NULL at last")


Gst.init(None)
check_states()
Gst.deinit()
print("ok: states")
