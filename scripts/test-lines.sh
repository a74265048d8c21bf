#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Counts non-blank lines (the licence line aside) of code and of tests in a commit (default HEAD), as files tracked by git:
#   C++ code   src/**/*.{cpp,h} and server/src/**/*.{cpp,h}
#   C++ tests  tests/**/*.{cpp,h} (support code and fakes included)
#   page code  server/web/*.js
#   page tests tests/pages/**/*.js (unit and browser, their helpers included)
# and prints each ratio of tests to code, then the C++ tests by folder.
# Usage: scripts/test-lines.sh [COMMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:-HEAD}
count() { git grep -c -v -e '^[[:space:]]*$' -e 'SPDX-License-Identifier' "$rev" -- "$@" | awk -F: '{ s += $NF } END { print s + 0 }'; }
code=$(count 'src/*.cpp' 'src/*.h' 'server/src/*.cpp' 'server/src/*.h')
tests=$(count 'tests/*.cpp' 'tests/*.h')
web=$(count 'server/web/*.js')
webTests=$(count 'tests/pages/*.js')
awk -v c="$code" -v t="$tests" -v w="$web" -v wt="$webTests" 'BEGIN {
    printf "C++:   %6d test lines / %6d code lines = %.2f\n", t, c, t / c
    printf "pages: %6d test lines / %6d code lines = %.2f\n", wt, w, wt / w
}'
# By folder, two levels deep where there are two (tests/server/media).
git grep -c -v -e '^[[:space:]]*$' -e 'SPDX-License-Identifier' "$rev" -- 'tests/*.cpp' 'tests/*.h' |
    awk -F: '{ n = split($2, p, "/"); k = n > 3 ? p[2] "/" p[3] : p[2]; s[k] += $3 }
             END { for (k in s) printf "  %5d  tests/%s\n", s[k], k }' | sort -k2
