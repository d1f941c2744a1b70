"""tamselplay run as a user runs it, its sound taken from SDL's disk driver
and checked against tamselexport's float WAV files byte for byte; keys and
signals sent through a pseudo-terminal.

    player_check.py CASE PLAYER EXPORTER EXAMPLES MANUAL
"""
import fcntl
import os
import pty
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

CASE, PLAYER, EXPORTER, EXAMPLES, MANUAL = sys.argv[1], *map(os.path.abspath, sys.argv[2:6])
SHORT = os.path.join(EXAMPLES, "short.tsm")
DEMO = os.path.join(EXAMPLES, "demo.tsm")
FRAME = 8  # bytes of a stereo float frame
WORK = tempfile.mkdtemp(prefix="tamselplay-")
RAW = os.path.join(WORK, "out.raw")
EVENTS = os.path.join(WORK, "events.txt")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def environment(delay_ms=0):
    env = dict(os.environ)
    env.update({"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": RAW, "SDL_DISKAUDIODELAY": str(delay_ms),
                "TAMSELPLAY_EVENTS": EVENTS, "LC_ALL": "C"})
    env.pop("NO_COLOR", None)
    return env


def wav_data(path):
    data = open(path, "rb").read()
    at = 12
    while at + 8 <= len(data):
        size = struct.unpack("<I", data[at + 4:at + 8])[0]
        if data[at:at + 4] == b"data":
            return data[at + 8:at + 8 + size]
        at += 8 + size + (size & 1)
    fail("no data chunk in " + path)


RENDERS = {}


def render(song, *options):
    """The tool's float render of song with options, as raw frames."""
    key = (song,) + options
    if key not in RENDERS:
        out = os.path.join(WORK, "ref%d.wav" % len(RENDERS))
        subprocess.run([EXPORTER, "-q", "-f", "wav", "-o", out, *options, song], check=True)
        RENDERS[key] = wav_data(out)
    return RENDERS[key]


DEVICE_BLOCK = 1024 * FRAME  # the player's buffer


def output(expected=None):
    """What the player gave the device. SDL opens a device paused and writes
    silence for it until the player starts it: any whole blocks of it
    before the first song's frames are left out. expected (else the
    player's first block, as it is not silent) tells where the song begins."""
    out = open(RAW, "rb").read()
    probe = expected[:DEVICE_BLOCK * 8] if expected is not None else None
    at = 0
    while out[at:at + DEVICE_BLOCK] == bytes(DEVICE_BLOCK) and at < len(out):
        if probe is not None and out[at:at + len(probe)] == probe:
            break
        at += DEVICE_BLOCK
    return out[at:]


def expect_stream(out, expected):
    """out is expected, then only the silence of the device's last blocks."""
    if out[:len(expected)] != expected:
        at = next(i for i in range(0, min(len(out), len(expected)), FRAME) if out[i:i + FRAME] != expected[i:i + FRAME])
        fail("the output differs from the render at frame %d" % (at // FRAME))
    if out[len(expected):].strip(b"\0"):
        fail("sound after the end of the list")


def run(args, delay_ms=0, stdin=subprocess.DEVNULL):
    return subprocess.run([PLAYER, *args], env=environment(delay_ms), stdin=stdin, capture_output=True, text=True,
                          timeout=120)


# Several songs play at twenty times real time, not as fast as the driver
# can: the next song is prepared while one plays, and a sanitizer's build
# prepares too slowly to keep up with a song played in a tenth of a second.
LIST_PACE_MS = 1


def plays_like(args, expected, delay_ms=0):
    result = run(args, delay_ms)
    if result.returncode != 0:
        fail("exit %d: %s" % (result.returncode, result.stderr))
    expect_stream(output(expected), expected)
    return result


# ---- what the disk driver receives -------------------------------------

def case_one_song():
    plays_like([SHORT], render(SHORT))


def case_gapless():
    result = plays_like([SHORT, DEMO, SHORT], render(SHORT) + render(DEMO) + render(SHORT), LIST_PACE_MS)
    lines = result.stdout.splitlines()
    if len(lines) != 3 or not lines[1].startswith("Playing 2/3: demo.tsm"):
        fail("one line per song expected, got %r" % lines)


def case_song_options():
    options = ["-l", "2", "--mute", "1", "-t", "13.5"]
    plays_like(options + [SHORT], render(SHORT, *options))
    plays_like(["--solo", "2,drums", SHORT], render(SHORT, "--mute", "1,3"))
    plays_like(["--stereo", "100", "--volume", "100", SHORT], render(SHORT))
    plays_like(["--stereo", "40", SHORT], render(SHORT, "--stereo", "40"))
    # At 0 % both channels carry the same mix, in every frame.
    result = run(["--stereo", "0", SHORT])
    out = output(None)[:len(render(SHORT))]
    samples = struct.unpack("<%df" % (len(out) // 4), out)
    if result.returncode != 0 or samples[0::2] != samples[1::2] or not any(samples) or out == render(SHORT):
        fail("--stereo 0 is not mono")


def case_endless():
    expected = render(SHORT, "-l", "3")
    process = subprocess.Popen([PLAYER, "--loop-forever", SHORT], env=environment(), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.time() + 60
    while time.time() < deadline and (not os.path.exists(RAW) or os.path.getsize(RAW) < len(expected) + 10**6):
        time.sleep(0.05)
    process.send_signal(signal.SIGTERM)
    if process.wait(timeout=30) != 0:
        fail("endless play ended with %d" % process.returncode)
    out = output(expected)
    if len(out) < len(expected) or out[:len(expected)] != expected:
        fail("endless play is not the render with three loops over its length")


def case_folders_and_playlists():
    folder = os.path.join(WORK, "songs")
    os.mkdir(folder)
    for name in ["b.tsm", "a.TSM", "notes.txt"]:
        source = SHORT if name != "b.tsm" else DEMO
        open(os.path.join(folder, name), "wb").write(open(source, "rb").read())
    playlist = os.path.join(WORK, "list.m3u")
    open(playlist, "w").write("#EXTM3U\nsongs/a.TSM\n\n%s\n" % SHORT)
    plays_like([folder, playlist], render(SHORT) + render(DEMO) + render(SHORT) + render(SHORT), LIST_PACE_MS)
    song = open(SHORT, "rb").read()
    result = subprocess.run([PLAYER, "-"], env=environment(), input=song, capture_output=True, timeout=120)
    if result.returncode != 0:
        fail("standard input: " + result.stderr.decode())
    expect_stream(output(render(SHORT)), render(SHORT))


def case_bad_inputs():
    empty_folder = os.path.join(WORK, "empty")
    os.mkdir(empty_folder)
    empty = os.path.join(WORK, "empty.tsm")
    open(empty, "wb").close()
    truncated = os.path.join(WORK, "truncated.tsm")
    open(truncated, "wb").write(open(SHORT, "rb").read()[:2000])
    missing = os.path.join(WORK, "missing.tsm")
    playlist = os.path.join(WORK, "list.m3u8")
    open(playlist, "w").write("gone.tsm\n%s\n" % SHORT)
    png = os.path.join(EXAMPLES, "loop-seam.png")
    cases = [  # (input, words its line must hold)
        (png, "not a song"),
        (empty, "not a song"),
        (truncated, "shorter than"),
        (missing, "No such file"),
        (empty_folder, "no .tsm songs"),
    ]
    result = run([png, empty, SHORT, truncated, missing, empty_folder, playlist], LIST_PACE_MS)
    if result.returncode != 1:
        fail("bad inputs: exit %d, not 1" % result.returncode)
    lines = result.stderr.splitlines()
    for path, words in cases:
        mine = [line for line in lines if path + ":" in line]
        if len(mine) != 1 or words not in mine[0]:
            fail("for %s one line with '%s' expected: %r" % (path, words, lines))
    if not any("gone.tsm: cannot read the file" in line for line in lines):
        fail("the playlist's missing song is not named")
    expected = render(SHORT) + render(truncated) + render(SHORT)
    expect_stream(output(expected), expected)


def case_usage_and_device():
    table = [  # (arguments, exit code, words of the message)
        (["--volume", "101", SHORT], 2, "--volume: invalid value '101' (a whole number 0..100)"),
        (["--stereo", "x", SHORT], 2, "--stereo: invalid value 'x' (a whole number 0..200)"),
        (["--gain", "97", SHORT], 2, "--gain: invalid value '97' (decibels from -96 to 96)"),
        (["--mute", "4", SHORT], 2, "--mute: invalid value '4' (tracks 1, 2, 3, drums, separated by commas)"),
        (["--start", "1:75", SHORT], 2, "--start: invalid value '1:75'"),
        (["--mute", "1", "--solo", "2", SHORT], 2, "--mute and --solo exclude each other"),
        (["--bogus", SHORT], 2, "unknown option '--bogus'"),
        ([], 2, "no song to play"),
    ]
    for args, code, words in table:
        result = run(args)
        if result.returncode != code or words not in result.stderr:
            fail("%r: exit %d, %r" % (args, result.returncode, result.stderr))
    # The shared options are worded as tamselexport words them.
    tool = subprocess.run([EXPORTER, "--gain", "97", "-o", os.path.join(WORK, "x.wav"), SHORT], capture_output=True,
                          text=True)
    if "--gain: invalid value '97' (decibels from -96 to 96)" not in tool.stderr:
        fail("tamselexport words --gain otherwise: " + tool.stderr)
    env = environment()
    env["SDL_AUDIODRIVER"] = "nonexistent"
    result = subprocess.run([PLAYER, SHORT], env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=60)
    if result.returncode != 1 or len(result.stderr.splitlines()) != 1 or "audio" not in result.stderr:
        fail("no device: exit %d, %r" % (result.returncode, result.stderr))


# ---- keys through a pseudo-terminal ------------------------------------

KEYS = {"RIGHT": b"\x1b[C", "LEFT": b"\x1b[D", "UP": b"\x1b[A", "DOWN": b"\x1b[B", "HOME": b"\x1b[H"}


def terminal_settings(fd):
    return subprocess.run(["stty", "-g"], stdin=fd, capture_output=True, text=True).stdout


class Terminal:
    """The player on a pseudo-terminal of its own, as its controlling one."""

    def __init__(self, args, delay_ms=5, env_extra=None, columns=80):
        self.master, slave = pty.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
        self.before = terminal_settings(slave)
        self.slave = slave
        env = environment(delay_ms)
        env["TERM"] = "xterm"
        env.update(env_extra or {})

        def controlling():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        self.process = subprocess.Popen([PLAYER, *args], stdin=slave, stdout=slave, stderr=slave, env=env,
                                        preexec_fn=controlling)
        self.screen = b""

    def read(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            import select
            ready, _, _ = select.select([self.master], [], [], 0.02)
            if ready:
                try:
                    self.screen += os.read(self.master, 65536)
                except OSError:
                    return

    def wait_for_events(self, count, kinds=None):
        """Waits until the event log holds count lines (of kinds, besides
        the first two)."""
        end = time.time() + 30
        while time.time() < end:
            self.read(0.05)
            if not os.path.exists(EVENTS):
                continue
            lines = open(EVENTS).read().splitlines()
            if kinds is not None:
                lines = lines[:2] + [line for line in lines[2:] if line.split()[0] in kinds]
            if len(lines) >= count:
                return
        fail("no events from the player")

    def send(self, key):
        os.write(self.master, KEYS.get(key, key.encode() if isinstance(key, str) else key))
        self.read(0.3)

    def finish(self):
        end = time.time() + 30
        while self.process.poll() is None and time.time() < end:
            self.read(0.05)
        if self.process.poll() is None:
            self.process.kill()
            fail("the player did not end")
        self.read(0.1)
        after = terminal_settings(self.slave)
        if after != self.before:
            fail("terminal settings not restored: %r then %r" % (self.before, after))
        if b"\x1b[?25l" in self.screen and b"\x1b[?25h" not in self.screen:
            fail("the cursor was left hidden")
        return self.process.returncode


def read_events():
    events = []
    for line in open(EVENTS).read().splitlines():
        kind, *fields = line.split()
        values = dict(field.split("=") for field in fields)
        events.append((kind, int(values["song"]), int(values["device"]), int(values["frame"]), int(values["value"])))
    return events


def check_segments(songs, out):
    """Between each event and the next, the output is the render of the
    song playing with the tracks muted then, from the frame the event gives,
    or silence while paused or after the list."""
    state = {"song": -1, "muted": 0, "paused": False}
    events = read_events()
    checked = 0
    for index, (kind, song, device, frame, value) in enumerate(events):
        if kind in ("seek", "start", "switch"):
            state["song"] = song
        elif kind == "mute":
            state["muted"] = value
        elif kind in ("pause", "resume"):
            state["paused"] = kind == "pause"
        elif kind in ("end", "list-end"):
            state["song"] = -1 if kind == "list-end" else state["song"]
            continue
        else:
            continue
        end = events[index + 1][2] if index + 1 < len(events) else len(out) // FRAME
        got = out[device * FRAME:end * FRAME]
        if state["paused"] or state["song"] < 0:
            if got.strip(b"\0"):
                fail("sound while paused, frames %d..%d" % (device, end))
            checked += 1
            continue
        muted = ",".join(name for bit, name in enumerate(["1", "2", "3", "drums"]) if state["muted"] >> bit & 1)
        reference = render(songs[state["song"]], *(["--mute", muted] if muted else []))
        expected = reference[frame * FRAME:frame * FRAME + len(got)]
        if got[:len(expected)] != expected:
            at = next(i for i in range(0, len(expected), FRAME) if got[i:i + FRAME] != expected[i:i + FRAME])
            fail("after %s at output frame %d: not the render from frame %d, from the stretch's frame %d of %d: %r"
                 % (kind, device, frame, at // FRAME, len(got) // FRAME, events))
        checked += 1
    return events, checked


KEY_SCRIPTS = [  # (songs, keys, event kinds that must be there, songs they must name)
    ([DEMO], ["RIGHT", "RIGHT", "LEFT", "UP", "DOWN", "HOME"], ["seek"] * 7, None),
    ([DEMO], ["1", "d", "2", "!", "s", "s", "3"], ["mute"] * 7, None),
    ([DEMO], [" ", " ", "RIGHT", " ", " "], ["pause", "resume", "seek", "pause", "resume"], None),
    ([SHORT, DEMO, SHORT], ["n", "n", "p"], ["seek"] * 4, [0, 1, 2, 1]),
]


def case_keys():
    for songs, keys, kinds, song_order in KEY_SCRIPTS:
        if os.path.exists(EVENTS):
            os.remove(EVENTS)
        terminal = Terminal(songs)
        terminal.wait_for_events(2)
        for count, key in enumerate(keys):
            terminal.send(key)
            # Each key makes one event; the next key waits for it (a slow
            # build makes renderers slowly).
            terminal.wait_for_events(2 + count + 1, set(kinds))
        terminal.send("q")
        if terminal.finish() != 0:
            fail("keys %r: exit %d" % (keys, terminal.process.returncode))
        events, checked = check_segments(songs, output(render(songs[0])))
        seen = [e for e in events if e[0] in set(kinds)]
        if [e[0] for e in seen][-len(kinds):] != kinds:
            fail("keys %r gave events %r" % (keys, events))
        if song_order and [e[1] for e in seen] != song_order:
            fail("keys %r played songs %r" % (keys, [e[1] for e in seen]))
        if checked < len(kinds):
            fail("keys %r: only %d stretches checked" % (keys, checked))
        if b"record" not in terminal.screen or b"[1/" not in terminal.screen:
            fail("no status display")


def visible_lines(screen):
    import re
    text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", screen)
    # SDL's disk driver warns on standard error that it writes a file.
    return [line for chunk in text.split(b"\n") for line in chunk.split(b"\r") if not line.startswith(b"CRITICAL")]


def case_display_modes():
    table = [  # (environment, columns, what the screen must hold, what it must not)
        ({}, 80, [b"\x1b[32m", b"record"], []),
        ({"NO_COLOR": "1"}, 80, [b"record"], [b"\x1b[32m", b"\x1b[0m"]),
        ({"TERM": "dumb"}, 80, [b"rec "], [b"\x1b"]),
        ({}, 40, [b"[1/1]"], []),
    ]
    for env, columns, present, absent in table:
        terminal = Terminal(["--loop-forever", SHORT], env_extra=env, columns=columns)
        terminal.wait_for_events(1)
        terminal.read(0.5)
        terminal.send("?")
        terminal.send("?")
        terminal.send("q")
        terminal.finish()
        for words in present:
            if words not in terminal.screen:
                fail("%r: %r not shown" % (env, words))
        for words in absent:
            if words in terminal.screen:
                fail("%r: %r shown" % (env, words))
        if b"pause / resume" not in terminal.screen:
            fail("%r: no help overlay" % env)
        longest = max(len(line) for line in visible_lines(terminal.screen))
        if longest >= columns:
            fail("%r: a line of %d columns on a terminal of %d: %r" % (env, longest, columns, max(visible_lines(terminal.screen), key=len)))


def case_quit_signals():
    table = [("q", None), ("Esc", b"\x1b"), ("Ctrl-C", b"\x03"), ("SIGTERM", signal.SIGTERM),
             ("SIGHUP", signal.SIGHUP)]
    for name, how in table:
        terminal = Terminal(["--loop-forever", SHORT])
        terminal.wait_for_events(1)
        terminal.read(0.3)
        if isinstance(how, int):
            terminal.process.send_signal(how)
        else:
            os.write(terminal.master, how or b"q")
        if terminal.finish() != 0:
            fail("%s: exit %d" % (name, terminal.process.returncode))


def case_suspend():
    """Ctrl-Z under a shell with job control, then fg, then q."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 80, 0, 0))
    before_file = os.path.join(WORK, "before")
    after_file = os.path.join(WORK, "after")
    env = environment(5)
    env.update({"TERM": "xterm", "PS1": "$ "})

    def controlling():
        os.setsid()
        fcntl.ioctl(0, termios.TIOCSCTTY, 0)

    shell = subprocess.Popen(["bash", "--norc", "--noprofile", "--noediting", "-i"], stdin=slave, stdout=slave,
                             stderr=slave, env=env, preexec_fn=controlling)
    screen = bytearray()

    def read(seconds):
        import select
        end = time.time() + seconds
        while time.time() < end:
            if select.select([master], [], [], 0.02)[0]:
                screen.extend(os.read(master, 65536))

    def type_line(text, seconds=0.5):
        os.write(master, text.encode())
        read(seconds)

    type_line("stty -g > %s; %s --loop-forever %s\n" % (before_file, PLAYER, SHORT), 1.5)
    os.write(master, b"\x1a")
    read(1.0)
    stopped = terminal_settings(slave)
    before = open(before_file).read()
    if stopped != before:
        fail("suspended: the terminal is not as it was: %r, %r" % (before, stopped))
    type_line("fg\n", 1.5)
    size = os.path.getsize(RAW)
    read(0.5)
    if os.path.getsize(RAW) <= size:
        fail("fg did not resume playback")
    os.write(master, b"q")
    read(1.0)
    # A job stopped and resumed leaves the rest of its command line unrun.
    type_line("stty -g > %s; exit\n" % after_file)
    end = time.time() + 20
    while shell.poll() is None and time.time() < end:
        read(0.1)
    if shell.poll() is None:
        shell.kill()
        fail("the shell did not end: %r" % bytes(screen[-600:]))
    if open(after_file).read() != before:
        fail("after fg and q the terminal is not as it was")


def case_documentation():
    """Every option of --help in the manual page, the completion and the
    README; every key of --help in the manual page."""
    import re
    help_text = subprocess.run([PLAYER, "--help"], capture_output=True, text=True).stdout
    root = os.path.dirname(EXAMPLES)
    manual = open(MANUAL).read()
    manual = manual.replace("\\-", "-")
    completion = open(os.path.join(root, "completion", "tamselplay.bash")).read()
    readme = open(os.path.join(root, "README.md")).read()
    for option in sorted(set(re.findall(r"--[a-z-]+", help_text))):
        for name, text in [("manual", manual), ("completion", completion), ("README", readme)]:
            if option not in text:
                fail("%s is not in the %s" % (option, name))
    for key in ["space", "n", "p", "1", "d", "s", "!", "l", "+", "[", "?", "q", "Esc", "Home"]:
        if key not in help_text or ".B" not in manual or key not in manual.split(".SH KEYS")[1]:
            fail("key %s is not in --help and the manual" % key)


CASES = {name[5:]: function for name, function in globals().items() if name.startswith("case_")}
CASES[CASE]()
print("ok: " + CASE)
