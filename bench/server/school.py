#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A school's service under a class's load: LEARNERS simulated learners, each doing in turn a
lookup, a track read, an upload of what the lookup offered, word statuses, a word mark and a
notebook save (a pause of THINK seconds on average before each), for SECONDS per round.

Rounds: one process on SQLite; two processes on one PostgreSQL 15 (started here with initdb and
pg_ctl in a temporary folder, as the postgres user when run as root); the two again with one
of them killed with SIGKILL halfway; the two again with PostgreSQL restarted halfway. A learner
talks to one process and, as a proxy would, to the other when its own does not answer.

Printed per round and route: requests, p50 and p99, errors (answered 4xx or 5xx, or by no
process); for the kill, the p99 of the survivor before the kill and from 2 s after it; for the
restart, how long after PostgreSQL's return each process answered a lookup again. Every write
answered 200/201 (word marks, notebook saves, uploads) is read back at the end of each round.
Exits 1 when a write was lost, a process died that was not killed, or (without the fault
rounds) any request failed.
Only 127.0.0.1 is contacted; every request has a time-out.

usage: school.py --server PATH/lirra-server [--learners 200] [--seconds 60] [--think 0.5]
                 [--rounds sqlite,two,kill,restart]
"""
import argparse
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from load_kill import HOST, LIBRARY_FILES, multipart  # noqa: E402

import http.client  # noqa: E402

PG_BIN = "/usr/lib/postgresql/15/bin/"
ROUTES = ("lookup", "tracks", "upload", "statuses", "mark", "notebook")


def as_postgres(command):
    return (["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []) + command


class Cluster:
    """A throwaway PostgreSQL: no fsync, trust on its socket, a password over TCP."""

    def __init__(self, root):
        self.root, self.data = root, os.path.join(root, "pg")
        os.makedirs(root)
        self.password = "pw%016x" % random.getrandbits(64)
        self.password_file = os.path.join(root, "pgpassword")
        with open(self.password_file, "w") as f:
            f.write(self.password + "\n")
        if os.geteuid() == 0:
            shutil.chown(root, "postgres", "postgres")
        subprocess.run(as_postgres([PG_BIN + "initdb", "-D", self.data, "-U", "lirra",
                                    "--pwfile", self.password_file, "--auth-local=trust",
                                    "--auth-host=scram-sha-256", "-E", "UTF8", "--locale=C",
                                    "--no-sync", "--no-instructions"]),
                       check=True, stdout=subprocess.DEVNULL)
        with socket_free() as port:
            self.port = port
        self.ctl("start")
        subprocess.run(as_postgres([PG_BIN + "createdb", "-h", root, "-p", str(self.port),
                                    "-U", "lirra", "lirra"]), check=True)

    def ctl(self, action):
        options = (f"-c listen_addresses={HOST} -p {self.port} -k {self.root} -c fsync=off "
                   "-c max_connections=200")
        subprocess.run(as_postgres([PG_BIN + "pg_ctl", "-D", self.data, "-l",
                                    os.path.join(self.root, "pg.log"), "-w", "-m", "fast",
                                    "-o", options, action]),
                       check=True, stdout=subprocess.DEVNULL)

    def uri(self):
        return f"postgresql://lirra@{HOST}:{self.port}/lirra"


class socket_free:
    def __enter__(self):
        import socket
        self.s = socket.socket()
        self.s.bind((HOST, 0))
        return self.s.getsockname()[1]

    def __exit__(self, *_):
        self.s.close()


def start_server(executable, work, library, database):
    args = [executable, "--listen", f"{HOST}:0", "--data", os.path.join(work, "data"),
            "--library", library]
    if database:
        args += ["--database", database.uri(), "--database-password-file", database.password_file]
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    match = re.search(r"serving http://127\.0\.0\.1:(\d+)/", line)
    if not match:
        process.kill()
        raise RuntimeError("lirra-server did not start: " + line + process.stderr.read()[-2000:])
    for stream in (process.stdout, process.stderr):
        threading.Thread(target=stream.read, daemon=True).start()
    process.port = int(match.group(1))
    return process


class Round:
    def __init__(self, servers, timeout, think):
        self.servers, self.timeout, self.think = servers, timeout, think
        self.local = threading.local()
        self.lock = threading.Lock()
        self.samples = []  # (finished at, route, server index, seconds, ok)
        self.errors = {}  # "route status" -> how many
        self.failovers = 0  # requests that found their process gone and went to the other
        self.written = {"marks": {}, "notes": [], "uploads": []}

    def call(self, home, route, method, path, body=None, ctype=None):
        """(status, bytes) from the learner's process, else from the other; None when neither."""
        order = [home] + [i for i in range(len(self.servers)) if i != home]
        if self.think > 0 and route != "verify":
            time.sleep(self.rng().expovariate(1 / self.think))
        for index in order:
            started = time.monotonic()
            connection = http.client.HTTPConnection(HOST, self.servers[index].port,
                                                    timeout=self.timeout)
            try:
                connection.request(method, "/" + path, body=body,
                                   headers={"Content-Type": ctype} if ctype else {})
                response = connection.getresponse()
                answer = (response.status, response.read())
            except (OSError, http.client.HTTPException):
                answer = None
            finally:
                connection.close()
            now = time.monotonic()
            if answer is None and index != order[-1]:
                with self.lock:
                    self.failovers += 1
                continue
            ok = answer is not None and answer[0] < 300
            with self.lock:
                self.samples.append((now, route, index, now - started, ok))
                if not ok and route != "verify":
                    kind = f"{route} {answer[0] if answer else 'unanswered'}"
                    self.errors[kind] = self.errors.get(kind, 0) + 1
            return answer
        return None

    def rng(self):
        if not hasattr(self.local, "rng"):
            self.local.rng = random.Random(threading.get_ident())
        return self.local.rng

    def learner(self, number, deadline):
        rng = random.Random(number)
        home = number % len(self.servers)
        step = 0
        while time.monotonic() < deadline:
            step += 1
            form = urllib.parse.urlencode({
                "fileSize": str(rng.randrange(1, 1 << 40)),
                "movieHash": "%016x" % (rng.getrandbits(64) | 1 << 63), "fileName": "clip.mkv",
                "targetLanguageCode": "eng", "nativeLanguageCode": "spa"}).encode()
            got = self.call(home, "lookup", "POST", "Player/GetSubtitlesToDownload", form,
                            "application/x-www-form-urlencoded")
            if not got or got[0] != 200:
                continue
            lookup = json.loads(got[1])
            video = lookup["videoId"]
            self.call(home, "tracks", "GET", f"api/videos/{video}/tracks")
            offered = [e for e in lookup["subsToDownload"] if e["mustBeDownloaded"]]
            if offered:
                marker = f"learner {number} step {step}"
                body, ctype = multipart(
                    [(offered[0]["subtitleId"], offered[0]["subFileName"],
                      f"1\n00:00:01,000 --> 00:00:02,000\n{marker}\n")])
                got = self.call(home, "upload", "POST", "Subtitles/UploadSubtitles", body, ctype)
                if got and got[0] == 200:
                    with self.lock:
                        self.written["uploads"].append((video, offered[0]["subtitleId"], marker))
            words = [f"w{rng.randrange(5000)}" for _ in range(50)]
            self.call(home, "statuses", "POST", "api/words/statuses",
                      json.dumps({"words": words}).encode(), "application/json")
            word, status = f"l{number}x{rng.randrange(40)}", rng.choice(["known", "learning"])
            got = self.call(home, "mark", "PUT", f"api/words/{word}",
                            json.dumps({"status": status}).encode(), "application/json")
            if got and got[0] == 200:
                with self.lock:
                    self.written["marks"][word] = status
            text = f"line {step} of learner {number}."
            note = {"videoId": video, "startMs": 1000, "endMs": 2000, "text": text,
                    "translation": "una línea"}
            got = self.call(home, "notebook", "POST", "api/notebook",
                            json.dumps(note).encode(), "application/json")
            if got and got[0] in (200, 201):
                with self.lock:
                    self.written["notes"].append(text)

    def run(self, learners, seconds, fault=None):
        started = time.monotonic()
        deadline = started + seconds
        threads = [threading.Thread(target=self.learner, args=(n, deadline))
                   for n in range(learners)]
        for t in threads:
            t.start()
        fault_at, outcome = None, None
        if fault:
            time.sleep(seconds / 2)
            fault_at = time.monotonic()
            outcome = fault()
        for t in threads:
            t.join(seconds + 4 * self.timeout)
        return fault_at, outcome

    def lost(self, server):
        """The acknowledged writes that cannot be read back through `server`."""
        lost = []
        marks = list(self.written["marks"].items())
        for i in range(0, len(marks), 1000):
            chunk = dict(marks[i:i + 1000])
            got = self.call(server, "verify", "POST", "api/words/statuses",
                            json.dumps({"words": list(chunk)}).encode(), "application/json")
            statuses = json.loads(got[1])["statuses"] if got and got[0] == 200 else {}
            lost += [w for w, s in chunk.items() if statuses.get(w) != s]
        learners = {text.split(" of ")[1] for text in self.written["notes"]}
        held = set()
        for learner in learners:
            got = self.call(server, "verify", "GET",
                            "api/notebook?limit=500&query=" + urllib.parse.quote(" of " + learner))
            if got and got[0] == 200:
                held.update(i["text"] for i in json.loads(got[1])["items"])
        lost += [text for text in self.written["notes"] if text not in held]
        for video, subtitle, marker in self.written["uploads"]:
            got = self.call(server, "verify", "GET", f"api/videos/{video}/tracks")
            tracks = {t["subtitleId"]: t for t in json.loads(got[1])["tracks"]} if got else {}
            if subtitle not in tracks or marker not in json.dumps(tracks[subtitle]):
                lost.append(marker)
        return lost


