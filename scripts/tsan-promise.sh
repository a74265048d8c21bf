#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the promise library and its tests under ThreadSanitizer (preset "tsan", tree build-tsan)
# and runs them; any report fails the run. Serialised with a lock, since several test runs may
# call it at once.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mkdir -p build-tsan
exec 9>build-tsan/.lock
flock 9
if [[ ! -f build-tsan/build.ninja ]]; then
    cmake --preset tsan >/dev/null
fi
cmake --build build-tsan -j"${LIRRA_JOBS:-2}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir build-tsan -L unit --output-on-failure
