#!/usr/bin/env bash
# From a fresh machine to a flatted page: installs what the build needs,
# builds the plug-in and the command-line tool, flats the bundled example,
# and fills the bundled line art with auto flats.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)"

out=build/example/panel-flat.png
mkdir -p "$(dirname "$out")"
build/linux/bin/vandrel flat examples/panel.png -o "$out" --overwrite
echo "Flatted example written to $(pwd)/$out"

flats=build/example/lineart-flats.png
build/linux/bin/vandrel autoflat examples/lineart.png -o "$flats" --overwrite
echo "Auto flats of the line-art example written to $(pwd)/$flats"
