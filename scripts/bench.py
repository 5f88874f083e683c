#!/usr/bin/env python3
"""`make bench`: the player measured against its floors (bare programs of our own in bench/), run
side by side under a private Wine harness. Each run starts the player and its floor one after the
other, in alternating order, so a noisy machine moves both. Prints per measure
    bench: NAME ours=<median> floor=<median> ratio=<ours/floor> unit=<unit> runs=<n>
(with the figures behind it on indented lines) and writes the same to build/bench/results.json.
The builds come from `make build-tests`; this script builds only its media and folder tree.
The measures of bench/measures/ (Measure*.exe beside the tests, each found by its name) play into
an unpaced null sink: they time their own work, and the paced capture would make every track
change wait for its sound to drain. Those of HEARD_MEASURES judge the capture, and play into it."""
import glob
import json
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(REPO, "build", "x64")
OUT = os.path.join(REPO, "build", "bench")
HARNESS = os.path.join(OUT, "harness")
PREFIX = os.path.join(HARNESS, "prefix")
WINE_TEST = [os.path.join(REPO, "scripts", "wine-test.sh"), "--harness", HARNESS]

PLAYER = os.path.join(BUILD, "dist", "Lumetra.exe")
DIST = os.path.join(BUILD, "dist")
FLOORS = os.path.join(BUILD, "bench")
TESTBIN = os.path.join(BUILD, "testbin")
LAUNCH = os.path.join(FLOORS, "Launch.exe")

RUNS = 3
# Self-timed measures that judge what is heard, and so play into the paced capture.
HEARD_MEASURES = ("MeasureVolumeLatency.exe",)
CPU_SECONDS = 20        # of playing counted per run, after the start has settled
CPU_SETTLE_SECONDS = 2
SONG_SECONDS = 40       # longer than the settle and the count together
BYTE_RATE = 44100 * 2 * 2
MEASURE_BUDGET_SECONDS = 120  # a self-timed measure runs again only while it stays within this
RUN_TIMEOUT_SECONDS = 300
SCANNING_TITLE = "Scanning for music files"
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def log(text):
    print(text, flush=True)


def run(command, **kwargs):
    kwargs.setdefault("timeout", RUN_TIMEOUT_SECONDS)
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def capture_env(name, session=None):
    """The environment of one run: its capture file, and an APPDATA of its own for the player's
    session, empty or a copy of the session folder given."""
    os.makedirs(os.path.join(OUT, "capture"), exist_ok=True)
    path = os.path.join(OUT, "capture", name + ".raw")
    if os.path.exists(path):
        os.remove(path)
    appdata = os.path.join(OUT, "appdata", name)
    shutil.rmtree(appdata, ignore_errors=True)
    if session:
        shutil.copytree(session, appdata)
    else:
        os.makedirs(appdata)
    env = dict(os.environ, LUMETRA_CAPTURE=path, LUMETRA_BENCH_APPDATA=windows_path(appdata))
    return env, path


def parse_value(text, key):
    match = re.search(r"\b%s=([-0-9.]+)" % re.escape(key), text)
    if not match:
        raise RuntimeError("no %s= in: %s" % (key, text.strip()[-400:]))
    return float(match.group(1))


def launch(mode, program_args, name, session=None):
    """Times one start of a program with Launch.exe; returns milliseconds, with the window's
    milestones (ms from the start) when the launcher saw any."""
    env, capture = capture_env(name, session)
    args = [LAUNCH, mode] + ([windows_path(capture)] if mode in ("sound", "forward") else []) + ["--", windows_path(program_args[0])] + program_args[1:]
    result = run(WINE_TEST + args, env=env)
    if os.path.exists(capture):
        os.remove(capture)
    if result.returncode != 0:
        raise RuntimeError("%s: %s" % (name, (result.stderr or result.stdout).strip()[-400:]))
    ms = parse_value(result.stdout, "ms")
    milestones = dict((k, float(v)) for k, v in re.findall(r"\b(shown|scanning|restored|handed)=([-0-9.]+)", result.stdout))
    return (ms, milestones) if milestones else ms


