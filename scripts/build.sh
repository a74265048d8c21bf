#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures once and builds incrementally (Ninja rebuilds only what is stale).
# Usage: scripts/build.sh [PRESET [TARGET...]]   (default: "default", everything; see
# CMakePresets.json). A build configured before GoogleTest was installed is configured again,
# so that its tests appear.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
[[ $# -gt 0 ]] && shift
cd "$top"
if [[ "$preset" == default ]]; then dir=build; else dir="build-$preset"; fi
if [[ ! -f "$dir/build.ninja" ]]; then
    cmake --preset "$preset" >/dev/null
elif grep -q '^GTest_DIR:PATH=.*NOTFOUND' "$dir/CMakeCache.txt" && [[ -d /usr/include/gtest ]]; then
    cmake "$dir" >/dev/null
fi
targets=()
[[ $# -gt 0 ]] && targets=(--target "$@")
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
