#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Long writes beside short ones: a large word import and a hostile subtitle upload while another
client keeps marking words. Every mark must be answered 200 (never 500; 503 only past the
service's one-second wait, which must not happen here), the import must land whole, and the
service's peak memory may grow by at most 64 MiB during the upload. A write behind a lock held
longer is answered 503 with Retry-After: 1, within seconds. Then an import is killed
with SIGKILL halfway: after a restart the database passes PRAGMA integrity_check and keeps the
store's rules (original and text together, fits between existing tracks, no import in part).
Exits 0 when all of that holds; prints the figures (the marks' longest answer among them).

usage: write_contention.py --server PATH/lirra-server [--words 100000]
"""
import argparse
import http.client
import json
import os
import sqlite3
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from load_kill import HOST, ServerProcess  # noqa: E402


def call(server, method, path, body=None, headers=None, timeout=60):
    connection = http.client.HTTPConnection(HOST, server.address(), timeout=timeout)
    try:
        connection.request(method, "/" + path, body=body, headers=headers or {})
        response = connection.getresponse()
        call.headers = dict(response.getheaders())
        return response.status, response.read()
    finally:
        connection.close()


def words(prefix, count):
    return "".join(f"{prefix}{n:07d}\n" for n in range(count)).encode()


def peak_memory_reset(pid):
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")  # the peak resident size starts again from now


def memory_kib(pid, field):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(field + ":"))


# Opened tags that never close: slow to read for a reader that looks ahead for each.
HOSTILE = ("[Script Info]\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, "
           "MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,x" +
           "{\\i1} {\\i0} " * ((6 << 20) // 12) + "<a" * (512 << 10) + "\n").encode()


def upload(server, video_id):
    boundary = "contention0boundary"
    body = (f"--{boundary}\r\nContent-Disposition: form-data; name=\"file\"; "
            f"filename=\"Hostile.en.ass\"\r\nContent-Type: text/plain\r\n\r\n").encode()
    body += HOSTILE + f"\r\n--{boundary}--\r\n".encode()
    return call(server, "POST", f"api/videos/{video_id}/subtitles", body,
                {"Content-Type": f"multipart/form-data; boundary={boundary}"})


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--words", type=int, default=100000)
    args = parser.parse_args()
    failures, figures = [], {}
    with tempfile.TemporaryDirectory(prefix="lirra-contention.") as work:
        data, library = os.path.join(work, "data"), os.path.join(work, "library")
        os.makedirs(library)
        server = ServerProcess(args.server, data, library)
        server.start()
        status, body = call(server, "POST", "Player/GetSubtitlesToDownload",
                            "fileSize=1000&movieHash=abc123&fileName=Film.mkv",
                            {"Content-Type": "application/x-www-form-urlencoded"})
        video_id = json.loads(body)["videoId"]

        marks, stop = [], threading.Event()

        def marker():
            n = 0
            while not stop.is_set():
                began = time.monotonic()
                status, _ = call(server, "PUT", f"api/words/mark{n % 50}",
                                 json.dumps({"status": "learning" if n % 2 else "known"}),
                                 {"Content-Type": "application/json"})
                marks.append((status, time.monotonic() - began))
                n += 1

        thread = threading.Thread(target=marker)
        thread.start()
        time.sleep(0.2)
        pid = server.process.pid
        before = memory_kib(pid, "VmRSS")
        peak_memory_reset(pid)
        status, _ = upload(server, video_id)
        figures["upload_status"] = status
        figures["upload_peak_growth_mib"] = round((memory_kib(pid, "VmHWM") - before) / 1024, 1)
        began = time.monotonic()
        status, body = call(server, "POST", "api/words/import", words("whole", args.words),
                            {"Content-Type": "text/plain"}, timeout=300)
        figures["import_seconds"] = round(time.monotonic() - began, 1)
        figures["import"] = [status, json.loads(body) if status == 200 else body[:200].decode()]
        stop.set()
        thread.join()
        statuses = sorted({s for s, _ in marks})
        figures["marks"] = len(marks)
        figures["mark_statuses"] = statuses
        figures["mark_longest_ms"] = round(1000 * max(t for _, t in marks), 1)
        if figures["upload_status"] != 201:
            failures.append("the hostile upload was not held")
        if figures["upload_peak_growth_mib"] > 64:
            failures.append("the upload grew the service by more than 64 MiB")
        if status != 200 or json.loads(body)["changed"] != args.words:
            failures.append("the import did not land whole")
        if statuses != [200]:
            failures.append("a mark beside the long writes was not answered 200")

        # A write behind one that holds the lock past the wait: told to come back, not failed.
        holder = sqlite3.connect(f"{data}/lirra.sqlite3", isolation_level=None)
        holder.execute("BEGIN IMMEDIATE")
        try:
            status, _ = call(server, "PUT", "api/words/held", json.dumps({"status": "known"}),
                             {"Content-Type": "application/json"}, timeout=5)
            figures["behind_a_held_lock"] = [status, call.headers.get("Retry-After")]
        except TimeoutError:
            figures["behind_a_held_lock"] = "no answer in 5 s"
        holder.execute("ROLLBACK")
        holder.close()
        if figures["behind_a_held_lock"] != [503, "1"]:
            failures.append("a write behind a held lock was not answered 503, Retry-After: 1")

        # An import killed halfway: none of it after the restart.
        def doomed_import():
            try:
                call(server, "POST", "api/words/import", words("part", 3 * args.words),
                     {"Content-Type": "text/plain"}, timeout=300)
            except (ConnectionError, http.client.HTTPException, OSError):
                pass  # killed under it, as meant

        importer = threading.Thread(target=doomed_import, daemon=True)
        importer.start()
        # Killed once some of its batches are written, and before its end.
        halfway = 0
        for _ in range(500):
            time.sleep(0.02)
            watch = sqlite3.connect(f"file:{data}/lirra.sqlite3?mode=ro", uri=True)
            try:
                halfway = watch.execute("SELECT count(*) FROM word_import_undo").fetchone()[0]
            except sqlite3.OperationalError:
                halfway = 0  # busy a moment
            watch.close()
            if halfway:
                break
        server.kill()
        figures["killed_after_words"] = halfway
        if not halfway or halfway >= 3 * args.words:
            failures.append("the import was not killed halfway")
        server.start()
        status, body = call(server, "GET", "api/words/counts")
        server.stop()
        database = sqlite3.connect(f"file:{data}/lirra.sqlite3?mode=ro", uri=True)
        checks = {
            "integrity": database.execute("PRAGMA integrity_check").fetchone()[0],
            "part_words_kept": database.execute(
                "SELECT count(*) FROM word_statuses WHERE form LIKE 'part%'").fetchone()[0],
            "imports_left": database.execute(
                "SELECT (SELECT count(*) FROM word_imports) + "
                "(SELECT count(*) FROM word_import_undo)").fetchone()[0],
            "original_without_text": database.execute(
                "SELECT count(*) FROM subtitles WHERE (original IS NULL) <> (text IS NULL) "
                "OR (original IS NULL) <> (cues IS NULL)").fetchone()[0],
            "fits_to_missing_tracks": database.execute(
                "SELECT count(*) FROM alignments a WHERE NOT EXISTS (SELECT 1 FROM subtitles s "
                "WHERE s.id = a.subtitle_id) OR (a.reference_id IS NOT NULL AND NOT EXISTS "
                "(SELECT 1 FROM subtitles s WHERE s.id = a.reference_id))").fetchone()[0],
        }
        database.close()
        figures["after_kill"] = checks
        if checks["integrity"] != "ok":
            failures.append("the database is damaged")
        if checks["part_words_kept"] not in (0, 3 * args.words) or checks["imports_left"]:
            failures.append("an import is kept in part")
        if checks["original_without_text"] or checks["fits_to_missing_tracks"]:
            failures.append("the store's rules are broken")
    for key, value in figures.items():
        print(f"{key}: {value}")
    for failure in failures:
        print("FAIL:", failure)
    print("PASS" if not failures else "FAIL")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
