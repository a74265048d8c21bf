#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Dictionary look-up figures, with the Debian dictionaries installed (scripts/ensure-deps.sh):
warm look-ups in the library (WordNet + one FreeDict dictionary) and over HTTP on loopback, the
first look-up after the service starts, resident memory growth with WordNet and three FreeDict
dictionaries (German among them), and coverage per language. Prints a Markdown table.

Usage: bench/dictionary/run.py [--build BUILD_DIR] [--rounds N]
The CPU figures are the looking-up thread's own time; on a busy machine the wall times mostly
measure the other processes.
"""
import argparse
import http.client
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
NAMES = {"spa": "Spanish", "fre": "French", "ger": "German", "ita": "Italian",
         "por": "Portuguese", "rus": "Russian", "pol": "Polish", "tur": "Turkish",
         "ara": "Arabic", "jpn": "Japanese", "hin": "Hindi", "dut": "Dutch", "swe": "Swedish",
         "nor": "Norwegian", "dan": "Danish", "fin": "Finnish", "gre": "Greek", "cze": "Czech",
         "hun": "Hungarian", "bul": "Bulgarian", "ind": "Indonesian", "hrv": "Croatian",
         "srp": "Serbian", "lit": "Lithuanian"}


def bench(build, *args):
    out = subprocess.run([os.path.join(build, "bench", "dictionary", "lirra_dictionary_bench"),
                          *args], check=True, text=True, stdout=subprocess.PIPE).stdout
    return json.loads(out)


def clicks(build):
    """The texts the library benchmark clicks, taken from its sample lines."""
    sample = [line.strip().strip('",') for line in open(os.path.join(HERE, "DictionaryBench.cpp"))
              if line.strip().startswith('"') and line.strip().endswith('",')]
    texts = []
    for line in sample:
        words = line.split(" ")
        texts += [" ".join(words[i:]) for i in range(len(words))]
    return texts


def start_server(build, data):
    began = time.monotonic()
    server = subprocess.Popen([os.path.join(build, "server", "lirra-server"), "--data", data],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = server.stdout.readline()
    serving = time.monotonic()
    port = int(line.strip().rsplit(":", 1)[1].rstrip("/"))
    return server, port, began, serving


def get(connection, text, native):
    query = urllib.parse.urlencode({"text": text, "native": native})
    connection.request("GET", "/api/dictionary/lookup?" + query)
    response = connection.getresponse()
    body = response.read()
    if response.status != 200:
        raise RuntimeError(f"{response.status} for {text!r}")
    return body


def http_figures(build, native, rounds):
    with tempfile.TemporaryDirectory() as data:
        server, port, began, serving = start_server(build, data)
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port)
            get(connection, "Running out of time", native)
            answered = time.monotonic()
            first = ((answered - serving) * 1000, (answered - began) * 1000)
            texts = clicks(build)
            for text in texts:
                get(connection, text, native)
            times = []
            for _ in range(rounds):
                for text in texts:
                    t = time.monotonic()
                    get(connection, text, native)
                    times.append((time.monotonic() - t) * 1000)
            times.sort()
            return first, times[len(times) // 2], times[int(0.99 * (len(times) - 1))]
        finally:
            server.terminate()
            server.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-release"))
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)

    rows = []
    for native in ("spa", "ger"):
        warm = bench(args.build, "warm", native, str(args.rounds))
        first = [bench(args.build, "first", native) for _ in range(5)]
        served_first, served_p50, served_p99 = http_figures(args.build, native, args.rounds)
        name = f"WordNet + {NAMES[native]}"
        rows.append((f"warm look-up, library, p99 CPU ({name})", f"{warm['cpu']['p99Ms']:.2f} ms",
                     "≤ 2 ms"))
        rows.append((f"warm look-up, library, p50 / p99 wall ({name})",
                     f"{warm['p50Ms']:.2f} / {warm['p99Ms']:.2f} ms", "≤ 2 ms"))
        rows.append((f"warm look-up over HTTP, p50 / p99 wall ({name})",
                     f"{served_p50:.2f} / {served_p99:.2f} ms", "≤ 2 ms"))
        rows.append((f"first look-up after start, library, median of 5 wall / CPU ({name})",
                     f"{statistics.median(f['firstMs'] for f in first):.0f} / "
                     f"{statistics.median(f['firstCpuMs'] for f in first):.0f} ms", "≤ 100 ms"))
        rows.append((f"first look-up after start over HTTP: from \"serving\" / from exec ({name})",
                     f"{served_first[0]:.0f} / {served_first[1]:.0f} ms", "≤ 100 ms"))
    memory = bench(args.build, "memory", "spa", "ger", "fre")
    rows.append(("resident memory growth, WordNet + Spanish, German, French open",
                 f"{memory['growthMiB']:.1f} MiB", "≤ 60 MiB"))
    print("| figure | measured | target |\n| --- | --- | --- |")
    for row in rows:
        print("| " + " | ".join(row) + " |")

    coverage = bench(args.build, "coverage")
    print("\n| language | status | headwords | sample words translated |\n| --- | --- | --- | --- |")
    for language in coverage:
        if language["status"] != "ok":
            continue
        print(f"| {NAMES.get(language['code'], language['code'])} ({language['code']}) | ok | "
              f"{language['headwords']} | {language['translated']} of {language['sampleWords']} |")
    missing = [l["code"] for l in coverage if l["status"] != "ok"]
    print(f"\nNo English-X dictionary in Debian 12 for: {', '.join(missing)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
