#!/usr/bin/env bash
# The document's table in one run: every row as now (the editor control), the floor program doing
# the least the same work needs, and their ratio:
#   bench/doc_bench.sh
# Builds doc_bench, writes the files (100 MB of Shift-JIS text, 100 MB of very short lines, a big
# text when the disk has room), runs each case as a program of its own (each peak working set is
# that case's own) in one Wine session, prints the table and removes the files.
#
# Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh); VN_DOC_RUNS (times are the best of this
# many runs, default 5; the big file is opened once); VN_DOC_BIG_MB (the big text, default 800; 0
# skips it); VN_DOC_TYPE (keystrokes typed into the paragraph, default 10000); VN_DOC_PAGES (pages
# down from the top and again from the middle, default 300); VN_DOC_DIR (where the files go,
# default ${TMPDIR:-/tmp}/vn-doc-bench); VN_DOC_TIMEOUT (seconds one case may take, default 900).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
DIR=$(realpath -m "${VN_DOC_DIR:-${TMPDIR:-/tmp}/vn-doc-bench}")
RUNS=${VN_DOC_RUNS:-5}
BIG=${VN_DOC_BIG_MB:-800}
TYPE=${VN_DOC_TYPE:-10000}
PAGES=${VN_DOC_PAGES:-300}
LIMIT=${VN_DOC_TIMEOUT:-900}
for v in "$RUNS" "$TYPE" "$PAGES" "$LIMIT"; do
    case "$v" in ''|*[!0-9]*|0) echo "doc_bench: VN_DOC_RUNS, VN_DOC_TYPE, VN_DOC_PAGES and VN_DOC_TIMEOUT are counts" >&2; exit 2 ;; esac
done
case "$BIG" in ''|*[!0-9]*) echo "doc_bench: VN_DOC_BIG_MB must be a count of megabytes" >&2; exit 2 ;; esac

bash "$ROOT/tools/build.sh" doc_bench
exe=$BUILD_DIR/bench/doc_bench.exe
[ -f "$exe" ] || { echo "doc_bench: $exe was not built" >&2; exit 1; }

mkdir -p "$DIR"
OUT=$DIR/out
rm -rf "$OUT"
mkdir -p "$OUT"
trap 'rm -rf "$DIR"' EXIT

# The big text only when it leaves room: it and 1 GB beside it.
bignote=""
if [ "$BIG" -gt 0 ]; then
    free_mb=$(df -Pm "$DIR" | awk 'NR == 2 { print $4 }')
    if [ "$free_mb" -lt $((BIG + 1024)) ]; then
        bignote="skipped: ${free_mb} MB free on $(df -P "$DIR" | awk 'NR == 2 { print $6 }'), ${BIG} MB file"
        BIG=0
    fi
else
    bignote="skipped (VN_DOC_BIG_MB=0)"
fi

win() { printf 'Z:%s' "${1//\//\\}"; }
echo "doc_bench: running under Wine (files in $DIR, best of $RUNS)" >&2
bash "$ROOT/tools/wine-session.sh" bash -c '
    exec_=$1 exe=$2 out=$3 runs=$4 big=$5 type=$6 pages=$7 limit=$8 text=$9 short=${10} bigf=${11}
    # One case: its output to a file of its own; a crash or a hang shows as its exit code.
    run() { local name=$1; shift; timeout "$limit" bash "$exec_" "$exe" "$@" >"$out/$name" 2>&1; echo "rc=$?" >>"$out/$name"; }
    bash "$exec_" "$exe" make-text "$text" 100 || exit 1
    bash "$exec_" "$exe" make-short "$short" 100 || exit 1
    run open-fold open "$text" fold "$runs"
    run open-nofold open "$text" nofold "$runs"
    run floor-text floor "$text" "$runs"
    run open-short open "$short" fold "$runs"
    run floor-short floor "$short" "$runs"
    if [ "$big" -gt 0 ]; then
        bash "$exec_" "$exe" make-text "$bigf" "$big" || exit 1
        run open-big open "$bigf" fold 1
        run floor-big floor "$bigf" 1
    fi
    run key key "$runs"
    run type type "$type"
    run page page "$text" "$pages"
    ' _ "$ROOT/tools/wine-exec.sh" "$exe" "$OUT" "$RUNS" "$BIG" "$TYPE" "$PAGES" "$LIMIT" \
    "$(win "$DIR/text100.txt")" "$(win "$DIR/short100.txt")" "$(win "$DIR/big.txt")"

