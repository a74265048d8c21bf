#!/usr/bin/env bash
# Configures once and builds incrementally (Ninja rebuilds only what is stale).
# Usage: scripts/build.sh [PRESET]   (default: "default"; see CMakePresets.json)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
cd "$top"
if [[ "$preset" == default ]]; then dir=build; else dir="build-$preset"; fi
if [[ ! -f "$dir/build.ninja" ]]; then
    cmake --preset "$preset" >/dev/null
fi
cmake --build "$dir" -j"$(nproc)"
