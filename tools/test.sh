#!/usr/bin/env bash
# Builds everything and runs every test under Wine, each program in the same fresh session:
#   tools/test.sh [CTEST-ARGS...]      e.g. tools/test.sh -R platform
# Exits with ctest's code. Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
JOBS=${VN_JOBS:-$(nproc)}

bash "$ROOT/tools/build.sh"
exec bash "$ROOT/tools/wine-session.sh" \
    ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j "$JOBS" "$@"
