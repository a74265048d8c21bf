#!/usr/bin/env bash
# Runs Lirra: installs missing Debian packages, builds if stale, then starts the app
# (under a private Xvfb when there is no display). Arguments go to lirra, e.g. ./lirra.sh video.mkv
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh"
"$top/scripts/build.sh" >/dev/null
# Chromium refuses to run as root with its sandbox on.
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$top/scripts/with-display.sh" "$top/build/src/app/lirra" "$@"
