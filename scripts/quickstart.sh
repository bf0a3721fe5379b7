#!/usr/bin/env bash
# From a fresh machine to a flatted page: installs what the build needs,
# builds the plug-in and the command-line tool, and flats the bundled example.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)"

out=build/example/panel-flat.png
mkdir -p "$(dirname "$out")"
build/linux/bin/vandrel flat examples/panel.png -o "$out" --overwrite
echo "Flatted example written to $(pwd)/$out"
