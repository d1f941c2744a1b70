#!/usr/bin/env python3
"""The GStreamer plugin held to the tool: every case renders a song through
GStreamer and compares the samples, byte for byte, with the data of the WAV
file the tool writes for the same settings.

    gst_check.py CASE TOOL SONG PLUGIN_FILE WORK_DIR

Every GStreamer program runs with the leak tracer, and a case fails when
the tracer names an object still alive at exit."""
import os
import re
import subprocess
import sys

from gst_check_wav import wav_data

CASE, TOOL, SONG, PLUGIN_FILE, WORK = sys.argv[1:6]
RATE = 48000
FLOAT_FRAME = 8  # two 32-bit floats
LEAK_ENV = {"GST_TRACERS": "leaks", "GST_DEBUG": "GST_TRACER:7", "GST_DEBUG_NO_COLOR": "1"}


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def tool_render(name, args, song=SONG):
    path = os.path.join(WORK, name + ".wav")
    subprocess.run([TOOL, "-q", "--force", "-o", path] + args + [song], check=True)
    return wav_data(path)


def leaked_objects(stderr):
    """The leak tracer's objects alive at exit, but for playbin's volume
    element and its pads, which GStreamer 1.22's playbin leaks whatever it
    plays (a WAV file through wavparse as well)."""
    alive = [line for line in stderr.splitlines() if "GST_TRACER :0:: object-alive" in line]
    return [line for line in alive if "description=(string)<volume" not in line]


def run_gst(args):
    """Runs a GStreamer tool under the leak tracer; returns its output.
    (gst-launch-1.0 itself sometimes hangs on an error while it prerolls:
    errors are checked through the bindings instead.)"""
    env = dict(os.environ, **LEAK_ENV)
    done = subprocess.run(args, env=env, capture_output=True, text=True, timeout=300)
    if done.returncode != 0:
        fail("%s exited with %d:\n%s%s" % (args[0], done.returncode, done.stdout, done.stderr))
    leaks = leaked_objects(done.stderr)
    if leaks:
        fail("objects alive at exit:\n" + "\n".join(leaks))
    return done.stdout + done.stderr


