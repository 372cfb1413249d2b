#!/usr/bin/env bash
# Installs what a fresh Debian (bookworm) machine lacks to build and test Varnolet.
# Quiet when everything is present. Needs root (or sudo) only when something is missing.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

log() { echo "setup: $*" >&2; }

need_pkgs=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# i386 architecture for the 32-bit Wine.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    NEED_UPDATE=1
fi

# apt-get source needs a deb-src entry.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    log "adding a deb-src entry"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee -a /etc/apt/sources.list >/dev/null
    fi
    NEED_UPDATE=1
fi

for p in cmake ninja-build g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 xvfb xauth \
         locales fonts-ipafont-gothic fonts-ipafont-mincho googletest dpkg-dev nasm x11-apps imagemagick; do
    have_pkg "$p" || need_pkgs+=("$p")
done

if [ ${#need_pkgs[@]} -gt 0 ] || [ -n "${NEED_UPDATE:-}" ]; then
    log "installing: ${need_pkgs[*]:-(none)}"
    $SUDO apt-get update -qq
    if [ ${#need_pkgs[@]} -gt 0 ]; then
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need_pkgs[@]}" >/dev/null
    fi
fi

# The posix-thread flavour of the cross compiler (std::thread, std::mutex).
if [ "$(readlink -f "$(command -v i686-w64-mingw32-g++)")" != "$(readlink -f /usr/bin/i686-w64-mingw32-g++-posix)" ]; then
    $SUDO update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-posix >/dev/null 2>&1 || true
    $SUDO update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi

# ja_JP.UTF-8 gives Wine the ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    log "generating the ja_JP.UTF-8 locale"
    $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi
