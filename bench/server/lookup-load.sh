#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lookup latency under load: starts lirra-server on a free loopback port with a fresh data
# directory and a small library, then runs wrk (32 connections, 20 s) flat out and paced near
# 1,000 requests per second. Usage: bench/server/lookup-load.sh BUILD_DIR [DURATION]
set -euo pipefail
build=${1:?usage: lookup-load.sh BUILD_DIR [DURATION]}
duration=${2:-20s}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/library"
for n in 0 1 2 3 4 5 6 7; do
    printf '1\r\n00:00:01,000 --> 00:00:02,000\r\nHello %s\r\n' "$n" > "$work/library/Film $n.en.srt"
done
"$build/server/lirra-server" --listen 127.0.0.1:0 --data "$work/data" --library "$work/library" \
    > "$work/out" 2>&1 &
pid=$!
for _ in $(seq 50); do grep -q serving "$work/out" && break; sleep 0.1; done
url=$(sed -n 's/^lirra-server: serving //p' "$work/out")
echo "server: $url"
echo "== flat out, 32 connections, $duration"
wrk -t2 -c32 -d"$duration" --latency -s "$here/lookup.lua" "$url" | grep -E 'requests/s|^p|errors'
# 32 connections, each waiting 31 ms between requests: about 1,000 requests per second.
echo "== paced near 1,000 requests/s, 32 connections, $duration"
DELAY_MS=31 wrk -t2 -c32 -d"$duration" --latency -s "$here/lookup.lua" "$url" | grep -E 'requests/s|^p|errors'
