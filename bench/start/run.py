#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The start: N times the real `lirra` with its embedded service (a fresh home each time, as after
install) opens a 10 s clip of one flat colour, its log read as it comes with `--verbose`:
  - home page ready: from spawning the process to the home page's "Page loaded";
  - first frame: from "LaunchVideo" (the analysis line it follows) to the first moment the clip's
    colour is on the screen (a few pixels of the display read every 2 ms through Xlib).
And where the time goes (medians): the process itself (`lirra --help`, the same libraries
loaded), up to the embedded service's first line, to the web view's first navigation (the home
page asked of the engine), to its load, to its first bridge message (its scripts after the
load); after LaunchVideo, to the player page's navigation, to the first frame, to that page's load.

Usage: bench/start/run.py [--build DIR] [--launches 10] [--json FILE]
Runs itself under xvfb-run (a 1600x1000 screen) when no display is set. Needs ffmpeg.
"""
import ctypes
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "bench", "launch"))
from run import LAUNCH_LINES, App, bench_arguments, make_colour_clip  # noqa: E402  (the app, its log stamped as it comes)

CLIP_COLOUR = (200, 40, 160)  # a magenta no page of ours paints
SERVICE_LINE = re.compile(r"^Lirra service at ")
HOME_ASKED = re.compile(r"^Navigation: \S*/Player/Home")
HOME_LOADED = re.compile(r"^Page loaded: \S*/Player/Home")
PAGE_MESSAGE = re.compile(r"^Navigation handled: app:///")
PLAYER_ASKED = re.compile(r"^Navigation: \S*/Player/Play\?videoId=")
PLAYER_LOADED = re.compile(r"^Page loaded: \S*/Player/Play\?videoId=")


def make_clip(path, seconds):
    make_colour_clip(path, seconds, CLIP_COLOUR, "1280x720")


class Screen:
    """A few pixels of the display, read straight from the X server."""

    def __init__(self):
        self.x11 = x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                  ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.display = x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("no X display")
        self.root = x11.XDefaultRootWindow(self.display)

    def pixel(self, x, y):
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return (0, 0, 0)
        value = self.x11.XGetPixel(image, 0, 0)
        self.x11.XDestroyImage(image)
        return ((value >> 16) & 255, (value >> 8) & 255, value & 255)

    def shows(self, colour, points, wanted=2):
        near = lambda p: sum(abs(a - b) for a, b in zip(p, colour)) < 40
        return sum(1 for x, y in points if near(self.pixel(x, y))) >= wanted


# Where the window's picture may be, whatever its size: a grid over the screen's top-left part.
POINTS = [(x, y) for x in range(100, 1300, 150) for y in range(100, 800, 140)]


def first(lines, pattern, since=0.0):
    return next((stamp for stamp, text in lines if stamp >= since and pattern.match(text)), None)


def one_start(lirra, clip, index, screen):
    home = tempfile.mkdtemp(prefix="lirra-bench-start-")
    spawned = time.monotonic()
    app = App(lirra, ["--data", f"{home}/service", clip], home)
    try:
        launched = app.wait_for(lambda t: t.startswith(LAUNCH_LINES), 90)
        if not launched:
            raise RuntimeError(f"start {index}: no LaunchVideo\n{app.log()}")
        frame = None
        deadline = launched[0] + 20
        while frame is None and time.monotonic() < deadline:
            if screen.shows(CLIP_COLOUR, POINTS):
                frame = time.monotonic()
            else:
                time.sleep(0.002)
        app.wait_for(lambda t: PLAYER_LOADED.match(t) is not None, 30)
        time.sleep(0.2)
        lines = list(app.lines)
        stamps = {
            "service": first(lines, SERVICE_LINE),
            "home_asked": first(lines, HOME_ASKED),
            "home_loaded": first(lines, HOME_LOADED),
            "home_message": first(lines, PAGE_MESSAGE, first(lines, HOME_LOADED) or 0),
            "player_asked": first(lines, PLAYER_ASKED, launched[0]),
            "player_loaded": first(lines, PLAYER_LOADED, launched[0]),
        }
        if None in stamps.values() or frame is None:
            missing = [k for k, v in stamps.items() if v is None] + ([] if frame else ["frame"])
            raise RuntimeError(f"start {index}: no {missing}\n{app.log()}")
        ms = lambda a, b: (b - a) * 1000
        result = {
            "home_ready_ms": ms(spawned, stamps["home_loaded"]),
            "first_frame_ms": ms(launched[0], frame),
            "to_service_ms": ms(spawned, stamps["service"]),
            "service_to_home_asked_ms": ms(stamps["service"], stamps["home_asked"]),
            "home_asked_to_loaded_ms": ms(stamps["home_asked"], stamps["home_loaded"]),
            "home_loaded_to_message_ms": ms(stamps["home_loaded"], stamps["home_message"]),
            "home_loaded_to_launch_ms": ms(stamps["home_loaded"], launched[0]),
            "launch_to_player_asked_ms": ms(launched[0], stamps["player_asked"]),
            "player_asked_to_frame_ms": ms(stamps["player_asked"], frame),
            "launch_to_player_loaded_ms": ms(launched[0], stamps["player_loaded"]),
        }
        print(f"start {index}: home page ready {result['home_ready_ms']:.0f} ms after spawn; "
              f"first frame {result['first_frame_ms']:.0f} ms after LaunchVideo "
              f"(load average {os.getloadavg()[0]:.1f})", flush=True)
        return result
    finally:
        app.quit()
        shutil.rmtree(home, ignore_errors=True)


def help_ms(lirra, runs):
    times = []
    for _ in range(runs):
        began = time.monotonic()
        subprocess.run([lirra, "--help"], check=True, stdout=subprocess.DEVNULL)
        times.append((time.monotonic() - began) * 1000)
    return statistics.median(times)


def main():
    args, lirra = bench_arguments(10)

    screen = Screen()
    with tempfile.TemporaryDirectory() as folder:
        clip = os.path.join(folder, "Magenta.mp4")
        make_clip(clip, 10)
        starts = [one_start(lirra, clip, i + 1, screen) for i in range(args.launches)]
    figures = {key: statistics.median(s[key] for s in starts) for key in starts[0]}
    figures["process_ms"] = help_ms(lirra, args.launches)
    figures["load_average"] = os.getloadavg()[0]
    print(f"medians of {len(starts)}: home page ready {figures['home_ready_ms']:.0f} ms after "
          f"spawn; first frame {figures['first_frame_ms']:.0f} ms after LaunchVideo")
    print("| step of the start | median ms |\n|---|---|")
    for key, name in (("process_ms", "the process alone (`lirra --help`)"),
                      ("to_service_ms", "spawn to the embedded service's line"),
                      ("service_to_home_asked_ms", "to the home page asked of the web engine"),
                      ("home_asked_to_loaded_ms", "to the home page loaded (ready)"),
                      ("home_loaded_to_message_ms", "to its first bridge message (after ready)"),
                      ("home_loaded_to_launch_ms", "home page loaded to LaunchVideo (analysis)"),
                      ("launch_to_player_asked_ms", "LaunchVideo to the player page asked"),
                      ("player_asked_to_frame_ms", "player page asked to the first frame"),
                      ("launch_to_player_loaded_ms", "LaunchVideo to the player page loaded")):
        print(f"| {name} | {figures[key]:.0f} |")
    print(f"(load average {figures['load_average']:.1f} at the end)")
    if args.json:
        with open(args.json, "w") as out:
            json.dump({"starts": starts, "medians": figures}, out)


if __name__ == "__main__":
    main()
