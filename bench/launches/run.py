#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Launches under load: the real `lirra` (its embedded service, a fresh home each time, as after
install) opens a 20 s clip of one flat colour with an English and a Spanish subtitle file beside
it (a line from the first to the last second), while a load generator of this script keeps the
load average near --load. For each launch:
  - composed: whether the player page reached the screen within 1 s of its load ("Page loaded"
    of the player page in the `--verbose` log): a screenshot of the display then holds pixels
    that are neither the clip's colour nor the empty screen's black (goal: every launch);
  - slow: whether the video ran in slow mode (fewer than 12 frames/s shown in a "Video frames"
    line of the log, or mpv's "Audio/Video desynchronisation detected"; goal: no launch).
Also prints, per launch, the frames/s lines and whether the page showed 3 s after its load.

Usage: bench/launches/run.py [--build DIR] [--launches 20] [--load 4] [--json FILE]
Runs itself under xvfb-run (a 1600x1000 screen) when no display is set. Needs ffmpeg and
ImageMagick's `import`. Never a test: it measures, and disturbs whatever else runs.
"""
import json
import multiprocessing
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "bench", "launch"))
from run import TICKS, App, bench_arguments, make_colour_clip, thread_ticks  # noqa: E402  (the app, its log stamped as it comes)

CLIP_COLOUR = (32, 64, 160)  # dark blue: the page's white and yellow lines stand out
PLAYER_LOADED = re.compile(r"^Page loaded: \S*/Player/Play\?videoId=")
FRAMES = re.compile(r"^Video frames: ([0-9.]+)/s shown")
DESYNC = "Audio/Video desynchronisation detected"
SLOW_FRAMES = 8.0
LINE = "1\n00:00:00,000 --> 00:00:20,000\n{}\n"


def make_clip(path, seconds, size="854x480"):
    make_colour_clip(path, seconds, CLIP_COLOUR, size)


def spin():
    while True:
        pass


class Load:
    """`count` processes that keep a core busy each, at the lowest priority's opposite: plain."""

    def __init__(self, count):
        self.workers = [multiprocessing.Process(target=spin, daemon=True) for _ in range(count)]

    def __enter__(self):
        for worker in self.workers:
            worker.start()
        return self

    def __exit__(self, *exc):
        for worker in self.workers:
            worker.terminate()
        for worker in self.workers:
            worker.join()


def screenshot():
    """The display as a binary PPM."""
    return subprocess.run(["import", "-silent", "-window", "root", "ppm:-"], check=True,
                          capture_output=True).stdout


def page_pixels(ppm):
    """How many pixels of the video's rows in a screenshot are neither the video's colour (the
    commonest one) nor black: the page's."""
    # P6 header: magic, width, height, maximum, each followed by white space.
    fields, at = [], 0
    while len(fields) < 4:
        while ppm[at:at + 1].isspace():
            at += 1
        start = at
        while not ppm[at:at + 1].isspace():
            at += 1
        fields.append(ppm[start:at])
    width, height = int(fields[1]), int(fields[2])
    pixels = ppm[at + 1:]
    rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(0, width, 2)]
            for y in range(0, height, 2)]
    counts = {}
    for row in rows:
        for pixel in row:
            if sum(pixel) >= 30:
                counts[pixel] = counts.get(pixel, 0) + 1
    if not counts:
        return 0
    video = max(counts, key=counts.get)
    near = lambda p: sum(abs(a - b) for a, b in zip(p, video)) < 60
    found = 0
    for row in rows:
        if any(near(p) for p in row):  # a row of the picture (not the menu bar, not the root's)
            found += sum(1 for p in row if sum(p) >= 30 and not near(p))
    return found


def one_launch(lirra, clip, index):
    home = tempfile.mkdtemp(prefix="lirra-bench-launches-")
    app = App(lirra, ["--data", f"{home}/service", clip], home)
    try:
        loaded = app.wait_for(lambda t: PLAYER_LOADED.match(t) is not None, 120)
        if not loaded:
            print(f"launch {index}: the player page did not load", flush=True)
            return {"composed": False, "slow": False, "loaded": False}
        time.sleep(max(0.0, loaded[0] + 1.0 - time.monotonic()))
        shot_one = screenshot()
        time.sleep(max(0.0, loaded[0] + 3.0 - time.monotonic()))
        shot_three = screenshot()
        at_one, at_three = page_pixels(shot_one), page_pixels(shot_three)
        # Where the app's CPU goes while it plays (% of a core), the rasteriser's threads together.
        began, before = time.monotonic(), thread_ticks(app.process.pid)
        time.sleep(max(0.0, loaded[0] + 12.0 - time.monotonic()))
        after, seconds = thread_ticks(app.process.pid), time.monotonic() - began
        cpu = {}
        for tid, (name, ticks) in after.items():
            name = "llvmpipe" if name.startswith("llvmpipe") else name
            used = ticks - before.get(tid, (name, 0))[1]
            cpu[name] = cpu.get(name, 0) + used / TICKS / seconds * 100
        busiest = dict(sorted(cpu.items(), key=lambda item: -item[1])[:5])
        app.wait_for(lambda t: t.startswith("Video ended at"), 40)
        time.sleep(0.5)
        texts = [text for _, text in app.lines]
        frames = [float(m.group(1)) for m in map(FRAMES.match, texts) if m]
        desync = any(DESYNC in text for text in texts)
        slow = desync or any(f < SLOW_FRAMES for f in frames)
        result = {"composed": at_one > 0, "page_pixels_1s": at_one, "page_pixels_3s": at_three,
                  "frames_per_s": frames, "desync": desync, "slow": slow, "loaded": True,
                  "cpu": busiest}
        print(f"launch {index}: page pixels {at_one} at 1 s, {at_three} at 3 s; frames/s "
              f"{frames}{'; A/V desync' if desync else ''}{'; SLOW' if slow else ''}; cpu "
              + ", ".join(f"{name} {share:.0f}" for name, share in busiest.items()), flush=True)
        if os.environ.get("LAUNCHES_KEEP_LOGS"):
            with open(f"{os.environ['LAUNCHES_KEEP_LOGS']}/launch-{index}.log", "w") as out:
                out.write("\n".join(f"{stamp - loaded[0]:+9.3f} {text}" for stamp, text in app.lines))
        return result
    finally:
        app.quit()
        shutil.rmtree(home, ignore_errors=True)


def main():
    args, lirra = bench_arguments(20, ("--load", {"type": int, "default": 4}))

    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "Blue Hour.mp4")
        make_clip(clip, 20)
        for language, text in (("en", "Hello there, walker."), ("es", "Hola, caminante.")):
            with open(os.path.join(folder, f"Blue Hour.{language}.srt"), "w") as f:
                f.write(LINE.format(text))
        with Load(args.load):
            time.sleep(5)  # the load average climbs
            launches = [one_launch(lirra, clip, i + 1) for i in range(args.launches)]
            load_average = os.getloadavg()[0]

    figures = {
        "launches": launches,
        "composed_within_1s": sum(1 for l in launches if l["composed"]),
        "slow_mode": sum(1 for l in launches if l["slow"]),
        "load_average_at_end": load_average,
    }
    print(f"page composed within 1 s of its load: {figures['composed_within_1s']} of "
          f"{len(launches)}; slow mode: {figures['slow_mode']} of {len(launches)} "
          f"(load average {load_average:.1f} at the end)")
    if args.json:
        with open(args.json, "w") as out:
            json.dump(figures, out)


if __name__ == "__main__":
    main()