def nanoseconds(frames):
    return -(-frames * 1000000000 // RATE)


def gst_time(ns):
    """A time as GStreamer's logs write it."""
    return "%d:%02d:%02d.%09d" % (ns // 3600000000000, ns // 60000000000 % 60, ns // 1000000000 % 60,
                                  ns % 1000000000)


def check_inspect():
    out = run_gst(["gst-inspect-1.0", "tamseldec"])
    for word in ["Codec/Decoder/Audio", "audio/x-tsm", "F32LE", "S16LE", "loops", "tick-ms", "muted-tracks",
                 "stereo-width", "num-loops", "SINK template", "SRC template"]:
        if word not in out:
            fail("gst-inspect-1.0 tamseldec does not mention " + word)
    exported = subprocess.run(["nm", "-D", "--defined-only", "--format=posix", PLUGIN_FILE], capture_output=True,
                              text=True, check=True).stdout
    names = [line.split()[0] for line in exported.splitlines()]
    if names != ["gst_plugin_tamsel_get_desc"]:
        fail("the plugin exports " + " ".join(names))


# (name, the decoder's part of the pipeline, output format, the tool's options)
LAUNCHES = [
    ("decodebin", "decodebin", "F32LE", []),
    ("loops", "tamseldec loops=1", "F32LE", ["-l", "1"]),
    ("tick", "tamseldec tick-ms=13.5", "F32LE", ["-t", "13.5"]),
    ("mute", "tamseldec muted-tracks=9", "F32LE", ["--mute", "1,drums"]),
    ("width100", "tamseldec stereo-width=100", "F32LE", []),
    ("width0", "tamseldec stereo-width=0", "F32LE", ["--stereo", "0"]),
    ("width150", "tamseldec stereo-width=150", "S16LE", ["--stereo", "150", "-f", "wav16", "--dither", "none"]),
    ("s16", "decodebin", "S16LE", ["-f", "wav16", "--dither", "none"]),
]


def check_launch():
    for name, decoder, sample_format, tool_args in LAUNCHES:
        out_path = os.path.join(WORK, name + ".raw")
        pipeline = "filesrc location=%s ! %s ! audio/x-raw,format=%s ! filesink location=%s" % (
            SONG, decoder, sample_format, out_path)
        run_gst(["gst-launch-1.0", "-q"] + pipeline.split())
        with open(out_path, "rb") as f:
            got = f.read()
        want = tool_render(name, tool_args)
        if got != want:
            fail("%s: %d bytes through GStreamer, %d from the tool, differing" % (name, len(got), len(want)))


def check_play():
    """gst-play-1.0 picks the element by itself; what reaches its sink is the render."""
    out_path = os.path.join(WORK, "play.raw")
    sink = "audioconvert ! audio/x-raw,format=F32LE ! filesink location=" + out_path
    run_gst(["gst-play-1.0", "--no-interactive", "-q", "--audiosink", sink, SONG])
    with open(out_path, "rb") as f:
        if f.read() != tool_render("plain", []):
            fail("what reached gst-play-1.0's sink is not the render")


def check_discoverer():
    """The exact length and the tags, of the short song and of the demo."""
    for song in [SONG, os.path.join(os.path.dirname(SONG), "demo.tsm")]:
        title = os.path.splitext(os.path.basename(song))[0]
        frames = len(tool_render(title, [], song)) // FLOAT_FRAME
        want = gst_time(nanoseconds(frames))
        out = run_gst(["gst-discoverer-1.0", "-v", song])
        for line in ["Duration: " + want, "container format: TSM", "title: " + title]:
            if line not in out:
                fail("gst-discoverer-1.0 does not say %r:\n%s" % (line, out))


def element_log(args, expect_error=False):
    """The lines a GStreamer tool logs under GST_DEBUG=tamseldec:6."""
    env = dict(os.environ, GST_DEBUG="tamseldec:6", GST_DEBUG_NO_COLOR="1")
    done = subprocess.run(args, env=env, capture_output=True, text=True, timeout=120)
    if (done.returncode != 0) != expect_error:
        fail("%s exited with %d:\n%s" % (" ".join(args), done.returncode, done.stdout))
    return done.stderr


def check_debug():
    """The element's own log lines tell what it decided: the load with the
    song's size and length, the caps, a seek and an error. (The error comes
    after a pause: gst-launch-1.0 waits for ever on an error posted before
    its main loop runs.)"""
    frames = len(tool_render("plain", [])) // FLOAT_FRAME
    played = element_log(["gst-launch-1.0", "-q", "filesrc", "location=" + SONG, "!", "tamseldec",
                          "stereo-width=100", "!", "audio/x-raw,format=S16LE", "!", "fakesink"])
    sought = element_log(["gst-play-1.0", "--no-interactive", "-q", "--start-position", "10", "--audiosink",
                          "fakesink", SONG])
    not_a_song = os.path.join(WORK, "not_a_song.tsm")
    with open(not_a_song, "wb") as f:
        f.write(b"RIFF, not a song at all")
    failed = element_log(["gst-launch-1.0", "-q", "filesrc", "location=" + not_a_song, "!", "identity",
                          "sleep-time=300000", "!", "tamseldec", "!", "fakesink"], expect_error=True)
    length = gst_time(nanoseconds(frames))
    for log, level, text in [
        (played, "INFO", "song loaded from %d bytes: length %s (ends), 0 loops" % (os.path.getsize(SONG), length)),
        (played, "DEBUG", "caps: downstream takes S16LE, output in S16LE"),
        (played, "DEBUG", "stereo width 100 % -> 100 %"),
        (sought, "DEBUG", "seek to 0:00:10.000000000: frame 480000, now at frame 480000"),
        (failed, "ERROR", "cannot load the song: not a song file"),
    ]:
        if not re.search(r"\b%s +tamseldec tamsel_dec\.c:\d+:\w+:<\w+> %s" % (level, re.escape(text)), log):
            fail("GST_DEBUG=tamseldec:6 does not show %s %r" % (level, text))


def gstreamer_complaints(stderr):
    """GStreamer's warnings, errors and criticals, and GLib's. (The leak
    tracer is not found while the registry is first built.)"""
    said = [line for line in stderr.splitlines() if "GST_TRACER" not in line and "gsttracerutils" not in line]
    return [line for line in said if re.search(r" (WARN|ERROR|FIXME) |CRITICAL|-WARNING \*\*", line)]


def in_process(name, script="gst_pipelines.py", strict=False):
    """The cases that drive pipelines from Python, in their own program.
    Strict, any warning or critical from GStreamer or GLib fails the case
    as well (criticals abort the program)."""
    env = dict(os.environ, **LEAK_ENV)
    if strict:
        env.update(GST_DEBUG="*:2,GST_TRACER:7", G_DEBUG="fatal-criticals")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), script)
    # The renders the pipelines compare with, by name in WORK.
    for reference, tool_args in [("plain", []), ("drums_muted", ["--mute", "drums"]), ("loops1", ["-l", "1"])]:
        tool_render(reference, tool_args)
    done = subprocess.run([sys.executable, script, name, SONG, WORK, TOOL], env=env, capture_output=True, text=True,
                          timeout=300)
    print(done.stdout, end="")
    leaks = leaked_objects(done.stderr)
    complaints = gstreamer_complaints(done.stderr) if strict else []
    if done.returncode != 0 or leaks or complaints:
        said = [line for line in done.stderr.splitlines() if "GST_TRACER" not in line]
        fail("%s failed (%d):\n%s" % (name, done.returncode, "\n".join(said + leaks)))


CASES = {
    "inspect": check_inspect,
    "launch": check_launch,
    "discoverer": check_discoverer,
    "play": check_play,
    "not_a_song": lambda: in_process("not_a_song"),
    "seek": lambda: in_process("seek"),
    "playbin": lambda: in_process("playbin"),
    "states": lambda: in_process("states", "gst_states.py", strict=True),
    "random": lambda: in_process("random", "gst_random.py", strict=True),
    "debug": check_debug,
}

os.makedirs(WORK, exist_ok=True)
CASES[CASE]()
print("ok: " + CASE)
