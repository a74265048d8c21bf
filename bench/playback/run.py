#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Playback benchmarks: start to first frame of the engine in a bare Qt Quick window (drawn by
the program's video item, without a page), and CPU / PSS of the whole process tree while it plays
a 1080p H.264 file, beside plain mpv on the same file.

Usage: bench/playback/run.py [--build DIR] [--seconds 20] [--runs 3] [--json FILE]
Runs itself under xvfb-run when no display is set. The machine should be otherwise idle:
the numbers are CPU time actually used, and a busy machine makes both players drop frames. Needs ffmpeg and mpv on the PATH and the
target lirra_bench_playback built in DIR (default build-mpv).
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


def tree(pid):
    """pid and all its descendants."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


def cpu_ticks(pids):
    total = 0
    for p in pids:
        try:
            with open(f"/proc/{p}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])  # utime, stime
        except (OSError, ValueError, IndexError):
            pass
    return total


def pss_kib(pids):
    total = 0
    for p in pids:
        try:
            with open(f"/proc/{p}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def measure(process, seconds):
    """Average CPU (% of one core) and PSS (MiB, mean and max) of the tree over `seconds`."""
    pids = tree(process.pid)
    start_ticks, start = cpu_ticks(pids), time.monotonic()
    samples = []
    while time.monotonic() - start < seconds and process.poll() is None:
        time.sleep(1)
        pids = tree(process.pid)
        samples.append(pss_kib(pids) / 1024)
    elapsed = time.monotonic() - start
    cpu = (cpu_ticks(pids) - start_ticks) / TICKS / elapsed * 100
    return cpu, statistics.mean(samples) if samples else 0, max(samples, default=0)


def make_video(path, seconds):
    subprocess.run(
        ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
         "-f", "lavfi", "-i", f"testsrc2=size=1920x1080:rate=30:duration={seconds}",
         "-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}",
         "-c:v", "libx264", "-preset", "superfast", "-pix_fmt", "yuv420p", "-b:v", "6M",
         "-c:a", "aac", path],
        check=True)


def first_frame(bench, video):
    """(ms from main() to the first frame, ms from exec to that line) of one start."""
    began = time.monotonic()
    process = subprocess.Popen([bench, video, "--seconds", "0"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    inside = None
    for line in process.stdout:
        if line.startswith("first-frame-ms"):
            inside = int(line.split()[1])
            outside = (time.monotonic() - began) * 1000
            break
    process.kill()
    process.wait()
    if inside is None:
        raise RuntimeError("the bench program showed no frame")
    return inside, outside


def play_ours(bench, video, seconds):
    """measure() of the bench program, the frames its engine dropped meanwhile, and the frames
    per second that reached the window (swaps)."""
    process = subprocess.Popen([bench, video, "--seconds", str(seconds + 5)],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, text=True)
    for line in process.stdout:
        if line.startswith("first-frame-ms"):
            break

    def stats():
        process.stdin.write("stats\n")
        process.stdin.flush()
        for line in process.stdout:
            if line.startswith("drops"):
                fields = line.split()
                return f"{fields[2]} / {fields[4]}", int(fields[6]), time.monotonic()
        return "?", 0, time.monotonic()

    _, shown_before, began = stats()
    result = measure(process, seconds)
    drops, shown_after, ended = stats()
    process.kill()
    process.wait()
    return result + (drops, (shown_after - shown_before) / (ended - began))


def mpv_property(path, name):
    with socket.socket(socket.AF_UNIX) as connection:
        connection.connect(path)
        connection.sendall(json.dumps({"command": ["get_property", name]}).encode() + b"\n")
        reply = b""
        while not reply.endswith(b"\n"):
            reply += connection.recv(4096)
    for line in reply.decode().splitlines():
        answer = json.loads(line)
        if "data" in answer:
            return answer["data"]
    return "?"


def play_mpv(video, seconds, folder):
    # Software GL is what this machine class has; mpv's own window refuses it otherwise.
    ipc = os.path.join(folder, "mpv.socket")
    process = subprocess.Popen(
        ["mpv", "--no-config", "--vo=gpu", "--gpu-sw=yes", "--hwdec=auto-safe",
         "--keep-open=yes", "--audio-fallback-to-null=yes", "--geometry=1280x720", "--osc=no",
         "--osd-level=0", "--really-quiet", f"--input-ipc-server={ipc}", video],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)  # past the start, like ours after its first frame

    def shown():
        # The video's frames over the time passed, less those dropped (the clip has 30 per s).
        try:
            return (float(mpv_property(ipc, "time-pos")) * 30 -
                    int(mpv_property(ipc, "frame-drop-count")), time.monotonic())
        except (OSError, TypeError, ValueError):
            return 0, time.monotonic()

    shown_before, began = shown()
    result = measure(process, seconds)
    shown_after, ended = shown()
    try:
        drops = (f"{mpv_property(ipc, 'frame-drop-count')} / "
                 f"{mpv_property(ipc, 'decoder-frame-drop-count')}")
    except OSError:
        drops = "?"
    process.kill()
    process.wait()
    return result + (drops, (shown_after - shown_before) / (ended - began))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mpv"))
    parser.add_argument("--seconds", type=int, default=20)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()

    if not os.environ.get("DISPLAY") and shutil.which("xvfb-run"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24",
                               sys.executable] + sys.argv)
    bench = os.path.join(args.build, "bench", "playback", "lirra_bench_playback")
    if not os.access(bench, os.X_OK):
        sys.exit(f"build the target lirra_bench_playback in {args.build} first")

    with tempfile.TemporaryDirectory() as folder:
        video = os.path.join(folder, "bench 1080p.mp4")
        make_video(video, args.seconds + 10)
        starts = [first_frame(bench, video) for _ in range(args.runs)]
        ours = play_ours(bench, video, args.seconds)
        plain = play_mpv(video, args.seconds, folder) if shutil.which("mpv") else None

    inside = statistics.median(s[0] for s in starts)
    outside = statistics.median(s[1] for s in starts)
    print(f"start to first frame (median of {args.runs}): {inside:.0f} ms from main(), "
          f"{outside:.0f} ms from exec")
    print(f"1080p H.264, {args.seconds} s, whole process tree:")
    print(f"{'player':<28}{'CPU % of a core':>16}{'PSS MiB mean':>14}{'PSS MiB max':>13}"
          f"{'dropped vo / decoder':>22}{'frames/s shown':>16}")
    rows = [("lirra engine (libmpv+Qt)", ours)] + ([("mpv --vo=gpu", plain)] if plain else [])
    for name, (cpu, pss, pss_max, drops, fps) in rows:
        print(f"{name:<28}{cpu:>16.0f}{pss:>14.0f}{pss_max:>13.0f}{drops:>22}{fps:>16.1f}")
    if plain:
        print(f"CPU ratio lirra / mpv: {ours[0] / plain[0]:.2f}")
    if args.json:
        figures = {"first_frame_ms": inside, "first_frame_from_exec_ms": outside,
                   "seconds": args.seconds,
                   "ours": dict(zip(("cpu", "pss", "pss_max", "drops", "fps"), ours))}
        if plain:
            figures["mpv"] = dict(zip(("cpu", "pss", "pss_max", "drops", "fps"), plain))
        with open(args.json, "w") as out:
            json.dump(figures, out)


if __name__ == "__main__":
    main()
