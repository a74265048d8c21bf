#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Lirra: installs the Debian packages it needs, builds the program if stale (the first build
# takes several minutes and shows its progress), then starts it (under a private Xvfb when there
# is no display). Arguments go to lirra, e.g. ./lirra.sh video.mkv
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh"
[[ -x "$top/build/src/app/lirra" ]] || echo "Building Lirra; the first build takes several minutes." >&2
"$top/scripts/build.sh" default lirra >&2
# Chromium refuses to run as root with its sandbox on.
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$top/scripts/with-display.sh" "$top/build/src/app/lirra" "$@"
