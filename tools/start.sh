#!/usr/bin/env bash
# Builds the editor (the program, its help file and its lock file) and starts it under Wine,
# optionally with a file:
#   tools/start.sh [FILE]
# Its settings (the registry) live in one Wine prefix kept between starts: $VN_USER_PREFIX, by
# default ~/.local/share/varnolet/wine. The test sessions use fresh prefixes of their own.
# Without a display of your own it runs on a virtual one (see tools/wine-session.sh);
# tools/screenshot.sh OUT.png takes a picture of it.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")

bash "$ROOT/tools/build.sh" varnolet

exe=$BUILD_DIR/main_window/varnolet.exe
if [ ! -f "$exe" ]; then
    exe=$(find "$BUILD_DIR" -path "$BUILD_DIR/wine" -prune -o -name varnolet.exe -print -quit)
fi
if [ -z "$exe" ] || [ ! -f "$exe" ]; then
    echo "start: varnolet.exe was not built (looked in $BUILD_DIR/main_window)" >&2
    exit 1
fi

args=()
if [ $# -gt 0 ]; then
    # Wine maps the Unix root to drive Z:.
    file=$(realpath -m -- "$1")
    args+=("Z:${file//\//\\}")
fi
export VN_PREFIX=${VN_USER_PREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/varnolet/wine}
mkdir -p "$(dirname "$VN_PREFIX")"
exec bash "$ROOT/tools/wine-session.sh" bash -c \
    'echo "start: $1 on display $DISPLAY (tools/screenshot.sh OUT.png; VN_DISPLAY=$DISPLAY picks it)" >&2
     exec bash "$0" "$@"' "$ROOT/tools/wine-exec.sh" "$exe" "${args[@]}"
