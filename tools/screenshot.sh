#!/usr/bin/env bash
# Saves a picture of the whole screen of a running Wine session:
#   tools/screenshot.sh OUT.png
# Which display: $VN_DISPLAY if set (tools/start.sh prints it); inside a session, that session's;
# else the newest running session's (tools/start.sh in another shell); else $DISPLAY.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 OUT.png" >&2
    exit 2
fi
out=$1

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")

display=${VN_DISPLAY:-}
if [ -n "$display" ]; then
    :
elif [ -n "${VN_WINE_SESSION:-}" ] && [ -n "${DISPLAY:-}" ]; then
    display=$DISPLAY
else
    for f in $(ls -t "$BUILD_DIR"/wine/session-*.env 2>/dev/null); do
        pid=${f%.env}
        pid=${pid##*-}
        kill -0 "$pid" 2>/dev/null || continue
        display=$(sed -n 's/^DISPLAY=//p' "$f")
        break
    done
    display=${display:-${DISPLAY:-}}
fi
if [ -z "$display" ]; then
    echo "screenshot: no running Wine session and no DISPLAY" >&2
    exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
xwd -root -silent -display "$display" | convert xwd:- "png:$tmp/root.png"
# Wine's windows above the main one (dialogs, menus, message boxes) come out black in a capture of
# the root on a virtual display, yet each captures right by itself: paint them over it, bottom first.
desktop=$(xwininfo -display "$display" -root -children 2>/dev/null \
          | sed -n 's/^ *\(0x[0-9a-f]*\) "[^"]* - Wine desktop".*/\1/p' | head -n 1)
layers=()
if [ -n "$desktop" ]; then
    while read -r id x y; do
        [ "$(xwininfo -display "$display" -id "$id" 2>/dev/null | sed -n 's/^ *Map State: //p')" = IsViewable ] \
            || continue
        n=${#layers[@]}
        xwd -id "$id" -silent -display "$display" 2>/dev/null | convert xwd:- "png:$tmp/w$n.png" 2>/dev/null \
            || continue
        layers+=("$tmp/w$n.png" -geometry "+$x+$y" -composite)
    done < <(xwininfo -display "$display" -id "$desktop" -children 2>/dev/null \
             | sed -n 's/^ *\(0x[0-9a-f]*\) .*  \([0-9]*\)x\([0-9]*\)+-\?[0-9]*+-\?[0-9]*  +\(-\?[0-9]*\)+\(-\?[0-9]*\)$/\1 \2 \3 \4 \5/p' \
             | awk '$2 > 1 && $3 > 1 { print $1, $4, $5 }' | tac)
fi
convert "$tmp/root.png" "${layers[@]}" "png:$out"
echo "screenshot: $out (display $display)" >&2
