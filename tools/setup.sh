#!/usr/bin/env bash
# Installs what a fresh Debian (bookworm) machine lacks to build and test Varnolet.
# Prints nothing when everything is present; needs root (or sudo) only when something is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

log() { echo "setup: $*" >&2; }
NEED_UPDATE=""

# The 32-bit Wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    NEED_UPDATE=1
fi

# The build fetches libjpeg-turbo with apt-get source, which needs a deb-src entry.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    log "adding a deb-src entry"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
            | $SUDO tee -a /etc/apt/sources.list >/dev/null
    fi
    NEED_UPDATE=1
fi

# python3: the build generates the resources with it. fonts-wine: Marlett, which Wine draws caption
# buttons and control glyphs with. x11-utils: xwininfo, to see the Wine desktop appear. x11-apps
# and imagemagick: screenshots. xdotool: keys and clicks when trying the program by hand. g++: the native sanitizer tests (its libasan and libubsan come along).
# fp-utils-3.2.2: chmcmd, the compiler of the help file.
packages=(cmake ninja-build dpkg-dev python3 g++ g++-mingw-w64-i686-posix mingw-w64-i686-dev
          wine wine32:i386 fonts-wine xvfb xauth locales fonts-ipafont-gothic fonts-ipafont-mincho
          googletest x11-utils x11-apps imagemagick xdotool fp-utils-3.2.2)
installed=$(dpkg-query -W -f='${Package}:${Architecture} ${Status}\n' "${packages[@]%%:*}" 2>/dev/null \
            | awk '/ install ok installed$/ {print $1}') || true
need_pkgs=()
for p in "${packages[@]}"; do
    case "$p" in
        *:*) grep -qx "$p" <<<"$installed" || need_pkgs+=("$p") ;;
        *) grep -q "^$p:" <<<"$installed" || need_pkgs+=("$p") ;;
    esac
done

# Package lists without the source entries (a fresh image often ships none) make apt-get source fail.
if [ -z "$NEED_UPDATE" ] && ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:'; then
    NEED_UPDATE=1
fi

if [ ${#need_pkgs[@]} -gt 0 ] || [ -n "$NEED_UPDATE" ]; then
    log "updating the package lists"
    $SUDO apt-get update -qq >/dev/null
fi
if [ ${#need_pkgs[@]} -gt 0 ]; then
    log "installing: ${need_pkgs[*]}"
    $SUDO apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" </dev/null >/dev/null
fi

# ja_JP.UTF-8 gives Wine the ANSI code page 932. It goes into the system's locale archive, which
# is where every program (the 32-bit Wine included) looks unless LOCPATH says otherwise.
# --keep-existing: a plain locale-gen deletes the archive first, and every program started while
# it rebuilds finds no locale at all ("setlocale: LC_ALL: cannot change locale").
if ! (unset LOCPATH; locale -a 2>/dev/null) | grep -qix 'ja_JP\.utf-\?8'; then
    log "generating the ja_JP.UTF-8 locale"
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
        echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen --keep-existing >/dev/null
fi
