#!/usr/bin/env bash
# Builds everything and runs every test under Wine, each program in the same fresh session, after the
# native sanitizer tests (tools/test-native.sh):
#   tools/test.sh [CTEST-ARGS...]      e.g. tools/test.sh -R platform
# Exits with ctest's code, or the native tests' when only they failed. Environment: VN_BUILD_DIR,
# VN_JOBS (see tools/build.sh).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
JOBS=${VN_JOBS:-$(nproc)}

bash "$ROOT/tools/build.sh"
# The tests run in fresh prefixes, never in the editor user's kept one.
unset VN_PREFIX
native=0
bash "$ROOT/tools/test-native.sh" || native=$?
rc=0
bash "$ROOT/tools/wine-session.sh" \
    ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j "$JOBS" "$@" || rc=$?
if [ "$native" != 0 ]; then
    echo "test: the native tests failed (tools/test-native.sh)" >&2
    if [ "$rc" = 0 ]; then rc=$native; fi
fi
exit "$rc"
