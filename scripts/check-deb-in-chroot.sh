#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a Lirra .deb into a fresh minimal Debian 12 chroot and checks that it runs there: the
# command-line programs, the manual pages, and the app under Xvfb opening a generated clip (home
# page, video lookup, player page, a screenshot). Needs root and the network; slow, so it is not
# part of ./test.sh.
# Usage: scripts/check-deb-in-chroot.sh DEB   (CHROOT=DIR to choose the chroot, KEEP=1 to keep it)
set -euo pipefail
[[ $# -eq 1 && -f "$1" ]] || { echo "usage: $0 path/to/lirra_VERSION_ARCH.deb" >&2; exit 2; }
[[ $(id -u) -eq 0 ]] || { echo "$0: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
deb=$(readlink -f "$1")
root=${CHROOT:-/tmp/lirra-chroot}
suite=bookworm
out=${OUT:-$root.out}  # the log, the screenshot and the summary, outside the chroot
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8

step() { printf '\n== %s\n' "$*"; }
seconds_since() { echo $(($(date +%s) - $1)); }

command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null

# The chroot uses the same archives as this machine's apt: read them from its configuration.
# shellcheck disable=SC2016  # apt expands the $(...) fields
mapfile -t sources < <(apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE)' |
    awk -v suite="$suite" '$1 == "deb" && ($3 == suite || index($3, suite "-") == 1) { print $2, $3 }' |
    sort -u)
mirror=""
for line in "${sources[@]}"; do
    read -r uri release <<<"$line"
    [[ "$release" == "$suite" ]] && mirror=$uri
done
[[ -n "$mirror" ]] || { echo "$0: apt has no $suite archive configured" >&2; exit 1; }

# The host's /dev is bound into the chroot: never delete the tree while anything is mounted in it.
unmount_all() {
    local dir
    for dir in dev/shm dev/pts dev proc; do
        mountpoint -q "$root/$dir" 2>/dev/null && umount "$root/$dir"
    done
    ! grep -q " $root/" /proc/mounts
}
remove_root() {
    if unmount_all; then
        rm -rf --one-file-system "$root"
    else
        echo "$0: still mounted under $root, left in place" >&2
    fi
}
# shellcheck disable=SC2317  # run by the trap
cleanup() { if [[ "${KEEP:-0}" == 1 ]]; then unmount_all || true; else remove_root; fi; }
trap cleanup EXIT

remove_root
rm -rf "$out"
mkdir -p "$out"
start=$(date +%s)
step "debootstrap --variant=minbase $suite $root"
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$out/debootstrap.log" 2>&1 ||
    { tail -20 "$out/debootstrap.log"; exit 1; }
echo "took $(seconds_since "$start") s"

: >"$root/etc/apt/sources.list"
for line in "${sources[@]}"; do
    read -r uri release <<<"$line"
    echo "deb $uri $release main" >>"$root/etc/apt/sources.list"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"  # no services start in here
chmod +x "$root/usr/sbin/policy-rc.d"
for dir in proc dev dev/pts dev/shm; do
    if [[ $dir == proc ]]; then mount -t proc proc "$root/proc"; else mount --bind "/$dir" "$root/$dir"; fi
done
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

step "apt-get install ./$(basename "$deb") (alone, so only what it pulls in)"
cp "$deb" "$root/root/"
in_root apt-get update -qq
start=$(date +%s)
in_root apt-get install -y -qq "./root/$(basename "$deb")" >"$out/install.log" 2>&1 ||
    { tail -30 "$out/install.log"; exit 1; }
echo "took $(seconds_since "$start") s; $(grep -c '^Setting up' "$out/install.log") packages set up"
in_root dpkg -s lirra | grep -E '^(Version|Installed-Size|Depends|Recommends):'

step "tools for the smoke test: xvfb xauth xdotool ffmpeg imagemagick man-db"
in_root apt-get install -y -qq --no-install-recommends xvfb xauth xdotool ffmpeg imagemagick man-db \
    >"$out/tools.log" 2>&1 || { tail -30 "$out/tools.log"; exit 1; }

step "command-line programs and manual pages"
in_root lirra --help | head -3
in_root lirra-server --help | head -2
in_root man -w lirra
in_root man -w lirra-server
in_root sh -c 'man lirra | grep -q -- "--base-url"' && echo "man lirra shows the options"
in_root ffmpeg -v error -y -f lavfi -i testsrc=duration=5:size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:duration=5 -c:v libx264 -pix_fmt yuv420p -c:a aac \
    -shortest /root/clip.mp4
in_root lirra --hash /root/clip.mp4

step "lirra --verbose /root/clip.mp4 under Xvfb"
cat >"$root/root/smoke.sh" <<'SMOKE'
#!/bin/sh
# Runs inside xvfb-run: starts Lirra, waits for the player page, moves the pointer over the window
# so that the page shows its controls, takes a screenshot, quits.
lirra --verbose /root/clip.mp4 >/root/lirra.log 2>&1 &
pid=$!
i=0
while [ $i -lt 60 ] && ! grep -qs 'Page loaded: .*Player/Play?videoId=' /root/lirra.log; do
    sleep 0.5; i=$((i + 1))
done
sleep 1
timeout 5 xdotool search --sync --onlyvisible --class lirra mousemove --window %1 300 200
sleep 1
import -window root /root/screenshot.png
kill -TERM $pid
wait $pid
echo "lirra exited with $?" >>/root/lirra.log
SMOKE
chmod +x "$root/root/smoke.sh"
start=$(date +%s)
in_root QTWEBENGINE_DISABLE_SANDBOX=1 timeout 90 \
    xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" /root/smoke.sh || true
echo "smoke test took $(seconds_since "$start") s"
cp "$root/root/lirra.log" "$out/lirra.log"
cp "$root/root/screenshot.png" "$out/screenshot.png" 2>/dev/null || true

status=0
for pattern in 'Page loaded: .*/Player/Home' 'Done analyzing video' \
               'Page loaded: .*/Player/Play\?videoId=' 'lirra exited with 0'; do
    if line=$(grep -m1 -E "$pattern" "$out/lirra.log"); then
        echo "ok: $line"
    else
        echo "MISSING: $pattern"
        status=1
    fi
done
if [[ -s "$out/screenshot.png" ]]; then echo "screenshot: $out/screenshot.png"; else echo "no screenshot"; status=1; fi

step "summary"
echo ".deb: $(stat -c %s "$deb") bytes ($(du -h "$deb" | cut -f1))"
echo "Installed-Size: $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "log: $out/lirra.log"
[[ $status -eq 0 ]] && echo "PASS" || echo "FAIL"
exit $status
