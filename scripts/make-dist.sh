#!/usr/bin/env bash
# Lays out the built Windows plug-ins as a user installs them:
#   dist/x64/Vandrel Pro.8bf, dist/x64/Vandrel Auto Flats.8bf   for current 64-bit hosts
#   dist/x86/Vandrel Pro.8bf, dist/x86/Vandrel Auto Flats.8bf   for 32-bit hosts
# Each goes into its host's Plug-ins folder. Needs both Windows presets
# built (scripts/run-windows-tests.sh builds them).
set -euo pipefail
cd "$(dirname "$0")/.."

plugins=("Vandrel Pro.8bf" "Vandrel Auto Flats.8bf")
rm -rf dist/x64 dist/x86
for arch in x64 x86; do
    mkdir -p "dist/$arch"
    for plugin in "${plugins[@]}"; do
        built="build/windows-$arch/bin/$plugin"
        if [[ ! -f "$built" ]]; then
            echo "make-dist: $built is missing: cmake --preset windows-$arch && cmake --build --preset windows-$arch" >&2
            exit 1
        fi
        cp "$built" "dist/$arch/$plugin"
    done
done
echo "make-dist: $(pwd)/dist/x64 and $(pwd)/dist/x86, each: ${plugins[*]}"
