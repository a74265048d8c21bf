#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the software centre's screenshots (data/app.lirra.Lirra.metainfo.xml) from the real
# program on a private Xvfb: a clip playing with an English and a Spanish line, then the home
# page it returns to. Each is the window's content (below the menu bar) as player.png and
# home.png in OUT_DIR; their sizes are printed, for the metainfo.
# Usage: scripts/make-screenshots.sh [BUILD_DIR [OUT_DIR]]   (defaults: build, BUILD_DIR/screenshots)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=${2:-$build/screenshots}
lirra=$build/src/app/lirra
[[ -x $lirra ]] || { echo "make-screenshots: build the lirra target first ($lirra)" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A display larger than the clip, so that the window keeps the clip's own size.
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

ffmpeg -loglevel error -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=30" \
    -f lavfi -i "sine=frequency=330:duration=30" -c:v libx264 -pix_fmt yuv420p -c:a aac \
    -shortest "$work/Learning English.mp4"
cue() { printf '%s\n00:00:%02d,000 --> 00:00:%02d,000\n%s\n\n' "$1" "$2" "$3" "$4"; }
{ cue 1 0 4 "Welcome back! Shall we start where we left off?"
  cue 2 4 30 "I'd love to. Could you say that last word again?"; } >"$work/Learning English.en.srt"
{ cue 1 0 4 "¡Bienvenido de nuevo! ¿Empezamos donde lo dejamos?"
  cue 2 4 30 "Me encantaría. ¿Podrías repetir la última palabra?"; } >"$work/Learning English.es.srt"

# Runs lirra with ARGS, waits SECONDS and saves the content area below the menu bar as FILE.
shoot() {
    local file=$1 seconds=$2
    shift 2
    QTWEBENGINE_DISABLE_SANDBOX=${QTWEBENGINE_DISABLE_SANDBOX:-1} \
        "$lirra" --data "$work/data" --instance "screenshots-$$" "$@" >"$work/log" 2>&1 &
    app=$!
    sleep "$seconds"
    kill -0 "$app" 2>/dev/null || { cat "$work/log" >&2; exit 1; }
    local id geometry
    # The window of class lirra nested deepest is the content area under the menu bar.
    id=$(xwininfo -root -tree | awk '/"Lirra": \("lirra" "Lirra"\)/ { id = $1 } END { print id }')
    [[ -n $id ]] || { echo "make-screenshots: no Lirra window" >&2; exit 1; }
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /Width/ { w = $NF } /Height/ { h = $NF }
        END { printf "%d %d %d %d", x, y, w, h }')
    read -r x y w h <<<"$geometry"
    import -window root -crop "${w}x$h+$x+$y" +repage "$out/$file"
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=
    echo "make-screenshots: $out/$file ${w}x$h"
}
shoot player.png 16 --hwdec no "$work/Learning English.mp4"
shoot home.png 10 --hwdec no
