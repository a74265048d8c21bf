#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The program with its player page against plain mpv: CPU of the whole process tree while a
1080p H.264 clip plays, "app" being the real program (`lirra`, its built-in service and player
page, a subtitle file beside the clip with a line every 2 s) and "mpv" plain mpv on the same file
with the same scaler, in interleaved rounds (mpv, app, app, mpv ...) so that other load on the
machine falls on both alike.

Usage: bench/compose/run.py [--build DIR] [--seconds 15] [--rounds 3] [--json FILE]
The program's window is fitted to the video on a screen of 1280x760, so its picture is about
mpv's 1280x720; its frames shown are the rates it reports with --verbose.
Per player and round: CPU % of a core, video frames that reached the window per second, the
engine's dropped frames; then the medians and the program's ratio to mpv.
The players run in a scheduling group of their own with a high weight (Linux autogroup nice,
needs root), so that other sessions' builds on a shared machine do not starve them; without
it the figures still compare, but both players drop frames.
"""
import argparse
import json
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TICKS = os.sysconf("SC_CLK_TCK")
FPS = 30


def _playback_run():
    """The playback benchmark's script, whose process-tree walk the spikes share."""
    import importlib.util
    found = importlib.util.spec_from_file_location(
        "playback_run", os.path.join(ROOT, "bench", "playback", "run.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


tree = _playback_run().tree


def thread_ticks(pids):
    """{(process name, thread name without digits): ticks} over every thread of the processes."""
    ticks = {}
    for p in pids:
        try:
            with open(f"/proc/{p}/comm") as f:
                comm = f.read().strip()
            tasks = os.listdir(f"/proc/{p}/task")
        except OSError:
            continue
        for t in tasks:
            try:
                with open(f"/proc/{p}/task/{t}/stat") as f:
                    text = f.read()
            except OSError:
                continue
            name = text[text.index("(") + 1:text.rindex(")")].rstrip("0123456789:-")
            fields = text.rsplit(")", 1)[1].split()
            key = (comm, name)
            ticks[key] = ticks.get(key, 0) + int(fields[11]) + int(fields[12])
    return ticks


def make_video(path, seconds):
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc2=size=1920x1080:rate={FPS}:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "libx264", "-preset", "superfast", "-pix_fmt", "yuv420p", "-b:v", "6M",
         "-c:a", "aac", path],
        check=True)


class App:
    """The real program on the clip, with a subtitle file beside it."""

    def __init__(self, binary, video, folder):
        home = tempfile.mkdtemp(dir=folder)
        arguments = [binary, "--verbose", "--data", os.path.join(home, "data"),
                     "--instance", os.path.basename(home)]
        self.log = open(os.path.join(home, "log"), "w+")
        self.process = subprocess.Popen(arguments + [video], stdout=self.log,
                                        stderr=subprocess.STDOUT, env=dict(os.environ, HOME=home))
        # Playing once the player page is told the time.
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            time.sleep(0.5)
            with open(self.log.name) as log:
                if "trigger('timeUpdate'" in log.read():
                    return
        self.process.kill()
        self.process.wait()
        raise TimeoutError("the program did not play")

    def stats(self):
        with open(self.log.name) as log:
            lines = log.readlines()
        times = [int(line.rsplit(",", 1)[1].split(")")[0])
                 for line in lines if "trigger('timeUpdate'," in line]
        # Frames shown: from the rates the program reports every 10 s with --verbose, those
        # reported since the previous call.
        rates = [float(line.split("Video frames: ")[1].split("/s")[0])
                 for line in lines[getattr(self, "read", 0):] if "Video frames: " in line]
        self.read = len(lines)
        self.rate = statistics.mean(rates) if rates else 0.0
        return 0, 0, times[-1] if times else 0


