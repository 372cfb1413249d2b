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

xwd -root -silent -display "$display" | convert xwd:- "png:$out"
echo "screenshot: $out (display $display)" >&2
