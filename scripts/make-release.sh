#!/usr/bin/env bash
# Everything a release ships, into dist/:
#   x64/Vandrel Pro.8bf, x86/Vandrel Pro.8bf   the bare plug-ins (scripts/make-dist.sh)
#   VandrelPro-VERSION-windows.zip            both plug-ins and ReadMe.txt
#   VandrelPro-VERSION-setup.exe              the Windows installer
#   vandrel_VERSION_ARCH.deb                  the command-line tool for Debian
#   VandrelPro-VERSION-krita.zip              Krita's plug-in, both native libraries inside
#   SHA256SUMS                                the checksum of every file above
# Builds what is missing: both Windows presets and the package's own build
# (scripts/install-deps.sh --all installs what it needs). The tests are
# scripts/test-windows-release.sh and scripts/test-deb.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
stage() { printf '\n==== %s ====\n' "$*"; }

stage "Windows plug-ins"
scripts/build-boost-mingw.sh
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
scripts/make-dist.sh

stage "Windows zip and installer"
scripts/make-windows-release.sh

stage "Debian package"
scripts/make-deb.sh

stage "Krita plug-in"
scripts/make-krita-plugin.sh

stage "SHA256SUMS"
# Every file a user may download, with the paths they are published under.
# Listed in full before the list is written, so it never lists itself.
sums=$(cd dist && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    while IFS= read -r file; do sha256sum -- "$file"; done)
printf '%s\n' "$sums" >dist/SHA256SUMS
cat dist/SHA256SUMS
