#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that a desktop would offer Lirra for
# videos: the programs, a valid desktop entry with video types, the icon.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/lirra bin/lirra-server share/applications/lirra.desktop \
            share/icons/hicolor/scalable/apps/lirra.svg; do
    [[ -e "$prefix/$file" ]] || { echo "not installed: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/lirra.desktop"
grep -q '^MimeType=.*video/x-matroska' "$prefix/share/applications/lirra.desktop"
grep -q '^Exec=lirra %f' "$prefix/share/applications/lirra.desktop"
"$prefix/bin/lirra" --help | grep -q -- '--base-url'
echo "installed and valid"
