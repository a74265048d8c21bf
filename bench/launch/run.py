#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The first seconds of a 1080p video, and the page while it plays (the real `lirra`, its log read
as it comes with `--verbose`, every line stamped on arrival).

Launches: N times the app with its embedded service opens a 12 s 1080p H.264 clip with an English
and a Spanish subtitle file beside it (fresh data each time, so both files are uploaded first):
  - the video time at which the player page had loaded: the last "timeUpdate" sent before the
    player page's "Page loaded" line (goal: 0 every time; the first frame of this clip is at
    0 ms, so any other value is video that played before the page was there);
  - the wall time from "LaunchVideo" (posted right after the upload line) to that "Page loaded";
  - the largest gap between two "timeUpdate" scripts while the video plays.
While playing: the app against a small service of this script whose player page, while a 40 s
1080p clip plays, asks the bridge 300 times or for 15 s (IsFullscreen, timed in the page) and then reloads
itself once:
  - the bridge round trip, median and 99th percentile;
  - the page reload: from the page's request to reload to the app's "Page loaded";
  - the largest gap between two "timeUpdate" scripts;
  - the CPU of the app's busiest threads meanwhile (% of a core, from /proc).

Usage: bench/launch/run.py [--build DIR] [--launches 10] [--json FILE]
Runs itself under xvfb-run (a 1600x1000 screen) when no display is set. Needs ffmpeg.
"""
import argparse
import http.server
import json
import os
import queue
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TICKS = os.sysconf("SC_CLK_TCK")

ENGLISH = ("1\n00:00:00,500 --> 00:00:04,000\nHello there, walker.\n\n"
           "2\n00:00:04,500 --> 00:00:09,000\nThe night is quiet.\n\n"
           "3\n00:00:09,500 --> 00:00:15,000\nLet us go home now.\n")
SPANISH = ("1\n00:00:00,500 --> 00:00:04,000\nHola, caminante.\n\n"
           "2\n00:00:04,500 --> 00:00:09,000\nLa noche está tranquila.\n\n"
           "3\n00:00:09,500 --> 00:00:15,000\nVolvamos a casa ahora.\n")

LAUNCH_LINES = ("Successfully uploaded all downloaded subtitles", "Failed to upload downloaded subtitles",
                "Done analyzing video: found 0 subtitles")
TIME_UPDATE = re.compile(r"trigger\('timeUpdate', (-?\d+|null)\)")
PLAYER_LOADED = re.compile(r"^Page loaded: \S*/Player/Play\?videoId=")


def make_clip(path, seconds):
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc2=size=1920x1080:rate=30:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "libx264", "-preset", "superfast", "-pix_fmt", "yuv420p", "-b:v", "6M",
         "-c:a", "aac", "-shortest", path],
        check=True)


class App:
    """`lirra --verbose ...` with a home of its own; every log line stamped as it arrives."""

    def __init__(self, lirra, arguments, home):
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/config",
                   XDG_DATA_HOME=f"{home}/data", XDG_RUNTIME_DIR=f"{home}/run",
                   LIRRA_ALERT_AUTOREPLY="1")
        os.makedirs(f"{home}/run", mode=0o700, exist_ok=True)
        if os.geteuid() == 0:
            env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        self.lines = []  # (monotonic seconds, text)
        self.arrived = queue.Queue()
        self.process = subprocess.Popen(
            [lirra, "--verbose", "--instance", f"bench-launch-{os.getpid()}-{id(self)}"] + arguments,
            env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            entry = (time.monotonic(), line.rstrip("\n"))
            self.lines.append(entry)
            self.arrived.put(entry)
        self.arrived.put(None)

    def wait_for(self, predicate, timeout):
        """The first line (stamp, text) from now on that satisfies `predicate`, or None."""
        deadline = time.monotonic() + timeout
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            try:
                entry = self.arrived.get(timeout=left)
            except queue.Empty:
                return None
            if entry is None:
                return None
            if predicate(entry[1]):
                return entry

    def quit(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def log(self):
        return "\n".join(text for _, text in self.lines)


def time_updates(lines, since, until):
    """(stamp, value or None) of every "timeUpdate" script sent between the two stamps."""
    found = []
    for stamp, text in lines:
        if since <= stamp <= until and text.startswith("Script:"):
            match = TIME_UPDATE.search(text)
            if match:
                found.append((stamp, None if match.group(1) == "null" else int(match.group(1))))
    return found


def largest_gap_ms(updates):
    """Largest gap between consecutive "timeUpdate"s while the clock moves (from the first value
    above 0 to the last one)."""
    moving = [stamp for stamp, value in updates if value]
    gaps = [b - a for a, b in zip(moving, moving[1:])]
    return max(gaps) * 1000 if gaps else float("nan")


def one_launch(lirra, clip, index):
    home = tempfile.mkdtemp(prefix="lirra-bench-home-")
    app = App(lirra, ["--data", f"{home}/service", clip], home)
    try:
        launched = app.wait_for(lambda t: t.startswith(LAUNCH_LINES), 90)
        if not launched:
            raise RuntimeError(f"launch {index}: no LaunchVideo\n{app.log()}")
        loaded = app.wait_for(lambda t: PLAYER_LOADED.match(t) is not None, 60)
        if not loaded:
            print(f"launch {index}: the player page did not load", flush=True)
            loaded = (float("inf"), "")
        ended = next(((stamp, t) for stamp, t in app.lines if t.startswith("Video ended at")), None)
        if not ended and app.process.poll() is None:
            ended = app.wait_for(lambda t: t.startswith("Video ended at"), 60)
        end_stamp = ended[0] if ended else time.monotonic()
        before = [v for _, v in time_updates(app.lines, launched[0], loaded[0]) if v is not None]
        video_ms = before[-1] if before else 0
        gap = largest_gap_ms(time_updates(app.lines, launched[0], end_stamp))
        result = {"video_ms_at_load": video_ms, "launch_to_loaded_ms": (loaded[0] - launched[0]) * 1000,
                  "largest_time_gap_ms": gap, "ended": bool(ended)}
        print(f"launch {index}: page loaded {result['launch_to_loaded_ms']:.0f} ms after LaunchVideo "
              f"at video time {video_ms} ms; largest timeUpdate gap {gap:.0f} ms"
              + ("" if ended else "; the video did not end in time"), flush=True)
        return result
    finally:
        app.quit()
        shutil.rmtree(home, ignore_errors=True)


PLAYER_PAGE = """<!doctype html><html><head><meta charset="utf-8">
<script src="/static/jquery.js"></script></head><body style="background:transparent">
<p style="color:#ff0;font:30px sans-serif">measuring</p><script>
var times = [], count = 0, total = 300, started = 0, began = 0;
function ask() {
  if (!began) began = performance.now();
  var guid = 'b' + count;
  $(window).one('response:' + guid, function () {
    times.push(performance.now() - started);
    // At most 15 s of asking: a starved page still reports what it measured.
    if (++count < total && performance.now() - began < 15000) setTimeout(ask, 20); else finish();
  });
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  started = performance.now();
  frame.src = 'app:///Request/IsFullscreen?guid=' + guid;
  document.body.appendChild(frame);
  setTimeout(function () { frame.remove(); }, 1000);
}
function finish() {
  fetch('/result', {method: 'POST', body: JSON.stringify(times)}).then(function () {
    setTimeout(function () {
      fetch('/reloading', {method: 'POST', body: ''}).then(function () { location.reload(); });
    }, 1000);
  });
}
if (!RELOADED) $(window).one('timeUpdate', function () { setTimeout(ask, 1000); });
</script></body></html>"""

HOME_PAGE = """<!doctype html><html><head><script src="/static/jquery.js"></script>
</head><body><h1>bench</h1><script>
$(function () {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = 'app:///Execute/EnableDraggableHomeScreen';
  document.body.appendChild(frame);
});</script></body></html>"""


class Service(http.server.ThreadingHTTPServer):
    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        with open("/usr/share/javascript/jquery/jquery.min.js", "rb") as f:
            self.jquery = f.read()
        self.player_loads = 0
        self.result = None
        self.reloading_at = None
        self.done = threading.Event()
        threading.Thread(target=self.serve_forever, daemon=True).start()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, body, kind):
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        service = self.server
        if self.path.startswith("/static/jquery.js"):
            self.answer(service.jquery, "application/javascript")
        elif self.path.startswith("/Player/Home"):
            self.answer(HOME_PAGE.encode(), "text/html")
        elif self.path.startswith("/Player/Play"):
            service.player_loads += 1
            page = PLAYER_PAGE.replace("RELOADED", "true" if service.player_loads > 1 else "false")
            self.answer(page.encode(), "text/html")
        else:
            self.send_error(404)

    def do_POST(self):
        service = self.server
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        if self.path.startswith("/Player/GetSubtitlesToDownload"):
            self.answer(b'{"videoId": 1, "subsToDownload": []}', "application/octet-stream")
            return
        if self.path.startswith("/result"):
            service.result = json.loads(body)
        elif self.path.startswith("/reloading"):
            service.reloading_at = time.monotonic()
        self.answer(b"", "text/plain")


def thread_ticks(pid):
    """{thread id: (name, utime + stime)} of a process's threads."""
    ticks = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                text = f.read()
            name = text[text.index("(") + 1:text.rindex(")")]
            fields = text.rsplit(")", 1)[1].split()
            ticks[tid] = (name, int(fields[11]) + int(fields[12]))
        except (OSError, ValueError):
            pass
    return ticks


