#!/usr/bin/env bash
# Runs one Windows program in the current Wine session (ctest's CMAKE_CROSSCOMPILING_EMULATOR):
#   tools/wine-exec.sh PROGRAM.exe [ARGS...]
if [ -z "${VN_WINE_SESSION:-}" ] || [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
    echo "wine-exec: no Wine session; run this inside tools/wine-session.sh (tools/test.sh does)," >&2
    echo "  e.g. tools/wine-session.sh tools/wine-exec.sh build/tests/platform_tests.exe" >&2
    exit 125
fi
exec wine "$@"
