#!/usr/bin/env python3
"""A randomised driver of the element: state changes, seeks, queries and
property changes in random order, each under a watchdog, checked for sane
answers (the exact duration for the loop count and tick the song plays
with, a position within the render, the seek target after a seek while
paused, nothing on the bus).

    gst_random.py random SONG WORK_DIR TOOL [SEED ...]

Without seeds it runs the fixed list SEEDS. Each seed is printed before it
runs; a failure is replayed by giving its seed (with GST_PLUGIN_PATH naming
the build's plugin folder), and a longer search by giving many."""
import json
import random
import subprocess
import sys
import time

from gst_app import Gst, Watchdog, answers, bus_problem, fail, ns

SONG, WORK, TOOL = sys.argv[2:5]
SEEDS = [int(seed) for seed in sys.argv[5:]] or list(range(1, 41))
STEPS = 50
LOOPS = [-1, 0, 1, 2]
TICKS = [0.0, 13.5, 20.0]
STATES = [Gst.State.NULL, Gst.State.READY, Gst.State.PAUSED, Gst.State.PAUSED, Gst.State.PLAYING,
          Gst.State.PLAYING]


def render_lengths():
    """The tool's frames for each tick and loop count; None for endless play."""
    lengths = {}
    for tick in TICKS:
        for loops in LOOPS:
            if loops < 0:
                lengths[(tick, loops)] = None
                continue
            info = subprocess.run([TOOL, "--info", "--json", "-t", str(tick), "-l", str(loops), SONG],
                                  capture_output=True, text=True, check=True).stdout
            lengths[(tick, loops)] = json.loads(info)["frames"]
    return lengths


class Driver:
    """One seeded run, with what the element should know: the tick of the
    song loaded (set from the next load on), the loop count, the state."""

    def __init__(self, seed, lengths):
        self.seed = seed
        self.done = []
        self.rng = random.Random(seed)
        self.lengths = lengths
        self.watchdog = Watchdog(30, "seed %d: " % seed)
        self.pipeline = Gst.parse_launch("filesrc location=%s ! tamseldec name=dec ! fakesink sync=true" % SONG)
        self.decoder = self.pipeline.get_by_name("dec")
        self.state = Gst.State.NULL
        self.tick, self.loaded_tick, self.loops = 20.0, None, 0
        # Past the longest render or seek target, a position is garbage: no
        # run plays for a minute.
        self.furthest = max(ns(frames) for frames in lengths.values() if frames is not None) + 60 * Gst.SECOND

    def fail(self, message):
        fail("seed %d, after %s: %s" % (self.seed, ", ".join(self.done[-6:]), message))

    def duration(self):
        if self.loaded_tick is None:
            return None
        frames = self.lengths[(self.loaded_tick, self.loops)]
        return None if frames is None else ns(frames)

    def set_state(self):
        state = self.rng.choice(STATES)
        with self.watchdog.step("the change to " + state.value_nick):
            result = self.pipeline.set_state(state)
            if result != Gst.StateChangeReturn.FAILURE:
                result = self.pipeline.get_state(Gst.CLOCK_TIME_NONE)[0]
        if result != Gst.StateChangeReturn.SUCCESS:
            self.fail("the change to %s ended with %s" % (state.value_nick, result.value_nick))
        if state <= Gst.State.READY:
            self.loaded_tick = None
        elif self.state <= Gst.State.READY:
            self.loaded_tick = self.tick
        self.state = state
        return state.value_nick

    def seek(self):
        """Flushing seeks, and in PLAYING non-flushing ones as well (one in
        PAUSED would wait for the paused sink, as any element's does)."""
        duration = self.duration() or self.furthest
        target = self.rng.choice([0, duration, duration + ns(1), self.rng.randrange(duration + 1),
                                  self.rng.randrange(2 * duration)])
        flags = self.rng.choice([Gst.SeekFlags.ACCURATE, Gst.SeekFlags.KEY_UNIT, Gst.SeekFlags.SEGMENT,
                                 Gst.SeekFlags.NONE])
        if self.state != Gst.State.PLAYING or self.rng.random() < 0.7:
            flags |= Gst.SeekFlags.FLUSH
        in_samples = self.rng.random() < 0.3
        form = Gst.Format.DEFAULT if in_samples else Gst.Format.TIME
        value = target * 48000 // Gst.SECOND if in_samples else target
        what = "a seek to %d %s (%s)" % (value, form.value_nick, flags.value_names)
        self.furthest = max(self.furthest, target + 60 * Gst.SECOND)
        with self.watchdog.step(what):
            taken = self.pipeline.seek_simple(form, flags, value)
            self.pipeline.get_state(Gst.CLOCK_TIME_NONE)
        if taken != (self.state >= Gst.State.PAUSED):
            self.fail("%s in %s: taken %s" % (what, self.state.value_nick, taken))
        if self.state == Gst.State.PAUSED and in_samples:
            target = ns(value)
        if self.state == Gst.State.PAUSED and target <= (self.duration() or target):
            position = self.pipeline.query_position(Gst.Format.TIME)[1]
            if position != target:
                self.fail("%s in PAUSED: position %d" % (what, position))
        return what

    def query(self):
        with self.watchdog.step("the queries"):
            got = [answers(self.pipeline), answers(self.decoder)]
        for position, length, seeking in got:
            if self.state < Gst.State.PAUSED:
                if (position, length, seeking) != (None, None, None):
                    self.fail("%s, with no song loaded: %s" % (self.state.value_nick, got))
                continue
            duration = self.duration()
            if length != duration or seeking != (True, -1 if duration is None else duration):
                self.fail("duration %s, seeking %s, wanted %s" % (length, seeking, duration))
            if position is None or not 0 <= position <= self.furthest:
                self.fail("position %s, with the duration %s" % (position, duration))
        return "the queries"

    def set_property(self):
        name = self.rng.choice(["loops", "tick-ms", "muted-tracks"])
        value = {"loops": lambda: self.rng.choice(LOOPS), "tick-ms": lambda: self.rng.choice(TICKS),
                 "muted-tracks": lambda: self.rng.randrange(16)}[name]()
        with self.watchdog.step("setting %s to %s" % (name, value)):
            self.decoder.set_property(name, value)
            got = self.decoder.get_property(name)
        if got != value:
            self.fail("%s set to %s reads %s" % (name, value, got))
        if name == "loops":
            self.loops = value
        elif name == "tick-ms":
            self.tick = value
        return "%s=%s" % (name, value)

    def wait(self):
        time.sleep(self.rng.uniform(0.0, 0.05))
        return "a wait"

    def run(self):
        operations = [self.set_state, self.set_state, self.seek, self.seek, self.query, self.query,
                      self.set_property, self.wait]
        for _ in range(STEPS):
            self.done.append(self.rng.choice(operations)())
            problem = bus_problem(self.pipeline)
            if problem is not None:
                self.fail("an " + problem)
        with self.watchdog.step("the change to NULL"):
            self.pipeline.set_state(Gst.State.NULL)


Gst.init(None)
LENGTHS = render_lengths()
for seed in SEEDS:
    print("seed %d" % seed, flush=True)
    Driver(seed, LENGTHS).run()
Gst.deinit()
print("ok: random, seeds %s" % " ".join(str(seed) for seed in SEEDS))