def while_playing(lirra, folder):
    clip = os.path.join(folder, "long 1080p.mp4")
    make_clip(clip, 40)
    service = Service()
    home = tempfile.mkdtemp(prefix="lirra-bench-home-")
    app = App(lirra, ["--base-url", f"http://127.0.0.1:{service.server_address[1]}/", clip], home)
    try:
        loaded = app.wait_for(lambda t: PLAYER_LOADED.match(t) is not None, 90)
        if not loaded:
            raise RuntimeError(f"the player page did not load\n{app.log()}")
        time.sleep(2)
        pid = app.process.pid
        began, start_ticks = time.monotonic(), thread_ticks(pid)
        reloaded = app.wait_for(lambda t: PLAYER_LOADED.match(t) is not None, 90)
        end_ticks, elapsed = thread_ticks(pid), time.monotonic() - began
        if not reloaded or service.result is None or service.reloading_at is None:
            raise RuntimeError(f"the page did not measure and reload\n{app.log()}")
        times = sorted(service.result)
        at = lambda q: times[min(len(times) - 1, int(q * len(times)))]
        threads = []
        for tid, (name, ticks) in end_ticks.items():
            used = ticks - start_ticks.get(tid, (name, 0))[1]
            threads.append((used / TICKS / elapsed * 100, name, tid == str(pid)))
        threads.sort(reverse=True)
        result = {
            "round_trip_median_ms": at(0.5), "round_trip_p99_ms": at(0.99),
            "round_trips": len(times),
            "reload_ms": (reloaded[0] - service.reloading_at) * 1000,
            "largest_time_gap_ms": largest_gap_ms(time_updates(app.lines, loaded[0], reloaded[0])),
            "threads": [{"name": ("GUI " if main else "") + name, "cpu": round(cpu)}
                        for cpu, name, main in threads[:8]],
        }
        print(f"while playing: round trip median {result['round_trip_median_ms']:.1f} ms, "
              f"p99 {result['round_trip_p99_ms']:.1f} ms (n={len(times)}); page reload "
              f"{result['reload_ms']:.0f} ms; largest timeUpdate gap "
              f"{result['largest_time_gap_ms']:.0f} ms", flush=True)
        print("busiest threads (% of a core): " +
              ", ".join(f"{t['name']} {t['cpu']}" for t in result["threads"]), flush=True)
        return result
    finally:
        app.quit()
        service.shutdown()
        shutil.rmtree(home, ignore_errors=True)


