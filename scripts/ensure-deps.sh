#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of the given lists that are missing; quiet when all are there.
# Usage: scripts/ensure-deps.sh [--tests] [LIST_FILE...]
#   (no list)  scripts/debian-packages.txt: what building and running Lirra needs
#   --tests    also scripts/debian-packages-tests.txt and Node.js, which the tests need
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=()
tests=0
for arg in "$@"; do
    if [[ "$arg" == --tests ]]; then tests=1; else lists+=("$arg"); fi
done
[[ ${#lists[@]} -gt 0 ]] || lists=("$here/debian-packages.txt")
[[ $tests == 1 ]] && lists+=("$here/debian-packages.txt" "$here/debian-packages-tests.txt")
missing=()
while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done < <(cat "${lists[@]}" | sort -u)
# Node runs the pages' tests; Debian's nodejs (and npm) only when none is installed at all.
if [[ $tests == 1 ]]; then
    command -v node >/dev/null || missing+=(nodejs)
    command -v npm >/dev/null || missing+=(npm)
fi
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing Debian packages: ${missing[*]}" >&2
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
