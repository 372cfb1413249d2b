#!/usr/bin/env bash
# The file search against its floor and GNU grep over the same generated Shift-JIS tree (2,000
# files, ~80 MB):
#   bench/grep_bench.sh
# Builds grep_bench, makes the tree (once; again when GrepTree.h changes), runs the search's cases
# under Wine (the search as the dialog starts it, listed in the results window, and the floor,
# GrepFloor.h, in the same process, taking turns), then grep on the same files, and prints per case
# the speeds, the time ratios to grep and to the floor and the hit counts. The last lines are the
# cases' table rows (work | now | floor | now ÷ floor | target).
#
# Counting: the search reports every hit in a line, left to right, without overlap; grep -o prints
# each such match on a line of its own, so both sides count matches (not lines). grep runs with
# LC_ALL=C: bytes are compared, as the search compares Shift-JIS bytes. The tree is written so that
# byte matching cannot go wrong there (see MakeLine in GrepBench.cpp): ASCII words never touch a
# double-byte character, so no ASCII match begins on a trail byte and grep -w's words are ours.
# Every side reads from the page cache (the tree is read once before any runs), and each case's
# time is the fastest of VN_GREP_RUNS runs on each side.
#
# Environment: VN_BUILD_DIR, VN_JOBS (see tools/build.sh); VN_GREP_TREE (where the tree is kept,
# default ${TMPDIR:-/tmp}/vn-grep-tree); VN_GREP_RUNS (default 3).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
BASE=$(realpath -m "${VN_GREP_TREE:-${TMPDIR:-/tmp}/vn-grep-tree}")
TREE=$BASE/tree
STAMP=$BASE/made-by
RUNS=${VN_GREP_RUNS:-3}
case "$RUNS" in ''|*[!0-9]*|0) echo "grep_bench: VN_GREP_RUNS must be a count" >&2; exit 2 ;; esac

bash "$ROOT/tools/build.sh" grep_bench
exe=$BUILD_DIR/bench/grep_bench.exe
[ -f "$exe" ] || { echo "grep_bench: $exe was not built" >&2; exit 1; }

# The tree depends only on the generator: its source's hash names the tree that is there.
want=$(sha1sum "$ROOT/bench/GrepTree.h" | cut -d' ' -f1)
make=0
if [ ! -d "$TREE" ] || [ "$(cat "$STAMP" 2>/dev/null)" != "$want" ]; then
    rm -rf "$TREE" "$STAMP"
    mkdir -p "$BASE"
    make=1
fi
wtree="Z:${TREE//\//\\}"

out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "grep_bench: running the search under Wine (tree $TREE)" >&2
bash "$ROOT/tools/wine-session.sh" bash -c '
    set -e
    exec_=$1 exe=$2 make=$3 wtree=$4 tree=$5 runs=$6
    if [ "$make" = 1 ]; then bash "$exec_" "$exe" --make "$wtree"; fi
    find "$tree" -type f -exec cat {} + >/dev/null
    # The search and the floor take turns in one process: both see the same load on the machine.
    bash "$exec_" "$exe" --runs "$runs" "$wtree"' \
    _ "$ROOT/tools/wine-exec.sh" "$exe" "$make" "$wtree" "$TREE" "$RUNS" >"$out"
[ "$make" = 1 ] && echo "$want" >"$STAMP"

sjis() { iconv -f CP932 -t UTF-8 <<<"$1" 2>/dev/null || printf '%s' "$1"; }
# Bytes from here on: patterns are Shift-JIS.
export LC_ALL=C

# The search's remarks first (the tree it made, anything that went wrong in a case), then the table.
while IFS= read -r raw; do
    line=${raw%$'\r'}
    case "$line" in "#"*) sjis "$line" ;; esac
done <"$out" | awk '!seen[$0]++'

find "$TREE" -type f -name '*.txt' -exec cat {} + >/dev/null
bytes=$(find "$TREE" -type f -name '*.txt' -printf '%s\n' | awk '{ s += $1 } END { print s }')
files=$(find "$TREE" -type f -name '*.txt' | wc -l)
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
echo "tree: $files files, $mb MB; grep: $(grep --version | head -1), LC_ALL=C, counting grep -o lines;" \
    "best of $RUNS runs"
