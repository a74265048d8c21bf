#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of Lirra from the release preset (build-release/) and prints its path.
# Install it with: sudo apt install ./build-release/lirra_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/ensure-deps.sh" --tests
"$top/scripts/build.sh" release
cd "$top/build-release"
rm -f lirra_*.deb
cpack -G DEB >&2
deb=$(ls "$top"/build-release/lirra_*.deb)
echo "$deb"
