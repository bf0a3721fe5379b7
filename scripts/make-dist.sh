#!/usr/bin/env bash
# Lays out the built Windows plug-ins as a user installs them:
#   dist/x64/Vandrel Pro.8bf   for current 64-bit hosts
#   dist/x86/Vandrel Pro.8bf   for 32-bit hosts
# Each goes, alone, into its host's Plug-ins folder. Needs both Windows
# presets built (scripts/run-windows-tests.sh builds them).
set -euo pipefail
cd "$(dirname "$0")/.."

plugin="Vandrel Pro.8bf"
rm -rf dist/x64 dist/x86
for arch in x64 x86; do
    built="build/windows-$arch/bin/$plugin"
    if [[ ! -f "$built" ]]; then
        echo "make-dist: $built is missing: cmake --preset windows-$arch && cmake --build --preset windows-$arch" >&2
        exit 1
    fi
    mkdir -p "dist/$arch"
    cp "$built" "dist/$arch/$plugin"
done
echo "make-dist: $(pwd)/dist/x64/$plugin and $(pwd)/dist/x86/$plugin"