def percentile(values, p):
    values = sorted(values)
    return 1000 * values[min(len(values) - 1, int(p * len(values)))] if values else float("nan")


def table(name, samples, seconds):
    print(f"\n{name}")
    print("| route | requests/s | p50 ms | p99 ms | errors |")
    print("|---|---|---|---|---|")
    for route in ROUTES:
        rows = [s for s in samples if s[1] == route]
        times = [s[3] for s in rows if s[4]]
        errors = sum(not s[4] for s in rows)
        print(f"| {route} | {len(rows) / seconds:.0f} | {percentile(times, .5):.1f} | "
              f"{percentile(times, .99):.1f} | {errors} |")


def answered_again(server, since, limit):
    """Seconds from `since` until `server` answers a lookup 200 (None past `limit`)."""
    form = urllib.parse.urlencode({"fileSize": "1", "movieHash": "8000000000000001",
                                   "fileName": "clip.mkv"}).encode()
    while time.monotonic() - since < limit:
        connection = http.client.HTTPConnection(HOST, server.port, timeout=2)
        try:
            connection.request("POST", "/Player/GetSubtitlesToDownload", body=form,
                               headers={"Content-Type": "application/x-www-form-urlencoded"})
            if connection.getresponse().status == 200:
                return time.monotonic() - since
        except (OSError, http.client.HTTPException):
            pass
        finally:
            connection.close()
        time.sleep(0.05)
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--learners", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--think", type=float, default=0.5)
    parser.add_argument("--timeout", type=float, default=10)
    parser.add_argument("--rounds", default="sqlite,two,kill,restart")
    args = parser.parse_args()
    failures = []
    for name in args.rounds.split(","):
        with tempfile.TemporaryDirectory(prefix="lirra-school.") as work:
            os.chmod(work, 0o755)
            library = os.path.join(work, "library")
            os.makedirs(library)
            for file, text in LIBRARY_FILES.items():
                with open(os.path.join(library, file), "w") as f:
                    f.write(text)
            cluster = Cluster(os.path.join(work, "cluster")) if name != "sqlite" else None
            try:
                servers = [start_server(args.server, work, library, cluster)
                           for _ in range(1 if cluster is None else 2)]
                rnd = Round(servers, args.timeout, args.think)
                fault = None
                if name == "kill":
                    fault = lambda: (servers[1].send_signal(signal.SIGKILL), servers[1].wait())
                elif name == "restart":
                    def fault():
                        cluster.ctl("restart")
                        back = time.monotonic()
                        return [answered_again(server, back, 30) for server in servers]
                fault_at, outcome = rnd.run(args.learners, args.seconds, fault)
                label = {"sqlite": "one process, SQLite", "two": "two processes, PostgreSQL",
                         "kill": "two processes, PostgreSQL, one killed with SIGKILL halfway",
                         "restart": "two processes, PostgreSQL restarted halfway"}[name]
                table(f"{label}, {args.learners} learners, {args.seconds:.0f} s",
                      rnd.samples, args.seconds)
                if name == "kill":
                    survivor = [s for s in rnd.samples if s[2] == 0 and s[4]]
                    before = [s[3] for s in survivor if s[0] < fault_at]
                    after = [s[3] for s in survivor if s[0] > fault_at + 2]
                    print(f"requests that found the killed process gone and were answered by "
                          f"the other: {rnd.failovers}")
                    print(f"survivor p99: {percentile(before, .99):.1f} ms before the kill, "
                          f"{percentile(after, .99):.1f} ms from 2 s after it")
                if name == "restart":
                    for i, again in enumerate(outcome):
                        print(f"process {i + 1} answered again "
                              f"{'never (30 s)' if again is None else f'{again:.2f} s'} "
                              "after PostgreSQL's return")
                        if again is None or again > 5:
                            failures.append(f"{name}: process {i + 1} not back within 5 s")
                for i, server in enumerate(servers):
                    if server.poll() is not None and not (name == "kill" and i == 1):
                        failures.append(f"{name}: process {i + 1} died")
                lost = rnd.lost(0)
                kept = sum(map(len, rnd.written.values()))
                print(f"writes acknowledged {kept}, lost {len(lost)} {lost[:5]}; "
                      f"errors {rnd.errors or 'none'}")
                if lost:
                    failures.append(f"{name}: {len(lost)} writes lost")
                errors = sum(not s[4] for s in rnd.samples if s[1] in ROUTES)
                if fault is None and errors:
                    failures.append(f"{name}: {errors} requests failed")
                for server in servers:
                    if server.poll() is None:
                        server.terminate()
                        server.wait(20)
            finally:
                if cluster:
                    try:
                        cluster.ctl("stop")
                    except subprocess.CalledProcessError:
                        pass
    print("\n" + ("FAIL: " + "; ".join(failures) if failures else "PASS"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
