#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
""""Say it" in the service: GET api/speech over HTTP on loopback, each text asked for the first
time (synthesis), for a word and for a 200-character line, then the same texts again (the
cache). Prints the p50 and p99 of each.

Usage: bench/speech/run.py [--build BUILD_DIR] [--rounds N]
"""
import argparse
import http.client
import os
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

WORDS = ("water", "thought", "because", "usually", "another", "question", "people", "answer",
         "beautiful", "together", "remember", "language", "morning", "through", "enough")
LINE = ("I told you twice already, the train leaves at seven and we still have to pack the car, "
        "feed the cat, call your mother and find the tickets before anyone even thinks of coffee")


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--build', default=os.path.join(os.path.dirname(__file__), '..', '..', 'build'))
    parser.add_argument('--rounds', type=int, default=60)
    args = parser.parse_args()
    exe = os.path.join(args.build, 'server', 'lirra-server')
    with tempfile.TemporaryDirectory() as data:
        server = subprocess.Popen([exe, '--data', data], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True)
        try:
            line = server.stdout.readline()
            port = int(line.strip().rsplit(':', 1)[1].split('/')[0])
            conn = http.client.HTTPConnection('127.0.0.1', port)

            def say(text, voice='en-us'):
                query = urllib.parse.urlencode({'text': text, 'voice': voice})
                start = time.perf_counter()
                conn.request('GET', '/api/speech?' + query)
                res = conn.getresponse()
                res.read()
                elapsed = (time.perf_counter() - start) * 1000
                if res.status != 200:
                    sys.exit(f'{text!r}: {res.status}')
                return elapsed, res.getheader('X-Cache')

            say('warm up')  # the engine starts on the first request
            figures = {}
            for name, texts in (('a word', [f'{w} {i}' if i else w for i in range(args.rounds // len(WORDS) + 1) for w in WORDS][:args.rounds]),
                                ('a 200-character line', [f'{i} {LINE}'[:200] for i in range(args.rounds)])):
                first = [say(t) for t in texts]
                again = [say(t) for t in texts]
                assert all(c == 'miss' for _, c in first) and all(c == 'hit' for _, c in again)
                figures[name] = ([ms for ms, _ in first], [ms for ms, _ in again])
            for name, (first, again) in figures.items():
                print(f'speech of {name}, {len(first)} texts: made p50 {statistics.median(first):.1f} ms, '
                      f'p99 {percentile(first, 99):.1f} ms; cached p50 {statistics.median(again):.2f} ms, '
                      f'p99 {percentile(again, 99):.2f} ms')
        finally:
            server.terminate()
            server.wait()


if __name__ == '__main__':
    main()
