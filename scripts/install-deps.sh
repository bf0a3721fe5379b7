#!/usr/bin/env bash
# Installs everything the project needs from Debian's packages.
#   scripts/install-deps.sh          native build, tests and tools, and what
#                                    scripts/check.sh needs: the linters
#                                    (shellcheck, flake8, eslint), Node.js and the
#                                    web page's packages (npm ci from web/package-lock.json)
#   scripts/install-deps.sh --all    also the Windows cross compilers, wine, Xvfb,
#                                    clang for the fuzzers, the screenshot tools,
#                                    the release tools (NSIS, zip, lintian),
#                                    emscripten and Chromium for the web page,
#                                    Krita with its Python (the plug-in's tests),
#                                    psd-tools and GIMP (readers of the layered results)
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    libgtest-dev
    libboost-thread-dev libboost-date-time-dev
    libpng-dev libtiff-dev libdeflate-dev libcli11-dev
    python3
    shellcheck flake8
)
# Any Node.js of 18 or later serves; Debian's only when there is none.
command -v npm >/dev/null || packages+=(nodejs npm)
if [[ "${1:-}" == "--all" ]]; then
    packages+=(
        g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
        wine64 xvfb imagemagick xdotool python3-pil python3-numpy python3-scipy gmic
        clang libclang-rt-14-dev llvm
        dpkg-dev
        nsis zip unzip lintian man-db
        emscripten chromium
        krita python3-pyqt5
        python3-psd-tools gimp
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The web page's tools, linter and test helpers, pinned by the lock file; the
# page's tests drive Debian's Chromium.
cd "$(dirname "$0")/.."
source scripts/lib/web-packages.sh
web_packages