# --- media and the folder tree -------------------------------------------------------------------

def make_song():
    """A 320 kbps CBR mp3 of chords and noise, long enough for a CPU run."""
    path = os.path.join(OUT, "media", "song-320.mp3")
    if os.path.exists(path):
        return path
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wav = path + ".wav"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(SONG_SECONDS),
                    "pluck", "220", "pluck", "277", "pinknoise", "remix", "1-3", "1-3", "gain", "-n", "-3"],
                   check=True, capture_output=True)
    subprocess.run(["lame", "--silent", "--cbr", "-b", "320", wav, path + ".part"], check=True)
    os.remove(wav)
    os.replace(path + ".part", path)
    return path


def make_silence():
    """A minute of silence as an mp3: what plays while a second launch hands another file over."""
    path = os.path.join(OUT, "media", "silence-60.mp3")
    if os.path.exists(path):
        return path
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wav = path + ".wav"
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "trim", "0", "60"], check=True,
                   capture_output=True)
    subprocess.run(["lame", "--silent", "--cbr", "-b", "128", wav, path + ".part"], check=True)
    os.remove(wav)
    os.replace(path + ".part", path)
    return path


def make_tree():
    """100,000 empty files in 1,000 folders: 10 groups of 100 files and 99 subfolders of 100 files
    each; 60 % carry a supported extension in mixed case."""
    root = os.path.join(OUT, "tree-100k")
    stamp = root + ".done"
    if os.path.exists(stamp):
        return root
    supported = ["mp3", "MP3", "Mp3", "ogg", "OGG", "Ogg", "flac", "FLAC", "Flac"]
    others = ["txt", "jpg", "nfo", "m3u"]
    rng = random.Random(100000)
    files = 0
    for group in range(10):
        folders = [os.path.join(root, "Group %d" % group)]
        folders += [os.path.join(folders[0], "Disc %02d" % disc) for disc in range(99)]
        for folder in folders:
            os.makedirs(folder, exist_ok=True)
            for n in range(100):
                ext = rng.choice(supported) if files % 10 < 6 else rng.choice(others)
                open(os.path.join(folder, "Track %03d.%s" % (n, ext)), "w").close()
                files += 1
    open(stamp, "w").close()
    return root


# --- CPU from /proc ------------------------------------------------------------------------------

def prefix_processes():
    """CPU seconds so far of every process of our Wine prefix, with a kind for each."""
    marker = b"WINEPREFIX=" + PREFIX.encode() + b"\0"
    found = {}
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if marker not in f.read() + b"\0":
                    continue
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        seconds = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
        found[pid] = (command, seconds)
    return found


def program_memory(program):
    """The program's memory as Linux sees its Wine process: resident anonymous pages (what Windows
    counts as its private bytes, here only those in memory) and the whole resident set (its
    working set), in bytes. Wine does not fill in private bytes itself."""
    memory = {"private": 0, "working": 0}
    for pid, (command, _) in prefix_processes().items():
        if kind_of(command, program) != "player":
            continue
        try:
            with open("/proc/%s/status" % pid) as f:
                status = dict(line.split(":", 1) for line in f if ":" in line)
        except OSError:
            continue
        memory["private"] += int(status.get("RssAnon", "0 kB").split()[0]) * 1024
        memory["working"] += int(status.get("VmRSS", "0 kB").split()[0]) * 1024
    return memory


def kind_of(command, program):
    if any(own in command for own in ("python", "Launch.exe", "wine-test.sh", "Xvfb")):
        return None  # the audio pacer, the launcher, its script and the display are the bench's own
    if os.path.basename(program).lower() in command.lower():
        return "player"
    if "wineserver" in command:
        return "wineserver"
    return "system"


