#!/usr/bin/env bash
# Runs one command inside a Wine session of its own:
#   tools/wine-session.sh CMD [ARGS...]        e.g. ctest ..., or a PROGRAM.exe directly
# The session is a fresh WINEPREFIX under the build tree (code page 932, the Japanese font
# replacements), one persistent wineserver, and a virtual X display when none is set (or VN_XVFB=1).
# Programs run in it with tools/wine-exec.sh. Everything is torn down on every exit path and the
# command's exit code is passed on.
#
# On a virtual display every window lives in a Wine desktop window: Wine then draws frames and
# captions itself and never waits on a window manager that is not there.
#
# Environment: VN_BUILD_DIR (default <repo>/build), VN_XVFB=1 (always use a virtual display),
# VN_XVFB_SCREEN (default 1280x1024x24), VN_DESKTOP=WxH or 0 (the Wine desktop's size, or none;
# default: the whole virtual screen, none on a display of your own), VN_KEEP_PREFIX=1 (leave the
# prefix for a look afterwards), VN_PREFIX=DIR (use DIR as the prefix, made on first use and kept:
# tools/start.sh keeps the user's settings there; one session at a time may use it).
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# A Windows program given directly runs through wine-exec.
case "$1" in
    *.exe|*.EXE) set -- bash "$ROOT/tools/wine-exec.sh" "$@" ;;
esac
BUILD_DIR=$(realpath -m "${VN_BUILD_DIR:-$ROOT/build}")
WINE_DIR=$BUILD_DIR/wine
SESSION_ID=$(date +%Y%m%d-%H%M%S)-$$
KEEP_PREFIX=${VN_KEEP_PREFIX:-}
if [ -n "${VN_PREFIX:-}" ]; then
    PREFIX=$(realpath -m "$VN_PREFIX")
    KEEP_PREFIX=1
else
    PREFIX=$WINE_DIR/prefix-$SESSION_ID
fi
SESSION_FILE=$WINE_DIR/session-$SESSION_ID.env

fail() { echo "wine-session: $*" >&2; exit 1; }

for tool in wine wineserver; do
    command -v "$tool" >/dev/null || fail "$tool not found: run tools/setup.sh"
done

# The locale has to come from the system's locale archive: a LOCPATH left over from another
# environment hides it, and a locale missing there drops Wine to code page 1252 without a word.
unset LOCPATH
if [ -n "$(LC_ALL=ja_JP.UTF-8 locale 2>&1 >/dev/null)" ] \
    || [ "$(LC_ALL=ja_JP.UTF-8 locale charmap 2>/dev/null)" != UTF-8 ]; then
    fail "the ja_JP.UTF-8 locale is not usable (locale -a: $(locale -a | tr '\n' ' ')): run tools/setup.sh"
fi
export LC_ALL=ja_JP.UTF-8
unset LANGUAGE

export WINEPREFIX=$PREFIX
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono/Gecko installer prompts, no menu entries written into the home folder.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
export VN_WINE_SESSION=$SESSION_ID

mkdir -p "$WINE_DIR"

