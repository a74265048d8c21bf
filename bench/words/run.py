#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Word statuses in the service: one request for the statuses of 1,000 words (a quarter of them
marked, a few counted as another form) over HTTP on loopback, against a store holding 20,000
marked words; and the import of those 20,000 words in one request.

Usage: bench/words/run.py [--build BUILD_DIR] [--rounds N]
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--build', default=os.path.join(os.path.dirname(__file__), '..', '..', 'build'))
    parser.add_argument('--rounds', type=int, default=200)
    args = parser.parse_args()
    exe = os.path.join(args.build, 'server', 'lirra-server')
    with tempfile.TemporaryDirectory() as data:
        server = subprocess.Popen([exe, '--data', data], stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, text=True)
        try:
            line = server.stdout.readline()
            port = int(line.strip().rsplit(':', 1)[1].split('/')[0])
            conn = http.client.HTTPConnection('127.0.0.1', port)

            def call(method, path, body, ctype):
                start = time.perf_counter()
                conn.request(method, path, body=body, headers={'Content-Type': ctype})
                res = conn.getresponse()
                payload = res.read()
                elapsed = (time.perf_counter() - start) * 1000
                if res.status != 200:
                    sys.exit(f'{method} {path}: {res.status} {payload[:200]!r}')
                return elapsed, payload

            marked = [f'word{i}' for i in range(20000)]
            ms, _ = call('POST', '/api/words/import?status=known', '\n'.join(marked), 'text/plain')
            print(f'import of 20,000 words in one request: {ms:.1f} ms')
            for i in range(50):
                call('PUT', f'/api/words/form{i}s', json.dumps({'status': 'learning', 'form': f'word{i}'}),
                     'application/json')
            asked = [f'word{i * 80}' for i in range(250)] + [f'form{i}s' for i in range(50)] + \
                    [f'unmarked{i}' for i in range(700)]
            body = json.dumps({'words': asked})
            times = []
            for _ in range(args.rounds):
                ms, payload = call('POST', '/api/words/statuses', body, 'application/json')
                times.append(ms)
            answer = json.loads(payload)['statuses']
            assert answer['form3s'] == 'learning' and answer['word80'] == 'known' and answer['unmarked1'] == 'new'
            times.sort()
            print(f'statuses of 1,000 words, {args.rounds} requests: median {statistics.median(times):.2f} ms, '
                  f'p95 {times[int(len(times) * 0.95) - 1]:.2f} ms, max {times[-1]:.2f} ms')
        finally:
            server.terminate()
            server.wait()


if __name__ == '__main__':
    main()
