#!/usr/bin/env bash
# The benches that have a floor in one table, what the user waits for beside that floor from the
# same run:
#   bench/run_all.sh
# Builds the bench programs, writes the text files, runs each case as a program of its own in one
# Wine session (on a virtual display unless DISPLAY is set), then the bench scripts that print a
# table of their own (file search, saving, the document, opening), and prints one table:
# work | now | floor | now ÷ floor | target.
#
# Adding a row: have a bench program print it with PrintRow (bench/BenchUtil.h): a line "@row", then
# work, now, floor, ratio and target, separated by tabs. Add the program's build target to TARGETS
# and one `run NAME PROGRAM ARGS...` line to the case list in the session below; any file it needs
# is made there first. A case that crashes, hangs or prints no row shows as a failed row. A bench
# with a script of its own that prints such a table goes into SCRIPTS instead.
#
# Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh); VN_BENCH_RUNS (times are the best of this
# many runs, default 3); VN_BENCH_TIMEOUT (seconds one case may take, default 900); VN_BENCH_DIR
# (where the files go, default ${TMPDIR:-/tmp}/vn-bench); VN_BENCH_SCRIPTS (the scripts whose
# tables join, default all of SCRIPTS; empty: none; each has settings of its own, see the script);
# VN_BENCH_ONLY (a pattern: only the cases whose names match it run, and no script).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
DIR=$(realpath -m "${VN_BENCH_DIR:-${TMPDIR:-/tmp}/vn-bench}")
RUNS=${VN_BENCH_RUNS:-3}
LIMIT=${VN_BENCH_TIMEOUT:-900}
SCRIPTS=(grep_bench.sh save_bench.sh doc_bench.sh open_bench.sh)
read -r -a SCRIPTS <<<"${VN_BENCH_SCRIPTS-${SCRIPTS[*]}}"
ONLY=${VN_BENCH_ONLY:-}
for v in "$RUNS" "$LIMIT"; do
    case "$v" in ''|*[!0-9]*|0) echo "run_all: VN_BENCH_RUNS and VN_BENCH_TIMEOUT are counts" >&2; exit 2 ;; esac
done

TARGETS=(user_path_bench doc_bench)
bash "$ROOT/tools/build.sh" "${TARGETS[@]}"

mkdir -p "$DIR"
OUT=$DIR/out
rm -rf "$OUT"
mkdir -p "$OUT"
trap 'rm -rf "$DIR"' EXIT

win() { printf 'Z:%s' "${1//\//\\}"; }
echo "run_all: running under Wine (files in $DIR, best of $RUNS)" >&2
bash "$ROOT/tools/wine-session.sh" bash -c '
    exec_=$1 bench=$2 out=$3 runs=$4 limit=$5 dir=$6 only=$7
    n=0
    # One case: its output to a file of its own, named in the order the cases run; a crash or a
    # hang shows as its exit code.
    run() {
        local name=$1 program=$2; shift 2
        n=$((n + 1))
        [ -z "$only" ] || [[ "$name" == *$only* ]] || return 0
        local file
        file=$out/$(printf "%03d" "$n")-$name
        echo "run_all: $name" >&2
        timeout "$limit" bash "$exec_" "$bench/$program.exe" "$@" >"$file" 2>&1
        echo "rc=$?" >>"$file"
    }
    make() { bash "$exec_" "$bench/user_path_bench.exe" make "$@" >/dev/null || exit 1; }

    make "$dir\\t20.txt" 20 needle 12365 LASTROWMARK
    make "$dir\\t50.txt" 50 qz 1000000 LASTROWMARK
    make "$dir\\t100.txt" 100 needle 10 LASTROWMARK
    run replace-20mb user_path_bench replace "$dir\\t20.txt" needle "NEEDLE!" "$runs"
    run replace-50mb user_path_bench replace "$dir\\t50.txt" qz "yyy" "$runs"
    run find-100mb user_path_bench find "$dir\\t100.txt" LASTROWMARK "$runs"
    run keystroke doc_bench pagekey "$runs"
    ' _ "$ROOT/tools/wine-exec.sh" "$(win "$BUILD_DIR/bench")" "$OUT" "$RUNS" "$LIMIT" "$(win "$DIR")" "$ONLY"

# The rows of every case, in order; a case without a row is a failed row.
rows() {
    local f rc name
    for f in "$OUT"/*; do
        [ -f "$f" ] || continue
        name=${f##*/}
        name=${name#*-}
        if grep -q '^@row' "$f"; then
            tr -d '\r' <"$f" | awk -F '\t' '$1 == "@row" {
                ratio = $5 + 0 > 0 ? sprintf("%.2f×", $5) : "—"
                target = $6 + 0 > 0 ? sprintf("≤ %g×", $6) : "—"
                if ($6 + 0 > 0 && $5 + 0 > $6 + 0) target = target " (missed)"
                printf "| %s | %s | %s | %s | %s |\n", $2, $3, $4, ratio, target }'
        fi
        rc=$(tr -d '\r' <"$f" | sed -n 's/^rc=//p' | tail -1)
        if [ "$rc" != 0 ]; then
            why="exit code $rc"
            [ "$rc" = 124 ] && why="timed out after $LIMIT s"
            echo "| $name | fails: $why | — | — | — |"
        fi
    done
}

table=$(rows)
# The tables the scripts print (a table without a target column gets one).
if [ -z "$ONLY" ]; then
    for script in ${SCRIPTS[@]+"${SCRIPTS[@]}"}; do
        echo "run_all: $script" >&2
        part=$(VN_BUILD_DIR=$BUILD_DIR bash "$ROOT/bench/$script" 2>/dev/null | awk -F '|' '
            /^\| work/ || /^\|---/ { next }
            /^\|/ { if (NF == 6) printf "|%s|%s|%s|%s| — |\n", $2, $3, $4, $5; else print }') || true
        [ -n "$part" ] || part="| ${script%.sh} | fails: bench/$script printed no table | — | — | — |"
        table+=$'\n'"$part"
    done
fi

echo
echo "Each case the best of $RUNS runs, what the user waits for in the shown main window up to the repaint;"
echo "the scripts' rows as those scripts measure them."
echo
echo "| work | now | floor | now ÷ floor | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "$table"
