#!/usr/bin/env bash
# Opening files as File > Open does, in the shown main window up to the first screen painted, beside
# its floor from the same run, and the most memory each open took:
#   bench/open_bench.sh
# Builds open_bench, writes the files (100 MB of Shift-JIS text, 100 MB of lines of 0 to 9 bytes,
# 64 MB of nothing but LF line ends, a row a byte), runs each case as a program of its own in one
# Wine session (each peak is that case's own; the open and the floor take turns, best of
# VN_OPEN_RUNS, default 3), prints the table rows and removes the files.
# Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh); VN_OPEN_RUNS; VN_OPEN_DIR (where the files
# go, default ${TMPDIR:-/tmp}/vn-open-bench); VN_OPEN_TIMEOUT (seconds one case may take, default 900).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
DIR=$(realpath -m "${VN_OPEN_DIR:-${TMPDIR:-/tmp}/vn-open-bench}")
RUNS=${VN_OPEN_RUNS:-3}
LIMIT=${VN_OPEN_TIMEOUT:-900}
for v in "$RUNS" "$LIMIT"; do
    case "$v" in ''|*[!0-9]*|0) echo "open_bench: VN_OPEN_RUNS and VN_OPEN_TIMEOUT are counts" >&2; exit 2 ;; esac
done

bash "$ROOT/tools/build.sh" open_bench
exe=$BUILD_DIR/bench/open_bench.exe
[ -f "$exe" ] || { echo "open_bench: $exe was not built" >&2; exit 1; }
mkdir -p "$DIR"
OUT=$DIR/out
rm -rf "$OUT"
mkdir -p "$OUT"
trap 'rm -rf "$DIR"' EXIT

win() { printf 'Z:%s' "${1//\//\\}"; }
echo "open_bench: running under Wine (files in $DIR, best of $RUNS)" >&2
bash "$ROOT/tools/wine-session.sh" bash -c '
    exec_=$1 exe=$2 out=$3 runs=$4 limit=$5 text=$6 short=$7 ends=$8
    run() { local name=$1; shift; timeout "$limit" bash "$exec_" "$exe" "$@" >"$out/$name" 2>&1; echo "rc=$?" >>"$out/$name"; }
    bash "$exec_" "$exe" make-text "$text" 100 || exit 1
    bash "$exec_" "$exe" make-short "$short" 100 || exit 1
    bash "$exec_" "$exe" make-ends "$ends" 64 || exit 1
    run 1-fold open "$text" fold "$runs" 2.5 2.5
    run 2-nofold open "$text" nofold "$runs" 1.5 0
    run 3-short open "$short" nofold "$runs" 0 5
    run 4-ends open "$ends" nofold 1 0 0
    ' _ "$ROOT/tools/wine-exec.sh" "$exe" "$OUT" "$RUNS" "$LIMIT" \
    "$(win "$DIR/text100.txt")" "$(win "$DIR/short100.txt")" "$(win "$DIR/ends64.txt")"

for f in "$OUT"/*; do
    tr -d '\r' <"$f" | grep '^#' || true
done
echo
echo "| work | now | floor | now ÷ floor | target |"
echo "|---|---|---|---|---|"
for f in "$OUT"/*; do
    if grep -q '^@row' "$f"; then
        tr -d '\r' <"$f" | awk -F '\t' '$1 == "@row" {
            target = $6 + 0 > 0 ? sprintf("≤ %g×", $6) : "—"
            if ($6 + 0 > 0 && $5 + 0 > $6 + 0) target = target " (missed)"
            printf "| %s | %s | %s | %.2f× | %s |\n", $2, $3, $4, $5, target }'
    else
        fail=$(tr -d '\r' <"$f" | sed -n 's/^@ .*fail=//p' | head -1)
        echo "| ${f##*/} | fails: ${fail:-exit code $(tr -d '\r' <"$f" | sed -n 's/^rc=//p' | tail -1)} | — | — | — |"
    fi
done
