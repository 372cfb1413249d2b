#!/usr/bin/env bash
# Installs what is missing, configures (once) and builds everything:
#   tools/build.sh [TARGET...]
# Environment: VN_BUILD_DIR (default <repo>/build), VN_JOBS (default: number of cores).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
JOBS=${VN_JOBS:-$(nproc)}
# Through bash, so a checkout that lost the executable bit still runs the tests.
EMULATOR="$(command -v bash);$ROOT/tools/wine-exec.sh"

bash "$ROOT/tools/setup.sh"

cache=$BUILD_DIR/CMakeCache.txt
configured()
{
    [ -f "$BUILD_DIR/build.ninja" ] && [ -f "$cache" ] \
        && grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$ROOT" "$cache" \
        && grep -qx "CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=$EMULATOR" "$cache"
}

if ! configured; then
    mkdir -p "$BUILD_DIR"
    echo "build: configuring $BUILD_DIR" >&2
    if ! cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR:STRING="$EMULATOR" >"$BUILD_DIR/configure.log" 2>&1; then
        cat "$BUILD_DIR/configure.log" >&2
        echo "build: configuring failed (log: $BUILD_DIR/configure.log)" >&2
        exit 1
    fi
fi

targets=()
for t in "$@"; do targets+=(--target "$t"); done
# Ninja's own progress lines are left out: what remains are the compiler's warnings and errors.
cmake --build "$BUILD_DIR" -j "$JOBS" "${targets[@]}" -- --quiet