def cpu_per_minute(program_args, name, minimize=False):
    """Starts the program, waits for its sound, lets it settle (minimized when asked), then counts
    the CPU time of the prefix's processes over CPU_SECONDS of playing; returns seconds per minute
    of audio, where the CPU went, and the program's memory at the end (bytes)."""
    env, capture = capture_env(name)
    command = WINE_TEST + [LAUNCH, "sound", windows_path(capture), "--hold"] + (["--minimize"] if minimize else []) + \
        ["--", windows_path(program_args[0])] + program_args[1:]
    process = subprocess.Popen(command, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    try:
        line = process.stdout.readline()
        if "launch ms=" not in line:
            raise RuntimeError("%s: no sound (%s)" % (name, process.stderr.read().strip()[-400:]))
        time.sleep(CPU_SETTLE_SECONDS)
        before, size_before = prefix_processes(), os.path.getsize(capture)
        time.sleep(CPU_SECONDS)
        after, size_after = prefix_processes(), os.path.getsize(capture)
        memory = program_memory(program_args[0])
        process.stdin.write("\n")
        process.stdin.flush()
        process.wait(timeout=60)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        if os.path.exists(capture):
            os.remove(capture)
    split = {"player": 0.0, "wineserver": 0.0, "system": 0.0}
    for pid, (cmd, seconds) in after.items():
        kind = kind_of(cmd, program_args[0])
        if kind:
            split[kind] += seconds - before.get(pid, (cmd, 0.0))[1]
    minutes = (size_after - size_before) / BYTE_RATE / 60
    if minutes <= 0:
        raise RuntimeError("%s: the capture did not grow while it played" % name)
    return sum(split.values()) / minutes, {k: round(v / minutes, 3) for k, v in split.items()}, memory


# --- the measures --------------------------------------------------------------------------------

class Measure:
    def __init__(self, name, unit):
        self.name, self.unit = name, unit
        self.ours, self.floor = [], []
        self.details = {"ours": [], "floor": []}

    def result(self):
        ours = statistics.median(self.ours)
        floor = statistics.median(self.floor)
        return {"name": self.name, "ours": ours, "floor": floor,
                "ratio": ours / floor if floor else None, "unit": self.unit,
                "runs": min(len(self.ours), len(self.floor)),
                "ours_runs": self.ours, "floor_runs": self.floor, "details": self.details}


def side_by_side(measure, ours, floor, runs=RUNS):
    """Runs ours and the floor in turn, the one that goes first alternating from run to run."""
    for i in range(runs):
        pair = [("ours", ours), ("floor", floor)]
        if i % 2:
            pair.reverse()
        for side, function in pair:
            value = function(i)
            detail = None
            if isinstance(value, tuple):
                value, detail = value
            getattr(measure, side).append(value)
            if detail is not None:
                measure.details[side].append(detail)
    return measure


def measure_cpu(song):
    """cpu-playing against the bare player and against the bare player with a window whose timer
    polls three keys; cpu-minimized (the player minimized) against the bare player; and
    memory-playing, the private bytes at the end of the cpu-playing runs."""
    player, window = [os.path.join(FLOORS, "FloorPlayer.exe"), windows_path(song)], \
        [os.path.join(FLOORS, "FloorPlayer.exe"), "--window", windows_path(song)]
    measures = [Measure("cpu-playing", "cpu-s/min"), Measure("cpu-playing-window-floor", "cpu-s/min"),
                Measure("cpu-minimized", "cpu-s/min"), Measure("memory-playing", "MB")]
    for i in range(RUNS):
        runs = [("ours", lambda: cpu_per_minute([PLAYER, windows_path(song)], "cpu-ours-%d" % i)),
                ("minimized", lambda: cpu_per_minute([PLAYER, windows_path(song)], "cpu-min-%d" % i, True)),
                ("floor", lambda: cpu_per_minute(player, "cpu-floor-%d" % i)),
                ("window", lambda: cpu_per_minute(window, "cpu-window-%d" % i))]
        if i % 2:
            runs.reverse()
        got = {side: run_one() for side, run_one in runs}
        cpu, memory = measures[0], measures[3]
        cpu.ours.append(got["ours"][0])
        cpu.floor.append(got["floor"][0])
        cpu.details["ours"].append(got["ours"][1])
        cpu.details["floor"].append(got["floor"][1])
        measures[1].ours.append(got["ours"][0])
        measures[1].floor.append(got["window"][0])
        measures[2].ours.append(got["minimized"][0])
        measures[2].floor.append(got["floor"][0])
        measures[2].details["ours"].append(got["minimized"][1])
        for side, key in (("ours", "ours"), ("floor", "floor")):
            held = got[key][2]
            getattr(memory, side).append(round(held.get("private", 0) / 1e6, 1))
            memory.details[side].append("private %.1f MB, working set %.1f MB" % (
                held.get("private", 0) / 1e6, held.get("working", 0) / 1e6))
    return measures


def measure_first_sound(song):
    return side_by_side(
        Measure("first-sound", "ms"),
        lambda i: launch("sound", [PLAYER, windows_path(song)], "sound-ours-%d" % i),
        lambda i: launch("sound", [os.path.join(FLOORS, "FloorPlayer.exe"), windows_path(song)], "sound-floor-%d" % i))


def measure_forward(song):
    silence = make_silence()
    return side_by_side(
        Measure("forward-to-sound", "ms"),
        lambda i: launch("forward", [PLAYER, windows_path(silence), "--", windows_path(PLAYER), windows_path(song)],
                         "forward-ours-%d" % i),
        lambda i: launch("sound", [os.path.join(FLOORS, "FloorPlayer.exe"), windows_path(song)], "forward-floor-%d" % i))


def measure_first_paint():
    return side_by_side(
        Measure("first-paint", "ms"),
        lambda i: launch("paint", [PLAYER], "paint-ours-%d" % i),
        lambda i: launch("paint", [os.path.join(FLOORS, "FloorWindow.exe"), windows_path(DIST)],
                         "paint-floor-%d" % i))


def make_session(song, tree):
    """A saved session of the 100,000-file tree's music files, after the song, which is current
    and was left at 10 s: an APPDATA folder with Lumetra\\session.m3u8 and settings.ini."""
    folder = os.path.join(OUT, "session-100k")
    lumetra = os.path.join(folder, "Lumetra")
    if os.path.exists(os.path.join(lumetra, "settings.ini")):
        return folder
    os.makedirs(lumetra, exist_ok=True)
    paths = [windows_path(song)]
    for root, dirs, files in os.walk(tree):
        dirs.sort()
        paths += [windows_path(os.path.join(root, f)) for f in sorted(files)
                  if f.lower().rsplit(".", 1)[-1] in ("mp3", "ogg", "flac")]
    with open(os.path.join(lumetra, "session.m3u8"), "w", encoding="utf-8", newline="") as f:
        f.write("#EXTM3U\r\n" + "".join(p + "\r\n" for p in paths))
    with open(os.path.join(lumetra, "settings.ini"), "w", encoding="utf-8", newline="") as f:
        f.write("current_index=0\r\ncurrent_path=%s\r\nposition_ms=10000\r\n" % windows_path(song))
    return folder


def measure_resume(song, tree):
    session = make_session(song, tree)
    return side_by_side(
        Measure("resume-100k", "ms"),
        lambda i: launch("paint", [PLAYER], "resume-ours-%d" % i, session),
        lambda i: launch("paint", [PLAYER], "resume-floor-%d" % i))


def floor_walk(tree):
    result = run(WINE_TEST + [os.path.join(FLOORS, "FloorWalk.exe"), windows_path(tree)])
    if result.returncode != 0:
        raise RuntimeError("floor walk: " + result.stderr.strip()[-400:])
    return parse_value(result.stdout, "ms"), {"files": int(parse_value(result.stdout, "files"))}


def measure_scan(tree):
    # One walk first, so neither side pays for a cold cache of the tree.
    floor_walk(tree)
    return side_by_side(
        Measure("scan-100k", "ms"),
        lambda i: launch("scan", [PLAYER, windows_path(tree)], "scan-ours-%d" % i),
        lambda i: floor_walk(tree))


def self_timed_measures():
    """Every Measure*.exe beside the tests; each prints `measure NAME ours= floor= unit=` lines.
    One runs up to RUNS times, but not again once its runs took MEASURE_BUDGET_SECONDS."""
    found = {}
    for exe in sorted(glob.glob(os.path.join(TESTBIN, "Measure*.exe"))):
        spent = 0.0
        for i in range(RUNS):
            if spent > MEASURE_BUDGET_SECONDS:
                break
            # They time their own work in process: the sound goes to an unpaced sink, so a track
            # change does not wait on the pace of the capture.
            env, capture = capture_env("%s-%d" % (os.path.basename(exe), i))
            if os.path.basename(exe) not in HEARD_MEASURES:
                env["LUMETRA_SINK"] = "null"
            started = time.monotonic()
            result = run(WINE_TEST + [exe], env=env, cwd=TESTBIN)
            spent += time.monotonic() - started
            if os.path.exists(capture):
                os.remove(capture)
            lines = re.findall(r"^measure (\S+) ours=(\S+) floor=(\S+) unit=(\S+)", result.stdout, re.M)
            if result.returncode != 0 or not lines:
                log("  %s failed (exit %d): %s" % (os.path.basename(exe), result.returncode,
                                                   (result.stderr or result.stdout).strip()[-400:]))
                break
            for name, ours, floor, unit in lines:
                measure = found.setdefault(name, Measure(name, unit))
                measure.ours.append(float(ours))
                measure.floor.append(float(floor))
            for line in result.stderr.splitlines():
                if line.strip():
                    measure.details["ours"].append(line.strip())
    return list(found.values())


# --- output --------------------------------------------------------------------------------------

def number(value):
    if value is None:
        return "n/a"
    if float(value).is_integer():
        return str(int(value))
    return "%.1f" % value if abs(value) >= 10 else "%.3f" % value


def report(result):
    ratio = "n/a" if result["ratio"] is None else "%.2f" % result["ratio"]
    log("bench: %s ours=%s floor=%s ratio=%s unit=%s runs=%d" % (
        result["name"], number(result["ours"]), number(result["floor"]), ratio, result["unit"], result["runs"]))
    log("  ours runs: %s; floor runs: %s" % (" ".join(number(v) for v in result["ours_runs"]),
                                           " ".join(number(v) for v in result["floor_runs"])))
    for side in ("ours", "floor"):
        for detail in result["details"][side]:
            log("  %s: %s" % (side, detail))


def main():
    started = time.monotonic()
    for path in (PLAYER, LAUNCH):
        if not os.path.exists(path):
            sys.exit("bench: %s is missing; run `make bench`, which builds it" % path)
    os.makedirs(OUT, exist_ok=True)
    song, tree = make_song(), make_tree()
    if subprocess.run(WINE_TEST + ["--start"]).returncode != 0:
        sys.exit("bench: the Wine harness did not start")
    results, failed = [], []
    try:
        steps = [lambda: measure_cpu(song), lambda: measure_first_sound(song), lambda: measure_forward(song),
                 measure_first_paint,
                 lambda: measure_scan(tree), lambda: measure_resume(song, tree)]
        for step in steps:
            try:
                done = step()
            except (RuntimeError, subprocess.TimeoutExpired, OSError) as error:
                log("bench: a measure failed: %s" % error)
                failed.append(str(error))
                continue
            for measure in done if isinstance(done, list) else [done]:
                results.append(measure.result())
                report(results[-1])
        for measure in self_timed_measures():
            results.append(measure.result())
            report(results[-1])
    finally:
        subprocess.run(WINE_TEST + ["--stop"])
    wall = time.monotonic() - started
    with open(os.path.join(OUT, "results.json"), "w") as f:
        json.dump({"date": time.strftime("%Y-%m-%dT%H:%M:%S"), "wall_seconds": round(wall, 1),
                   "measures": results, "failed": failed}, f, indent=2)
    log("bench: %d measures in %.0f s; figures in %s" % (len(results), wall, os.path.join(OUT, "results.json")))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