printf '%-10s %-13s %9s %9s %9s %9s %9s %7s %7s %9s %9s %9s %-5s %s\n' case options "ours ms" "grep ms" \
    "floor ms" "ours MB/s" "grep MB/s" "/grep" "/floor" "our hits" "grep hits" "floor hits" agree pattern

bad=0
cases=0
while IFS= read -r raw; do
    line=${raw%$'\r'}
    case "$line" in
        "") continue ;;
        "#"*) continue ;;
        "@"*) continue ;;
    esac
    read -r name pattern opts _ _ ours_ms _ _ _ ours_hits _ floor_ms _ _ _ same <<<"$line"
    args=(-r --include='*.txt' -o)
    case ",$opts," in *,regex,*) args+=(-E) ;; *) args+=(-F) ;; esac
    case ",$opts," in *,nocase,*) args+=(-i) ;; esac
    case ",$opts," in *,word,*) args+=(-w) ;; esac
    best=""
    for _ in $(seq 1 "$RUNS"); do
        t0=$(date +%s%N)
        # grep exits 1 when it finds nothing: that is a count of 0, not a failure.
        grep_hits=$({ grep "${args[@]}" -e "$pattern" "$TREE" || [ $? -eq 1 ]; } | wc -l)
        t1=$(date +%s%N)
        ns=$((t1 - t0))
        if [ -z "$best" ] || [ "$ns" -lt "$best" ]; then best=$ns; fi
    done
    grep_ms=$(awk -v ns="$best" 'BEGIN { printf "%.1f", ns / 1e6 }')
    floor_hits=$ours_hits
    [ "$same" = same ] || floor_hits=-1
    agree=yes
    if [ "$grep_hits" != "$ours_hits" ] || [ "$floor_hits" != "$ours_hits" ]; then
        agree=NO
        bad=$((bad + 1))
    fi
    cases=$((cases + 1))
    awk -v n="$name" -v o="$opts" -v om="$ours_ms" -v gm="$grep_ms" -v fm="$floor_ms" -v mb="$mb" \
        -v oh="$ours_hits" -v gh="$grep_hits" -v fh="$floor_hits" -v ag="$agree" -v p="$(sjis "$pattern")" 'BEGIN {
            printf "%-10s %-13s %9.1f %9.1f %9.1f %9.1f %9.1f %7.2f %7.2f %9d %9d %9d %-5s %s\n", n, o, om, gm, fm,
                mb / (om / 1000), mb / (gm / 1000), om / gm, (fm > 0 ? om / fm : 0), oh, gh, fh, ag, p }'
    if [ "$floor_hits" != "$ours_hits" ]; then
        echo "           the floor found other hits (see the remarks above)"
    fi
    if [ "$grep_hits" != "$ours_hits" ]; then
        case ",$opts," in
            *,word,*) why="grep -w counts words next to double-byte characters or trail bytes; ours does not" ;;
            *,nocase,*) why="grep -i also folds trail bytes that look like ASCII letters; ours folds only letters" ;;
            *,regex,*) why="grep's '.' and sets take one byte, ours a whole character" ;;
            *) why="grep also matches from a trail byte or inside a double-byte character" ;;
        esac
        echo "           counts differ: grep ${args[*]} -e PATTERN; likely: $why"
    fi
done <"$out"

if [ "$cases" = 0 ]; then
    echo "grep_bench: the search printed no case" >&2
    exit 1
fi
echo "/grep = ours ms / grep ms, /floor = ours ms / floor ms; $((cases - bad)) of $cases cases agree on the hits"
echo
echo "| work | now | floor | now ÷ floor | target |"
echo "|---|---|---|---|---|"
tr -d '\r' <"$out" | awk -F '\t' '$1 == "@row" {
    target = $6 + 0 > 0 ? sprintf("≤ %g×", $6) : "—"
    if ($6 + 0 > 0 && $5 + 0 > $6 + 0) target = target " (missed)"
    printf "| %s | %s | %s | %.2f× | %s |\n", $2, $3, $4, $5, target }'
[ "$bad" = 0 ]
