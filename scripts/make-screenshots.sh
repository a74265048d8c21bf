#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the software centre's screenshots (data/app.lirra.Lirra.metainfo.xml) from the real
# program on a private Xvfb: a clip playing with an English and a Spanish line, then the home
# page it returns to. Each is the window's content (below the menu bar) as player.png and
# home.png in OUT_DIR; their sizes are printed, for the metainfo.
# With --languages "de ru ar ja hi", the program under each of those locales instead: the home
# page (home-LL.png), the player with its controls shown and a line being practised over the
# moving test picture (player-LL.png), and for the first language the File menu (menu-LL.png)
# and the alert of a file that is no video (alert-LL.png), both with the window around them.
# Usage: scripts/make-screenshots.sh [--languages LIST] [BUILD_DIR [OUT_DIR]]
#        (defaults: build, BUILD_DIR/screenshots)
set -euo pipefail
languages=
if [[ ${1:-} == --languages ]]; then languages=$2; shift 2; fi
here=$(cd "$(dirname "$0")/.." && pwd)
input=$here/scripts/x-input.py
build=$(cd "${1:-$here/build}" && pwd)
out=${2:-$build/screenshots}
lirra=$build/src/app/lirra
[[ -x $lirra ]] || { echo "make-screenshots: build the lirra target first ($lirra)" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A display larger than the clip, so that the window keeps the clip's own size.
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1600x1000x24 -br -nolisten tcp >/dev/null 2>&1 &
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
# The same two lines in each language the --languages shots may read.
native() {
    case $1 in
    de) echo "Willkommen zurück! Machen wir dort weiter, wo wir aufgehört haben?"
        echo "Sehr gern. Könntest du das letzte Wort noch einmal sagen?" ;;
    ru) echo "С возвращением! Продолжим с того места, где остановились?"
        echo "С удовольствием. Можешь повторить последнее слово?" ;;
    ar) echo "أهلًا بعودتك! هل نبدأ من حيث توقفنا؟"
        echo "بكل سرور. هل يمكنك أن تقول الكلمة الأخيرة مرة أخرى؟" ;;
    ja) echo "おかえりなさい！前回の続きから始めましょうか？"
        echo "ぜひ。最後の単語をもう一度言ってもらえますか？" ;;
    hi) echo "फिर से स्वागत है! क्या हम वहीं से शुरू करें जहाँ छोड़ा था?"
        echo "ज़रूर। क्या आप आख़िरी शब्द फिर से कह सकते हैं?" ;;
    esac
}
for lang in $languages; do
    mapfile -t lines < <(native "$lang")
    [[ ${#lines[@]} -eq 2 ]] || continue
    { cue 1 0 4 "${lines[0]}"; cue 2 4 30 "${lines[1]}"; } >"$work/Learning English.$lang.srt"
done
printf 'not a video\n' >"$work/Not a video.mp4"

# Runs lirra with ARGS, waits SECONDS and saves the content area below the menu bar as FILE.
# $steps, when set, are x-input.py steps played first (X, Y and M: the content area's middle,
# its foot and the menu bar's first menu); with $whole set the picture is the screen's lit part, the window and what it opened.
steps= whole= appenv=()
shoot() {
    local file=$1 seconds=$2
    shift 2
    env "${appenv[@]}" QTWEBENGINE_DISABLE_SANDBOX=${QTWEBENGINE_DISABLE_SANDBOX:-1} \
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
    if [[ -n $steps ]]; then
        local mid=$((x + w / 2)),$((y + h / 2)) foot=$((x + w / 2)),$((y + h - 30))
        local menu=$((x + 20)),$((y - 10))
        # shellcheck disable=SC2086 # the steps are words
        "$input" $(sed "s/\bX\b/$mid/g; s/\bY\b/$foot/g; s/\bM\b/$menu/g" <<<"$steps")
    fi
    if [[ -n $whole ]]; then
        import -window root -trim +repage "$out/$file"
    else
        import -window root -crop "${w}x$h+$x+$y" +repage "$out/$file"
    fi
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=
    echo "make-screenshots: $out/$file ${w}x$h"
}
if [[ -z $languages ]]; then
    shoot player.png 16 --hwdec no "$work/Learning English.mp4"
    shoot home.png 10 --hwdec no
    exit 0
fi
first=
for lang in $languages; do
    case $lang in
    ar) locale=ar_EG ;; hi) locale=hi_IN ;; ja) locale=ja_JP ;; zh_CN) locale=zh_CN ;;
    *) locale=${lang}_${lang^^} ;;
    esac
    appenv=(LANG="$locale.UTF-8" LANGUAGE= LC_ALL= LC_MESSAGES=)
    rm -rf "$work/data"
    steps= whole= shoot "home-$lang.png" 10 --hwdec no
    # The pointer on the controls keeps them shown; 3 plays the line three times.
    steps="move:X sleep:0.5 move:Y sleep:0.5 key:3 sleep:1.5" whole= \
        shoot "player-$lang.png" 14 --hwdec no "$work/Learning English.mp4"
    [[ -z $first ]] || continue
    first=$lang
    steps="click:M sleep:1" whole=1 shoot "menu-$lang.png" 10 --hwdec no
    steps= whole=1 shoot "alert-$lang.png" 12 --hwdec no "$work/Not a video.mp4"
done
