#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a tracked C++ file differs from what clang-format (.clang-format at the root) makes
# of it; with --fix, formats them in place. Run by CTest so formatting cannot drift.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 2; }
# Tracked files in a checkout; outside one (a source archive), the project's own folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
else
    mapfile -t files < <(find src server/src tests bench -name '*.cpp' -o -name '*.h' 2>/dev/null | sort)
fi
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
# Many files per clang-format process: its start-up, not the formatting, is most of the cost.
report=$(printf '%s\0' "${files[@]}" |
    xargs -0 -P "$(nproc)" -n 32 clang-format --dry-run -Werror 2>&1 >/dev/null || true)
mapfile -t bad < <(grep -oE '^[^:]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
    echo "Not formatted (run scripts/check-format.sh --fix):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "${#files[@]} files formatted"