def p90(values):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(0.9 * len(ordered)))]


def make_colour_clip(path, seconds, rgb, size):
    """A clip of one colour (so its first frame can be told from any page) with a tone."""
    colour = "0x%02x%02x%02x" % rgb
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"color=c={colour}:size={size}:rate=30:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "libx264", "-preset", "superfast", "-pix_fmt", "yuv420p",
         "-c:a", "aac", "-shortest", path],
        check=True)


def bench_arguments(launches, *more):
    """(arguments, the lirra executable) of a benchmark of launches: --build, --launches, --json
    and `more` (flag, options) pairs; reruns the script under xvfb-run when no display is set."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--launches", type=int, default=launches)
    parser.add_argument("--json", help="also write the figures to this file")
    for flag, options in more:
        parser.add_argument(flag, **options)
    args = parser.parse_args()
    if not os.environ.get("DISPLAY") and shutil.which("xvfb-run"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1600x1000x24 -nolisten tcp",
                               sys.executable] + sys.argv)
    lirra = os.path.join(args.build, "src", "app", "lirra")
    if not os.access(lirra, os.X_OK):
        sys.exit(f"build the target lirra in {args.build} first")
    return args, lirra


def main():
    args, lirra = bench_arguments(10)

    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "Night Walk 1080p.mp4")
        make_clip(clip, 12)
        with open(os.path.join(folder, "Night Walk 1080p.en.srt"), "w") as f:
            f.write(ENGLISH)
        with open(os.path.join(folder, "Night Walk 1080p.es.srt"), "w") as f:
            f.write(SPANISH)
        launches = [one_launch(lirra, clip, i + 1) for i in range(args.launches)]
        playing = while_playing(lirra, folder)

    figures = {
        "launches": launches,
        "video_ms_at_load_max": max(l["video_ms_at_load"] for l in launches),
        "launches_loaded_at_0": sum(1 for l in launches if l["video_ms_at_load"] == 0),
        "launch_to_loaded_p90_ms": p90([l["launch_to_loaded_ms"] for l in launches]),
        "launch_time_gap_max_ms": max(l["largest_time_gap_ms"] for l in launches),
        "playing": playing,
    }
    print(f"player page loaded at video time 0 in {figures['launches_loaded_at_0']} of "
          f"{len(launches)} launches (latest at {figures['video_ms_at_load_max']} ms); "
          f"LaunchVideo to page loaded p90 {figures['launch_to_loaded_p90_ms']:.0f} ms")
    if args.json:
        with open(args.json, "w") as out:
            json.dump(figures, out)


if __name__ == "__main__":
    main()
