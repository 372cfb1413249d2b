#!/usr/bin/env bash
# Builds the units that need no Windows with the host compiler, AddressSanitizer and UBSan, and runs
# their tests (the regular-expression engine and its fuzz test, the editor's document and its model
# check of a million random edits):
#   tools/test-native.sh [GTEST-ARGS...]      e.g. tools/test-native.sh --gtest_filter='TRegexpFuzz.*'
# Exits with the test program's code; any sanitizer report fails it.
# Environment: VN_BUILD_DIR (the program is built in its native/ folder; default <repo>/build),
# VN_JOBS (default: number of cores), VN_FUZZ_SEED (another seed for the fuzz test), VN_DOC_EDITS and
# VN_DOC_SEED (the document model check's edit count and first episode).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")/native
JOBS=${VN_JOBS:-$(nproc)}
SOURCE_DIR=$ROOT/tests/native

bash "$ROOT/tools/setup.sh"

if ! { [ -f "$BUILD_DIR/build.ninja" ] && grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$SOURCE_DIR" \
        "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; }; then
    mkdir -p "$BUILD_DIR"
    echo "test-native: configuring $BUILD_DIR" >&2
    if ! cmake -S "$SOURCE_DIR" -B "$BUILD_DIR" -G Ninja >"$BUILD_DIR/configure.log" 2>&1; then
        cat "$BUILD_DIR/configure.log" >&2
        echo "test-native: configuring failed (log: $BUILD_DIR/configure.log)" >&2
        exit 1
    fi
fi
cmake --build "$BUILD_DIR" -j "$JOBS" -- --quiet

export ASAN_OPTIONS=${ASAN_OPTIONS:-strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The tests have no clock in them; this only turns a hang into a failure instead of a stuck run.
rc=0
timeout 600 "$BUILD_DIR/native_tests" --gtest_brief=1 "$@" || rc=$?
if [ "$rc" = 124 ]; then
    echo "test-native: the tests did not finish within 600 s" >&2
fi
exit "$rc"
