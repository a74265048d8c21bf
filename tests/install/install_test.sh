#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and checks what a desktop, a software centre and a
# packager read: the programs, the desktop entry and metainfo (valid, under one id, offering the
# same video types), the icon, the copyright file, and the manual pages, compressed, with an entry
# for every option the programs list; the desktop entry's and metainfo's texts in every language of
# po/LINGUAS.
# Usage: install_test.sh BUILD_DIR PROJECT_VERSION SOURCE_DIR
set -euo pipefail
build=$1 version=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "$*"; exit 1; }
id=app.lirra.Lirra
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for file in bin/lirra bin/lirra-server share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
            share/icons/hicolor/scalable/apps/$id.svg share/doc/lirra/copyright \
            share/man/man1/lirra.1.gz share/man/man1/lirra-server.1.gz \
            lib/systemd/system/lirra-server.service lib/sysusers.d/lirra-server.conf \
            share/doc/lirra/examples/lirra-server.nginx; do
    [[ -e "$prefix/$file" ]] || fail "not installed: $file"
done

desktop-file-validate "$desktop"
grep -qx 'Exec=lirra -- %U' "$desktop" || fail "the desktop entry must end the options before its URLs"
! grep -q '^MimeType=.*x-scheme-handler' "$desktop" || fail "the desktop entry claims a URL scheme"
for lang in $(grep -E '^[A-Za-z_]+$' "$source/po/LINGUAS"); do
    for key in Name GenericName Comment Keywords; do
        grep -q "^$key\[$lang\]=." "$desktop" || fail "the desktop entry has no $key[$lang]"
    done
    grep -q "^Keywords\[$lang\]=.*;\$" "$desktop" || fail "Keywords[$lang] is not a list ending in ';'"
    grep -q "<summary xml:lang=\"$lang\">" "$metainfo" || fail "the metainfo has no summary in $lang"
done
appstreamcli validate --no-net --explain "$metainfo"
# What a software centre offers to open must be what the desktop entry opens.
types() { tr ';' '\n' | grep -v '^$' | sort; }
diff <(sed -n 's/^MimeType=//p' "$desktop" | types) \
     <(grep -o '<mediatype>[^<]*' "$metainfo" | sed 's/<mediatype>//' | types) ||
    fail "the metainfo's media types differ from the desktop entry's"
[[ $(grep -c '<mediatype>video/x-matroska<' "$metainfo") == 1 ]] || fail "no Matroska in the metainfo"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)
[[ "$newest" == "$version" ]] || fail "the metainfo's newest release is $newest, the program's $version"

"$prefix/bin/lirra" --help | grep -q -- '--base-url' || fail "lirra --help names no --base-url"
# Every option a program lists in --help has its entry in its manual page, which formats cleanly.
check_manual() {
    local program=$1 page=$2 text option
    gzip -t "$page"
    [[ -z $(zcat "$page" | groff -ww -man -z 2>&1) ]] || { zcat "$page" | groff -ww -man -z; exit 1; }
    text=$(zcat "$page" | groff -man -Tascii -P-cbou)
    for option in $("$prefix/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
        # An entry starts its line, after the option's one-letter form if it has one.
        grep -qE -- "^ +(-[a-zA-Z], )?$option( |,|\$)" <<<"$text" || fail "$page: no entry for $option"
    done
}
check_manual lirra "$prefix/share/man/man1/lirra.1.gz"
check_manual lirra-server "$prefix/share/man/man1/lirra-server.1.gz"
echo "installed and valid"
