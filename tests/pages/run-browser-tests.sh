#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the browser tests of the pages; installs playwright-core from the lock file first when a
# fresh clone has no node_modules yet (the browser is Debian's chromium, never a download).
set -euo pipefail
cd "$(dirname "$0")"
if [[ ! -f node_modules/playwright-core/package.json ]]; then
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi
# One browser at a time: the machine is shared.
exec node --test --test-concurrency=1 browser/*.test.js
