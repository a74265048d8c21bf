#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command under the current display, or under a private Xvfb when there is none.
set -euo pipefail
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$@"