def write_subtitles(path, seconds):
    """A line every 2 s, as a film's dialogue changes."""
    with open(path, "w") as out:
        for i in range(seconds // 2):
            start, end = 2 * i, 2 * i + 1
            out.write(f"{i + 1}\n00:{start // 60:02d}:{start % 60:02d},000 --> "
                      f"00:{end // 60:02d}:{end % 60:02d},800\n"
                      f"Line number {i + 1}: where did you leave the keys?\n\n")


class Mpv:
    def __init__(self, video, folder):
        self.ipc = os.path.join(folder, "mpv.socket")
        self.process = subprocess.Popen(
            ["mpv", "--no-config", "--vo=gpu", "--gpu-sw=yes", "--hwdec=auto-safe",
             "--keep-open=yes", "--audio-fallback-to-null=yes", "--geometry=1280x720",
             "--osc=no", "--osd-level=0", "--really-quiet", f"--input-ipc-server={self.ipc}",
             video], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(self.ipc) and self.property("time-pos") not in (None, "?"):
                return
            time.sleep(0.1)
        raise RuntimeError("mpv did not start")

    def property(self, name):
        try:
            with socket.socket(socket.AF_UNIX) as connection:
                connection.connect(self.ipc)
                connection.sendall(json.dumps({"command": ["get_property", name]}).encode() + b"\n")
                reply = b""
                while not reply.endswith(b"\n"):
                    reply += connection.recv(4096)
        except OSError:
            return None
        for line in reply.decode().splitlines():
            answer = json.loads(line)
            if "data" in answer:
                return answer["data"]
        return "?"

    def stats(self):
        drops = int(self.property("frame-drop-count") or 0)
        ms = int(float(self.property("time-pos") or 0) * 1000)
        # Frames that reached the window: the video's frames over the time passed, less those
        # mpv dropped.
        return ms * FPS // 1000 - drops, drops, ms


def measure(player, seconds, warmup):
    time.sleep(warmup)
    pids = tree(player.process.pid)
    shown0, drops0, ms0 = player.stats()
    ticks0, began = thread_ticks(pids), time.monotonic()
    time.sleep(seconds)
    pids = tree(player.process.pid)
    ticks1, elapsed = thread_ticks(pids), time.monotonic() - began
    shown1, drops1, ms1 = player.stats()
    player.process.kill()
    player.process.wait()
    threads = {f"{k[0]}/{k[1]}": (v - ticks0.get(k, 0)) / TICKS / elapsed * 100
               for k, v in ticks1.items()}
    fps = player.rate if isinstance(player, App) else (shown1 - shown0) / elapsed
    return {"cpu": sum(threads.values()), "fps": fps,
            "drops": drops1 - drops0, "video_s": (ms1 - ms0) / 1000, "elapsed": elapsed,
            "threads": {k: round(v, 1) for k, v in sorted(threads.items(), key=lambda x: -x[1])
                        if v >= 1}}


def start(name, video, folder, program):
    if name == "mpv":
        return Mpv(video, folder)
    return App(program, video, folder)


def boost():
    """A session of its own whose scheduling group weighs as much as a nice -15 process."""
    try:
        with open("/proc/self/autogroup", "w") as f:
            f.write("-15")
        return True
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--seconds", type=int, default=15)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--json")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if not args.inside:
        os.setsid()
        boosted = boost()
        print("scheduling group boosted" if boosted else "no boost (not root?)", flush=True)
        command = [sys.executable] + sys.argv + ["--inside"]
        if not os.environ.get("DISPLAY"):
            command = ["xvfb-run", "-a", "-s", "-screen 0 1280x760x24"] + command
        os.execvp(command[0], command)

    os.environ.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1" if os.geteuid() == 0 else "0")
    if os.environ["QTWEBENGINE_DISABLE_SANDBOX"] == "0":
        del os.environ["QTWEBENGINE_DISABLE_SANDBOX"]
    program = os.path.join(args.build, "src", "app", "lirra")
    results = {"mpv": [], "app": []}
    with tempfile.TemporaryDirectory() as folder:
        video = os.path.join(folder, "bench 1080p.mp4")
        make_video(video, args.seconds + 15)
        write_subtitles(os.path.splitext(video)[0] + ".srt", args.seconds + 15)
        for round_ in range(args.rounds):
            order = ["mpv", "app"] if round_ % 2 == 0 else ["app", "mpv"]
            for name in order:
                try:
                    player = start(name, video, folder, program)
                except TimeoutError as error:
                    print(f"round {round_ + 1} {name}: {error}; once more", flush=True)
                    player = start(name, video, folder, program)
                figures = measure(player, args.seconds, 2)
                figures["load"] = os.getloadavg()[0]
                results[name].append(figures)
                busiest = ", ".join(f"{k} {v:.0f}" for k, v in list(figures["threads"].items())[:6])
                print(f"round {round_ + 1} {name:<15} CPU {figures['cpu']:6.1f} %  "
                      f"{figures['fps']:5.1f} frames/s shown  drops {figures['drops']:3d}  "
                      f"load {figures['load']:.1f}  [{busiest}]", flush=True)

    mpv_cpu = statistics.median(r["cpu"] for r in results["mpv"])
    print(f"\nmedians of {args.rounds} rounds, {args.seconds} s each:")
    for name, rows in results.items():
        cpu = statistics.median(r["cpu"] for r in rows)
        fps = statistics.median(r["fps"] for r in rows)
        drops = statistics.median(r["drops"] for r in rows)
        print(f"  {name:<15} CPU {cpu:6.1f} %  {fps:5.1f} frames/s  drops {drops:5.1f}  "
              f"ratio to mpv {cpu / mpv_cpu:.2f}")
    if args.json:
        with open(args.json, "w") as out:
            json.dump(results, out, indent=1)


if __name__ == "__main__":
    main()