# What sessions that are gone (their script's pid no longer runs) left behind: a session killed
# outright could not tidy up, and may even have left its wineserver running.
for old in "$WINE_DIR"/prefix-* "$WINE_DIR"/session-* "$WINE_DIR"/xvfb-*; do
    [ -e "$old" ] || continue
    pid=${old##*-}
    pid=${pid%%.*}
    case "$pid" in *[!0-9]*|"") continue ;; esac
    kill -0 "$pid" 2>/dev/null && continue
    if [ -d "$old" ]; then
        WINEPREFIX=$old wineserver -k >/dev/null 2>&1 || true
    fi
    xpid=$(sed -n 's/^XVFB_PID=//p' "$old" 2>/dev/null) || true
    if [ -n "$xpid" ] && [ "$(cat "/proc/$xpid/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$xpid" 2>/dev/null || true
    fi
    rm -rf "$old"
done

XVFB_PID=""
SERVER_STARTED=""
cleanup()
{
    local rc=$?
    trap - EXIT INT TERM HUP
    if [ -n "$SERVER_STARTED" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -f "$SESSION_FILE"
    if [ -z "$KEEP_PREFIX" ]; then
        rm -rf "$PREFIX"
    fi
    exit "$rc"
}
on_signal()
{
    [ -n "$CHILD_PID" ] && kill -TERM "$CHILD_PID" 2>/dev/null
    exit "$1"
}
CHILD_PID=""
trap cleanup EXIT
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP

# A virtual display; Xvfb picks a free display number itself and reports it once it accepts clients.
if [ -z "${DISPLAY:-}" ] || [ "${VN_XVFB:-}" = 1 ]; then
    command -v Xvfb >/dev/null || fail "Xvfb not found: run tools/setup.sh"
    fdfile=$WINE_DIR/xvfb-$SESSION_ID.display
    : >"$fdfile"
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 "${VN_XVFB_SCREEN:-1280x1024x24}" \
        3>"$fdfile" </dev/null >/dev/null 2>"$WINE_DIR/xvfb-$SESSION_ID.log" &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    display=$(tr -dc 0-9 <"$fdfile")
    rm -f "$fdfile"
    if [ -z "$display" ]; then
        cat "$WINE_DIR/xvfb-$SESSION_ID.log" >&2 || true
        fail "Xvfb did not start"
    fi
    rm -f "$WINE_DIR/xvfb-$SESSION_ID.log"
    export DISPLAY=:$display
    screen=${VN_XVFB_SCREEN:-1280x1024x24}
    DESKTOP=${VN_DESKTOP:-${screen%x*}}
fi
DESKTOP=${DESKTOP:-${VN_DESKTOP:-0}}

# Where tools/screenshot.sh finds the display of a running session.
printf 'DISPLAY=%s\nWINEPREFIX=%s\nXVFB_PID=%s\n' "$DISPLAY" "$WINEPREFIX" "$XVFB_PID" >"$SESSION_FILE"

# One persistent wineserver for the whole session; `wineserver -p` returns once it accepts clients.
# Its streams are detached, and so are wineboot's (the services it leaves running would inherit
# them): anything holding the caller's pipe open makes ctest wait forever.
mkdir -p "$PREFIX"
# A kept prefix serves one session at a time: a second one would share, then kill, its wineserver.
# The lock lasts as long as this script and what it started (they inherit the descriptor).
if [ -n "${VN_PREFIX:-}" ]; then
    exec 9>"$PREFIX.lock"
    flock -n 9 || fail "$PREFIX is in use by another session (the editor is already running there)"
fi
SERVER_STARTED=1
wineserver -p </dev/null >/dev/null 2>&1 || fail "wineserver -p did not start"
if [ -f "$PREFIX/system.reg" ]; then
    wineboot </dev/null >/dev/null 2>&1 || fail "wineboot failed for $PREFIX"
else
    wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot -i failed for $PREFIX"
fi

# This Wine build looks for its own fonts only in the prefix; without Marlett, caption buttons and
# the glyphs of standard controls come out as letters.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    ln -sf /usr/share/wine/fonts/marlett.ttf "$PREFIX/drive_c/windows/Fonts/marlett.ttf"
fi

# Programs ask for the usual Windows Japanese faces by name; the IPA fonts stand in for them.
# The same file switches off the crash dialog and names the desktop; the check reads back the fonts.
replacements=(
    "ＭＳ ゴシック=IPAGothic"
    "ＭＳ Ｐゴシック=IPAPGothic"
    "ＭＳ 明朝=IPAMincho"
    "MS Gothic=IPAGothic"
)
regfile=$PREFIX/vn-fonts.reg
exported=$PREFIX/vn-fonts-check.reg
{
    printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for r in "${replacements[@]}"; do printf '"%s"="%s"\r\n' "${r%%=*}" "${r#*=}"; done
    # A crashing program prints its backtrace and ends instead of waiting on a dialog nobody sees.
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
    if [ "$DESKTOP" != 0 ]; then
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Varnolet"\r\n'
        printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Varnolet"="%s"\r\n' "$DESKTOP"
    fi
} | iconv -f UTF-8 -t UTF-16LE >"$regfile"
wine regedit /S "Z:${regfile//\//\\}" </dev/null >/dev/null 2>&1 || fail "regedit could not import $regfile"
wine regedit /E "Z:${exported//\//\\}" 'HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements' \
    </dev/null >/dev/null 2>&1 || fail "regedit could not export the font replacements"
stored=$(iconv -f UTF-16 -t UTF-8 "$exported" | tr -d '\r')
for r in "${replacements[@]}"; do
    grep -qxF "\"${r%%=*}\"=\"${r#*=}\"" <<<"$stored" \
        || fail "the font replacement ${r%%=*} -> ${r#*=} is missing from the prefix's registry"
done
rm -f "$regfile" "$exported"

# The desktop is started here, detached, and waited for: left to the first program that needs it,
# it would be started with that program's stderr, which is ctest's pipe.
if [ "$DESKTOP" != 0 ]; then
    command -v xwininfo >/dev/null || fail "xwininfo not found: run tools/setup.sh"
    desktop_up()
    {
        local windows
        windows=$(xwininfo -root -children 2>/dev/null) || return 1
        grep -qF '"Varnolet - Wine desktop"' <<<"$windows"
    }
    wine explorer "/desktop=Varnolet,$DESKTOP" </dev/null >/dev/null 2>&1 &
    for _ in $(seq 1 200); do
        desktop_up && break
        sleep 0.1
    done
    desktop_up || fail "the Wine desktop window did not appear on $DISPLAY"
    # The first program on a new desktop waits a few seconds for it to settle; let that be this one.
    wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 \
        || fail "no program runs on the Wine desktop"
fi

# In the background so that a signal to this script is handled at once; stdin stays the caller's.
"$@" <&0 &
CHILD_PID=$!
set +e
wait "$CHILD_PID"
rc=$?
set -e
CHILD_PID=""
exit "$rc"
