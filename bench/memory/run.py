#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Where the memory of the whole program goes: the real `lirra` (its built-in service, the home
page and the player page) plays a generated 1080p H.264 clip with two subtitle files beside it;
10 s into playback the PSS of every process of the tree is read (smaps_rollup) and each process's
mappings are grouped by what they hold (smaps: the heap and other anonymous memory, the GL
driver, the web engine's code, fonts, ICU data, the dictionaries ...). The same is read with the
program at home (no video) for comparison, and plain mpv on the clip as the reference.

Usage: bench/memory/run.py [--build DIR] [--before DIR] [--rounds 2] [--heaptrack FILE]
                           [--json FILE] [--no-home] [--no-mpv]
  --before DIR: also the program of another build (an earlier commit), in the same rounds.
  --heaptrack FILE: also run the program once under heaptrack (main process only) and print the
                    top allocation sites of what is resident at the end (heaptrack_print).
Runs itself under xvfb-run when no display is set.
"""
import argparse
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
SECONDS_INTO_PLAYBACK = 10


def _module(name, path):
    import importlib.util
    found = importlib.util.spec_from_file_location(name, os.path.join(ROOT, "bench", *path))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


compose = _module("compose_run", ("compose", "run.py"))
tree = compose.tree

# What a mapping holds, by its name; the first pattern that matches names the group.
GROUPS = [
    ("heap", re.compile(r"^\[heap\]$")),
    ("stacks", re.compile(r"^\[stack")),
    ("GL driver", re.compile(r"(libgallium|swrast|libLLVM|libGLX_mesa|libEGL_mesa|dri/|libglapi)")),
    ("web engine code", re.compile(r"libQt6WebEngineCore")),
    ("web engine data", re.compile(r"(qtwebengine.*\.pak|\.pak$|v8_context_snapshot|snapshot_blob)")),
    ("ICU data", re.compile(r"(icudtl\.dat|libicudata)")),
    ("fonts", re.compile(r"\.(ttf|otf|ttc|pfb)$|fontconfig|\.cache-[0-9]+$")),
    ("dictionaries", re.compile(r"\.(dict|dict\.dz|index)$")),
    ("SQLite files", re.compile(r"\.(sqlite3?|db)(-shm|-wal)?$")),
    ("video engine code", re.compile(r"(libmpv|libav|libsw|libx26|libdav1d|libvpx|libplacebo)")),
    ("Qt code", re.compile(r"libQt6")),
    ("other code", re.compile(r"\.so(\.[0-9.]+)?$|/QtWebEngineProcess$|/lirra$")),
    ("shared memory", re.compile(r"^(/memfd:|/dev/shm|/SYSV|/dev/dri|/dev/zero)")),
    ("anonymous", re.compile(r"^$|^\[anon")),
]


def group_of(name):
    for group, pattern in GROUPS:
        if pattern.search(name):
            return group
    return "other files"


def process_name(pid):
    """The process's name, a web engine process by its type."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            words = f.read().split(b"\0")
        with open(f"/proc/{pid}/comm") as f:
            comm = f.read().strip()
    except OSError:
        return "?"
    kind = next((w[7:].decode() for w in words if w.startswith(b"--type=")), None)
    if kind is None:
        return comm
    # Renderers are forked from the zygote and keep its command line.
    with open(f"/proc/{pid}/stat") as f:
        parent = int(f.read().rsplit(")", 1)[1].split()[1])
    if kind == "zygote" and process_name(parent).endswith("zygote"):
        return "web renderer"
    return f"web {kind}"


def mappings(pid):
    """{mapping name: PSS KiB} of one process, anonymous ones under ''."""
    pss = {}
    name = ""
    try:
        with open(f"/proc/{pid}/smaps") as f:
            for line in f:
                head = line.split(None, 5)
                if len(head) >= 5 and "-" in head[0] and ":" not in head[0]:
                    name = head[5].strip() if len(head) == 6 else ""
                elif line.startswith("Pss:"):
                    pss[name] = pss.get(name, 0) + int(line.split()[1])
    except OSError:
        pass
    return pss


def rollup_kib(pid, field="Pss:"):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith(field):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def snapshot(root_pid):
    """[{pid, name, pss (MiB), groups {group: MiB}, top [(mapping, MiB)]}] of the tree."""
    rows = []
    for pid in tree(root_pid):
        maps = mappings(pid)
        groups = {}
        for name, kib in maps.items():
            groups[group_of(name)] = groups.get(group_of(name), 0) + kib / 1024
        top = sorted(((n or "[anonymous]", k / 1024) for n, k in maps.items()),
                     key=lambda x: -x[1])[:8]
        # Private dirty memory cannot be dropped under memory pressure (no swap), whereas the
        # clean pages of code can: on a loaded machine it is the steadier figure.
        rows.append({"pid": pid, "name": process_name(pid), "pss": rollup_kib(pid) / 1024,
                     "dirty": rollup_kib(pid, "Private_Dirty:") / 1024, "groups": groups,
                     "top": top})
    return rows


def wait_for(log_path, text, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        with open(log_path) as log:
            if text in log.read():
                return True
        time.sleep(0.25)
    return False


def run_app(program, video, folder, prefix=()):
    """Starts the program (on `video`, or at home when None); returns (process, log path)."""
    home = tempfile.mkdtemp(dir=folder)
    arguments = list(prefix) + [program, "--verbose", "--data", os.path.join(home, "data"),
                                "--instance", os.path.basename(home)]
    log = os.path.join(home, "log")
    with open(log, "w") as out:
        process = subprocess.Popen(arguments + ([video] if video else []), stdout=out,
                                   stderr=subprocess.STDOUT, env=dict(os.environ, HOME=home))
    return process, log


def stop(process):
    process.terminate()
    try:
        process.wait(20)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def measure_app(program, video, folder):
    process, log = run_app(program, video, folder)
    try:
        # At home no event is logged: the page's load is given time instead.
        if video and not wait_for(log, "trigger('timeUpdate'", 90):
            raise TimeoutError("the program did not play")
        time.sleep(SECONDS_INTO_PLAYBACK if video else 20)
        return snapshot(process.pid)
    finally:
        stop(process)


def measure_mpv(video, folder):
    player = compose.Mpv(video, folder)
    try:
        time.sleep(SECONDS_INTO_PLAYBACK)
        return snapshot(player.process.pid)
    finally:
        player.process.kill()
        player.process.wait()


def heap_profile(program, video, folder, out):
    """heaptrack on the main process while it plays; the top sites of what stays allocated."""
    if not shutil.which("heaptrack"):
        return "heaptrack not installed"
    base = os.path.join(folder, "heap")
    process, log = run_app(program, video, folder, ("heaptrack", "-o", base))
    try:
        if not wait_for(log, "trigger('timeUpdate'", 240):
            raise TimeoutError("the program did not play under heaptrack")
        time.sleep(SECONDS_INTO_PLAYBACK)
    finally:
        # heaptrack's wrapper: the program is its child.
        children = [p for p in tree(process.pid) if process_name(p) == "lirra"]
        for pid in children[:1]:
            os.kill(pid, 15)
        process.wait(60)
    traces = [f for f in os.listdir(folder) if f.startswith("heap")]
    if not traces:
        return "no heaptrack trace"
    trace = os.path.join(folder, sorted(traces)[0])
    shutil.copy(trace, out)
    # Leaks at the end are everything the process still held when it was stopped.
    text = subprocess.run(["heaptrack_print", "--print-leaks", "1", "--print-peaks", "1",
                           "--print-allocators", "0", "--print-temporary", "0",
                           "--print-histogram", "", "--peak-limit", "15",
                           "--sub-peak-limit", "3", "-f", trace],
                          text=True, stdout=subprocess.PIPE).stdout
    return text


def summary(name, rows):
    total = sum(r["pss"] for r in rows)
    dirty = sum(r["dirty"] for r in rows)
    lines = [f"== {name}: whole tree {total:.1f} MiB PSS, {dirty:.1f} MiB private dirty"]
    for r in sorted(rows, key=lambda r: -r["pss"]):
        groups = ", ".join(f"{g} {v:.1f}" for g, v in sorted(r["groups"].items(),
                                                            key=lambda x: -x[1]) if v >= 1)
        lines.append(f"  {r['name']:<20} {r['pss']:7.1f} MiB ({r['dirty']:5.1f} dirty)  [{groups}]")
        for mapping, mib in r["top"][:5]:
            if mib >= 2:
                lines.append(f"      {mib:6.1f}  {mapping}")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--before", metavar="DIR",
                        help="also the program of another build, in the same rounds")
    parser.add_argument("--heaptrack")
    parser.add_argument("--json")
    parser.add_argument("--no-home", action="store_true", help="skip the program at home")
    parser.add_argument("--no-mpv", action="store_true", help="skip plain mpv")
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if not args.inside:
        command = [sys.executable] + sys.argv + ["--inside"]
        if not os.environ.get("DISPLAY"):
            command = ["xvfb-run", "-a", "-s", "-screen 0 1280x760x24"] + command
        os.execvp(command[0], command)

    if os.geteuid() == 0:
        os.environ.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1")
    program = os.path.join(args.build, "src", "app", "lirra")
    results = {"app": [], "before": [], "home": [], "mpv": []}
    with tempfile.TemporaryDirectory() as folder:
        video = os.path.join(folder, "bench 1080p.mp4")
        seconds = SECONDS_INTO_PLAYBACK + 40
        compose.make_video(video, seconds)
        stem = os.path.splitext(video)[0]
        compose.write_subtitles(stem + ".en.srt", seconds)
        compose.write_subtitles(stem + ".fr.srt", seconds)
        for round_ in range(args.rounds):
            # Interleaved, so that other load on the machine falls on each alike.
            if not args.no_mpv:
                results["mpv"].append(measure_mpv(video, folder))
            results["app"].append(measure_app(program, video, folder))
            if args.before:
                earlier = os.path.join(args.before, "src", "app", "lirra")
                results["before"].append(measure_app(earlier, video, folder))
            if not args.no_home:
                results["home"].append(measure_app(program, None, folder))
            for name in results:
                if results[name]:
                    print(summary(f"round {round_ + 1} {name}", results[name][-1]), flush=True)
        print()
        for name, rounds in results.items():
            if rounds:
                totals = [sum(r["pss"] for r in rows) for rows in rounds]
                dirty = [sum(r["dirty"] for r in rows) for rows in rounds]
                print(f"{name:<6} whole tree PSS, median of {len(totals)}: "
                      f"{statistics.median(totals):.1f} MiB {[round(t) for t in totals]}; "
                      f"private dirty {statistics.median(dirty):.1f} MiB")
        if args.heaptrack:
            print(heap_profile(program, video, folder, args.heaptrack))
    if args.json:
        with open(args.json, "w") as out:
            json.dump(results, out, indent=1)


if __name__ == "__main__":
    main()
