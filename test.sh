#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every test: installs missing Debian packages (what running needs and what the tests need),
# builds if stale, runs CTest under a display (a private Xvfb when there is none). Arguments go to
# ctest, e.g. ./test.sh -L unit
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh" --tests
"$top/scripts/build.sh"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
cd "$top/build"
exec "$top/scripts/with-display.sh" ctest --output-on-failure --no-tests=error -j"$(nproc)" "$@"
