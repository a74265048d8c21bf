#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The service under load and faults: CLIENTS concurrent clients do lookup -> download ->
upload against a lirra-server process for SECONDS while it is killed with SIGKILL and restarted
KILLS times (same data folder; same port when it is free, else the clients follow the new one).

Afterwards every upload that was answered 200 must be held and readable through
api/videos/N/tracks and in the database, the database must pass PRAGMA integrity_check, and no
request may have taken longer than the clients' time-out. Exits 0 when all of that holds.
Only 127.0.0.1 is contacted; every request has a time-out, and the clients stop by themselves.

usage: load_kill.py --server PATH/lirra-server [--clients 32] [--seconds 60] [--kills 2]
                    [--timeout 10] [--json]
"""
import argparse
import http.client
import json
import os
import random
import re
import signal
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

HOST = "127.0.0.1"
LIBRARY_FILES = {
    "clip.srt": "1\n00:00:01,000 --> 00:00:02,000\nFrom the library\n",
    "clip.en.srt": "1\n00:00:03,000 --> 00:00:04,000\nAlso from the library\n",
}


class ServerProcess:
    """One lirra-server at a time on a data folder; restarts on the same port when it can."""

    def __init__(self, executable, data, library):
        self.executable, self.data, self.library = executable, data, library
        self.process = None
        self.port = 0
        self.lock = threading.Lock()
        self.generation = 0

    def _launch(self, port):
        process = subprocess.Popen(
            [self.executable, "--listen", f"{HOST}:{port}", "--data", self.data,
             "--library", self.library],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        # The first line names the address once the port is bound; a refusal exits at once.
        line = process.stdout.readline()
        match = re.search(r"serving http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            process.kill()
            process.wait()
            return None, 0
        # Later output is not read; keep the pipes from filling up.
        for stream in (process.stdout, process.stderr):
            threading.Thread(target=stream.read, daemon=True).start()
        return process, int(match.group(1))

    def start(self):
        started = time.monotonic()
        process, port = (None, 0)
        if self.port:
            process, port = self._launch(self.port)
        if process is None:
            process, port = self._launch(0)
        if process is None:
            raise RuntimeError("lirra-server did not start")
        with self.lock:
            self.process, self.port = process, port
            self.generation += 1
        return time.monotonic() - started

    def kill(self):
        self.process.send_signal(signal.SIGKILL)
        self.process.wait()

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def address(self):
        with self.lock:
            return self.port


class Stats:
    def __init__(self):
        self.lock = threading.Lock()
        self.latencies = []  # seconds, successful requests
        self.counts = {}
        self.acknowledged = []  # (videoId, subtitleId, marker)
        self.longest = 0.0  # the longest any request took, answered or not
        self.timeouts = 0

    def count(self, name, n=1):
        with self.lock:
            self.counts[name] = self.counts.get(name, 0) + n


def request(server, stats, timeout, method, path, body=None, headers=None):
    """One request on a fresh connection; (status, body) or None when it failed."""
    port = server.address()
    started = time.monotonic()
    connection = http.client.HTTPConnection(HOST, port, timeout=timeout)
    try:
        connection.request(method, "/" + path, body=body, headers=headers or {})
        response = connection.getresponse()
        data = response.read()
        result = (response.status, data)
    except TimeoutError:
        stats.count("timeouts")
        with stats.lock:
            stats.timeouts += 1
        result = None
    except (ConnectionError, http.client.HTTPException, OSError) as error:
        stats.count("failed: " + type(error).__name__)
        result = None
    finally:
        connection.close()
    elapsed = time.monotonic() - started
    with stats.lock:
        stats.longest = max(stats.longest, elapsed)
        if result is not None:
            stats.latencies.append(elapsed)
    return result


def multipart(files):
    boundary = "%032x" % random.getrandbits(128)
    body = b""
    for subtitle_id, name, content in files:
        body += (f"--{boundary}\r\nContent-Disposition: form-data; name=\"{subtitle_id}\"; "
                 f"filename=\"{name}\"\r\nContent-Type: text/plain\r\n\r\n").encode()
        body += content.encode() + b"\r\n"
    body += f"--{boundary}--\r\n".encode()
    return body, "multipart/form-data; boundary=" + boundary


def client(number, server, stats, deadline, timeout):
    rng = random.Random(number)
    iteration = 0
    while time.monotonic() < deadline:
        iteration += 1
        movie_hash = "%016x" % (rng.getrandbits(64) | 1 << 63)
        form = urllib.parse.urlencode({
            "fileSize": str(rng.randrange(1, 1 << 40)), "movieHash": movie_hash,
            "fileName": "clip.mkv", "targetLanguageCode": "eng", "nativeLanguageCode": "spa"})
        answer = request(server, stats, timeout, "POST", "Player/GetSubtitlesToDownload",
                         form.encode(), {"Content-Type": "application/x-www-form-urlencoded"})
        if answer is None or answer[0] != 200:
            stats.count("lookup not answered 200")
            time.sleep(0.05)
            continue
        stats.count("lookups")
        lookup = json.loads(answer[1])
        files = []
        for entry in lookup["subsToDownload"]:
            if not entry["mustBeDownloaded"]:
                continue
            # Only the path of the offered URL: the clients talk to 127.0.0.1 alone.
            path = urllib.parse.urlsplit(entry["downloadUrl"]).path.lstrip("/")
            got = request(server, stats, timeout, "GET", path)
            if got is None or got[0] != 200:
                stats.count("download not answered 200")
                files = None
                break
            stats.count("downloads")
            marker = f"client {number} video {movie_hash} subtitle {entry['subtitleId']}"
            content = f"1\n00:00:01,000 --> 00:00:02,000\n{marker}\n"
            files.append((entry["subtitleId"], entry["subFileName"], content, marker))
        if not files:
            continue
        body, content_type = multipart([f[:3] for f in files])
        stored = request(server, stats, timeout, "POST", "Subtitles/UploadSubtitles", body,
                         {"Content-Type": content_type})
        if stored is None or stored[0] != 200:
            stats.count("upload not answered 200")
            continue
        stats.count("uploads acknowledged")
        with stats.lock:
            for subtitle_id, _, _, marker in files:
                stats.acknowledged.append((lookup["videoId"], subtitle_id, marker))


def verify(server, stats, timeout, database):
    """Every acknowledged upload, through the JSON API and in the database."""
    missing = []
    by_video = {}
    for video_id, subtitle_id, marker in stats.acknowledged:
        by_video.setdefault(video_id, []).append((subtitle_id, marker))
    for video_id, expected in by_video.items():
        answer = None
        for _ in range(3):
            answer = request(server, stats, timeout, "GET", f"api/videos/{video_id}/tracks")
            if answer is not None:
                break
        if answer is None or answer[0] != 200:
            missing.extend((video_id, s) for s, _ in expected)
            continue
        tracks = {t["subtitleId"]: t for t in json.loads(answer[1])["tracks"]}
        for subtitle_id, marker in expected:
            track = tracks.get(subtitle_id)
            if track is None or [c["text"] for c in track["cues"]] != [marker]:
                missing.append((video_id, subtitle_id))
    server.stop()
    connection = sqlite3.connect(f"file:{database}?mode=ro", uri=True)
    integrity = connection.execute("PRAGMA integrity_check").fetchone()[0]
    for video_id, subtitle_id, marker in stats.acknowledged:
        row = connection.execute("SELECT text FROM subtitles WHERE id = ? AND video_id = ?",
                                 (subtitle_id, video_id)).fetchone()
        if row is None or marker not in row[0]:
            missing.append(("database", subtitle_id))
    connection.close()
    return missing, integrity


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--clients", type=int, default=32)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--kills", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=10)
    parser.add_argument("--json", action="store_true", help="print the figures as JSON")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="lirra-load-kill.") as work:
        data, library = os.path.join(work, "data"), os.path.join(work, "library")
        os.makedirs(library)
        for name, text in LIBRARY_FILES.items():
            with open(os.path.join(library, name), "w") as f:
                f.write(text)
        server = ServerProcess(args.server, data, library)
        server.start()
        stats = Stats()
        started = time.monotonic()
        deadline = started + args.seconds
        threads = [threading.Thread(target=client, args=(n, server, stats, deadline, args.timeout))
                   for n in range(args.clients)]
        for t in threads:
            t.start()
        restarts = []
        ports = [server.address()]
        for k in range(args.kills):
            time.sleep(max(0.0, started + args.seconds * (k + 1) / (args.kills + 1) - time.monotonic()))
            server.kill()
            restarts.append(server.start())
            ports.append(server.address())
        # Each client stops by itself after its last request (every request has a time-out).
        for t in threads:
            t.join(args.seconds + 4 * args.timeout)
        hung_clients = sum(t.is_alive() for t in threads)
        elapsed = time.monotonic() - started
        missing, integrity = verify(server, stats, args.timeout,
                                    os.path.join(data, "lirra.sqlite3"))

    latencies = sorted(stats.latencies)
    figures = {
        "clients": args.clients, "seconds": round(elapsed, 1), "kills": args.kills,
        "ports": ports, "restart_seconds": [round(r, 3) for r in restarts],
        "counts": stats.counts,
        "acknowledged_subtitles": len(stats.acknowledged),
        "verified_subtitles": len(stats.acknowledged) - len(missing),
        "missing": missing[:20],
        "integrity_check": integrity,
        "timeouts": stats.timeouts, "hung_clients": hung_clients,
        "latency_ms": {
            "p50": round(1000 * statistics.median(latencies), 1) if latencies else None,
            "p99": round(1000 * latencies[int(0.99 * (len(latencies) - 1))], 1) if latencies else None,
            "longest_request": round(1000 * stats.longest, 1),
        },
        "lookups_per_second": round(stats.counts.get("lookups", 0) / args.seconds, 1),
    }
    ok = (not missing and integrity == "ok" and stats.timeouts == 0 and hung_clients == 0
          and stats.longest <= args.timeout + 1 and len(stats.acknowledged) > 0)
    if args.json:
        print(json.dumps(figures, indent=2))
    else:
        for key, value in figures.items():
            print(f"{key}: {value}")
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
