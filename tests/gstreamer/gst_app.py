"""What the programs that drive the element as an application does share:
a watchdog that turns a hang into a failure, and the pipeline's answers."""
import contextlib
import os
import threading

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402

RATE = 48000
FRAME = 8  # two 32-bit floats


def fail(message):
    """Ends the program at once: its pipelines, left running, would only add
    GStreamer's complaints about their disposal."""
    print("FAIL: " + message, flush=True)
    os._exit(1)


def ns(frame):
    """The element's time of a frame: the first nanosecond at or after it."""
    return -(-frame * Gst.SECOND // RATE)


class Watchdog:
    """Ends the program with a failure naming the step when a step takes
    longer than its time, so a hang fails the test instead of stalling."""

    def __init__(self, seconds, context=""):
        self.seconds = seconds
        self.context = context

    def _expire(self, what):
        print("FAIL: %s%s did not return within %d s" % (self.context, what, self.seconds), flush=True)
        os._exit(1)

    @contextlib.contextmanager
    def step(self, what):
        timer = threading.Timer(self.seconds, self._expire, [what])
        timer.daemon = True
        timer.start()
        try:
            yield
        finally:
            timer.cancel()


def answers(target):
    """The position, the duration and the seeking answer (seekable, end) of
    a pipeline or an element, each None when not given."""
    ok, position = target.query_position(Gst.Format.TIME)
    position = position if ok else None
    ok, duration = target.query_duration(Gst.Format.TIME)
    duration = duration if ok else None
    query = Gst.Query.new_seeking(Gst.Format.TIME)
    seeking = None
    if target.query(query):
        _, seekable, _, end = query.parse_seeking()
        seeking = (seekable, end)
    return position, duration, seeking


def bus_problem(pipeline):
    """The first error or warning waiting on the bus, as text; None if none."""
    bus = pipeline.get_bus()
    while True:
        message = bus.pop_filtered(Gst.MessageType.ERROR | Gst.MessageType.WARNING)
        if message is None:
            return None
        if message.type == Gst.MessageType.ERROR:
            return "error: " + message.parse_error()[0].message
        return "warning: " + message.parse_warning()[0].message
