#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that a desktop would offer Lirra for
# videos: the programs, a valid desktop entry with video types, the icon; and the manual pages.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/lirra bin/lirra-server share/applications/lirra.desktop \
            share/icons/hicolor/scalable/apps/lirra.svg share/man/man1/lirra.1 \
            share/man/man1/lirra-server.1; do
    [[ -e "$prefix/$file" ]] || { echo "not installed: $file"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/lirra.desktop"
grep -q '^MimeType=.*video/x-matroska' "$prefix/share/applications/lirra.desktop"
grep -q '^Exec=lirra %f' "$prefix/share/applications/lirra.desktop"
"$prefix/bin/lirra" --help | grep -q -- '--base-url'
# Every option a program lists in --help has its entry in its manual page, which formats cleanly.
check_manual() {
    local program=$1 page=$2 text option
    [[ -z $(groff -ww -man -z "$page" 2>&1) ]] || { groff -ww -man -z "$page"; exit 1; }
    text=$(groff -man -Tascii -P-cbou "$page")
    for option in $("$prefix/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        grep -qE -- "^ +$option( |,|\$)" <<<"$text" || { echo "$page: no entry for $option"; exit 1; }
    done
}
check_manual lirra "$prefix/share/man/man1/lirra.1"
check_manual lirra-server "$prefix/share/man/man1/lirra-server.1"
echo "installed and valid"