# field CASE NAME: the value of NAME= on the case's result line (fail= takes the rest of the line).
field() {
    [ -f "$OUT/$1" ] || return 0
    tr -d '\r' <"$OUT/$1" | awk -v k="$2" '/^@ / {
        for (i = 2; i <= NF; ++i) {
            if (k == "fail" && index($i, "fail=") == 1) { s = substr($0, index($0, "fail=") + 5); print s; exit }
            if (index($i, k "=") == 1) { print substr($i, length(k) + 2); exit }
        } }'
}
keyfield() { tr -d '\r' <"$OUT/key" 2>/dev/null | awk -v key="$1" -v k="$2" '$2 == "key=" key {
        for (i = 3; i <= NF; ++i) if (index($i, k "=") == 1) print substr($i, length(k) + 2) }'; }
rc() { tr -d '\r' <"$OUT/$1" 2>/dev/null | sed -n 's/^rc=//p' | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "" || b + 0 == 0) print "—"; else printf "%.1f×", a / b }'; }
secs() { awk -v ms="$1" 'BEGIN { printf "%.2f s", ms / 1000 }'; }
# now-cell for an open: time and peak, or why it failed.
opened() {
    local fail ms
    fail=$(field "$1" fail)
    ms=$(field "$1" ms)
    if [ -n "$fail" ]; then
        echo "fails: $fail after $(secs "$(field "$1" after)") at $(field "$1" peak) MB"
    elif [ -n "$ms" ]; then
        echo "$(secs "$ms"), $(field "$1" peak) MB, $(field "$1" rows) rows"
    else
        echo "fails: exit code $(rc "$1")$([ "$(rc "$1")" = 124 ] && echo " (timed out after $LIMIT s)")"
    fi
}
floored() {
    if [ -n "$(field "$1" ms)" ]; then
        echo "$(secs "$(field "$1" ms)"), $(field "$1" peak) MB"
    else
        echo "fails: $(field "$1" fail) (exit code $(rc "$1"))"
    fi
}
ratios() {
    if [ -n "$(field "$1" fail)" ] || [ -z "$(field "$1" ms)" ]; then echo "—"; return; fi
    echo "$(ratio "$(field "$1" ms)" "$(field "$2" ms)"), $(ratio "$(field "$1" peak)" "$(field "$2" peak)")"
}

echo
echo "Best of $RUNS runs (the big file once); peak is the peak working set; the floor reads in 4 MB blocks,"
echo "splits lines and keeps one 8-byte record per line; its re-split cuts the paragraph anew at 60 columns."
echo
echo "| work | now | floor | now ÷ floor |"
echo "|---|---|---|---|"
echo "| open 100 MB Shift-JIS, folding at 60 | $(opened open-fold) | $(floored floor-text) | $(ratios open-fold floor-text) |"
echo "| open 100 MB, no folding | $(opened open-nofold) | $(floored floor-text) | $(ratios open-nofold floor-text) |"
echo "| open 100 MB of very short lines ($(field floor-short rows) lines), folding at 60 | $(opened open-short) | $(floored floor-short) | $(ratios open-short floor-short) |"
if [ "$BIG" -gt 0 ]; then
    echo "| open $BIG MB of text, folding at 60 (once) | $(opened open-big) | $(floored floor-big) | $(ratios open-big floor-big) |"
else
    echo "| open 500–800 MB of text | $bignote | — | — |"
fi
for k in a kana; do
    ms=$(keyfield "$k" ms)
    fl=$(keyfield "$k" floor)
    if [ -n "$ms" ]; then
        now="$ms ms; $(keyfield "$k" records) undo records, $(keyfield "$k" undo) MB"
        echo "| keystroke ('$k') at the start of a $(keyfield "$k" floorrows)-piece paragraph where every piece changes | $now | $fl ms (re-split) | $(ratio "$ms" "$fl") |"
        echo "| the same keystroke again after undoing it | $(keyfield "$k" again) ms | $fl ms | $(ratio "$(keyfield "$k" again)" "$fl") |"
    else
        echo "| keystroke ('$k') at the start of a 10,000-piece paragraph | fails: exit code $(rc key) | — | — |"
    fi
done
if [ -n "$(field type typed)" ]; then
    echo "| typing there, $TYPE keystrokes asked ('a' and kana in turn) | $(field type typed) typed ($(field type stop)), $(field type per) ms each, +$(field type grew) MB, peak $(field type peak) MB, $(field type records) undo records | — | — |"
else
    echo "| typing there, $TYPE keystrokes asked | fails: exit code $(rc type) | — | — |"
fi
if [ -n "$(field page rate)" ]; then
    echo "| page down through 100 MB ($(field page rows) rows, $(field page pages) pages from the top and the middle) | $(field page rate) pages/s | — | — |"
    echo "| keystroke at the top of 100 MB | $(field page key) ms | — | — |"
else
    echo "| page down through 100 MB | fails: exit code $(rc page) | — | — |"
fi
