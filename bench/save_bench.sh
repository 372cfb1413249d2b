#!/usr/bin/env bash
# Saving as File > Save does it (the backup on, as by default) beside its floor, 10 MB and 100 MB:
#   bench/save_bench.sh
# Builds save_bench, writes the texts, runs each size as a program of its own in one Wine session
# (the save and the floor take turns, best of VN_SAVE_RUNS, default 3) and prints the table rows.
# Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh); VN_SAVE_RUNS; VN_SAVE_DIR (where the
# files go, default ${TMPDIR:-/tmp}/vn-save-bench).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
DIR=$(realpath -m "${VN_SAVE_DIR:-${TMPDIR:-/tmp}/vn-save-bench}")
RUNS=${VN_SAVE_RUNS:-3}
case "$RUNS" in ''|*[!0-9]*|0) echo "save_bench: VN_SAVE_RUNS must be a count" >&2; exit 2 ;; esac

bash "$ROOT/tools/build.sh" save_bench
exe=$BUILD_DIR/bench/save_bench.exe
[ -f "$exe" ] || { echo "save_bench: $exe was not built" >&2; exit 1; }
mkdir -p "$DIR"
out=$DIR/out
trap 'rm -rf "$DIR"' EXIT

win() { printf 'Z:%s' "${1//\//\\}"; }
echo "save_bench: running under Wine (files in $DIR, best of $RUNS)" >&2
bash "$ROOT/tools/wine-session.sh" bash -c '
    exec_=$1 exe=$2 runs=$3 small=$4 big=$5
    bash "$exec_" "$exe" make "$small" 10 || exit 1
    bash "$exec_" "$exe" make "$big" 100 || exit 1
    bash "$exec_" "$exe" save "$small" "$runs"
    bash "$exec_" "$exe" save "$big" "$runs"
    ' _ "$ROOT/tools/wine-exec.sh" "$exe" "$RUNS" "$(win "$DIR/t10.txt")" "$(win "$DIR/t100.txt")" >"$out" || true

tr -d '\r' <"$out" | grep '^#' || true
echo
echo "| work | now | floor | now ÷ floor | target |"
echo "|---|---|---|---|---|"
tr -d '\r' <"$out" | awk -F '\t' '$1 == "@row" {
    target = $6 + 0 > 0 ? sprintf("≤ %g×", $6) : "—"
    if ($6 + 0 > 0 && $5 + 0 > $6 + 0) target = target " (missed)"
    printf "| %s | %s | %s | %.2f× | %s |\n", $2, $3, $4, $5, target }'
