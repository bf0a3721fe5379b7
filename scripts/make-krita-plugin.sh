#!/usr/bin/env bash
# Krita's plug-in, laid out as Krita's "Import Python Plugin from File"
# takes it: vandrel_krita.desktop beside the vandrel_krita/ package, whose
# lib/ holds the filters' library for Linux and for Windows.
#   scripts/make-krita-plugin.sh --stage DIR   the folder only, with the Linux
#                                              library (what the tests load)
#   scripts/make-krita-plugin.sh               dist/VandrelPro-VERSION-krita.zip,
#                                              with both libraries
# Builds the libraries it needs: vandrel_api in the linux preset, and for the
# zip in the windows-x64 preset.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release-facts.sh

build_target() {
    local preset=$1
    [[ -f build/$preset/build.ninja ]] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target vandrel_api >/dev/null
}

stage_plugin() {
    local dir=$1
    rm -rf "$dir/vandrel_krita" "$dir/vandrel_krita.desktop"
    mkdir -p "$dir/vandrel_krita/lib"
    cp krita/vandrel_krita.desktop "$dir/"
    cp krita/vandrel_krita/*.py krita/vandrel_krita/Manual.html "$dir/vandrel_krita/"
    build_target linux
    cp build/linux/bin/libvandrel_api.so "$dir/vandrel_krita/lib/"
    strip --strip-unneeded "$dir/vandrel_krita/lib/libvandrel_api.so"
}

if [[ "${1:-}" == "--stage" ]]; then
    stage_plugin "$2"
    exit 0
fi

stage=build/krita-zip
rm -rf "$stage"
stage_plugin "$stage"
scripts/build-boost-mingw.sh x86_64 >/dev/null
build_target windows-x64
cp build/windows-x64/bin/vandrel_api.dll "$stage/vandrel_krita/lib/"
mkdir -p dist
zip=dist/VandrelPro-$(release_version)-krita.zip
rm -f "$zip"
# Same commit, same zip: fixed time stamps, no extra attributes, fixed order.
# Krita's importer finds the package by its folder's own entry in the zip.
find "$stage" -exec touch -h -d "@$(release_epoch)" {} +
(cd "$stage" && find vandrel_krita.desktop vandrel_krita | LC_ALL=C sort | zip -q -X "$OLDPWD/$zip" -@)
echo "$zip: $(stat -c %s "$zip") bytes"
