#!/usr/bin/env bash
# The Windows release, from the plug-ins laid out in dist/x64 and dist/x86
# (scripts/make-dist.sh):
#   dist/VandrelPro-VERSION-windows.zip   x64/ and x86/ plug-ins (Vandrel Pro and
#                                         Vandrel Auto Flats), ReadMe.txt and
#                                         their SHA256SUMS, for those who copy by hand
#   dist/VandrelPro-VERSION-setup.exe     the installer (packaging/windows/VandrelPro.nsi),
#                                         which can also put Krita's plug-in in place
#                                         (with build/windows-x64/bin/vandrel_api.dll)
# Needs makensis and zip (scripts/install-deps.sh --all).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release-facts.sh

version=$(release_version)
plugin=$(plugin_info FILE_NAME)
autoflats="Vandrel Auto Flats.8bf"
for arch in x64 x86; do
    for file in "$plugin" "$autoflats"; do
        [[ -f "dist/$arch/$file" ]] || { echo "make-windows-release: dist/$arch/$file is missing (scripts/make-dist.sh)" >&2; exit 1; }
    done
done

api=build/windows-x64/bin/vandrel_api.dll
[[ -f "$api" ]] || { echo "make-windows-release: $api is missing (scripts/run-windows-tests.sh builds it)" >&2; exit 1; }

stage=build/release/windows
krita=build/release/windows-krita
rm -rf "$stage" "$krita"
mkdir -p "$krita/vandrel_krita/lib"
cp krita/vandrel_krita.desktop "$krita/"
cp krita/vandrel_krita/*.py krita/vandrel_krita/Manual.html "$krita/vandrel_krita/"
cp "$api" "$krita/vandrel_krita/lib/"
mkdir -p "$stage/x64" "$stage/x86"
cp "dist/x64/$plugin" "dist/x64/$autoflats" "$stage/x64/"
cp "dist/x86/$plugin" "dist/x86/$autoflats" "$stage/x86/"
# Notepad on older Windows shows a file with bare line feeds as one line.
sed -e "s|@VERSION@|$version|g" \
    -e "s|@MENU_NAME@|$(plugin_info MENU_NAME)|g" \
    -e "s|@CATEGORY@|$(plugin_info CATEGORY)|g" \
    -e "s|@COPYRIGHT@|$(plugin_info COPYRIGHT)|g" \
    -e "s|@HOME_PAGE@|$(plugin_info HOME_PAGE)|g" \
    -e 's/$/\r/' packaging/windows/ReadMe.txt >"$stage/ReadMe.txt"
if grep -q '@[A-Z_]*@' "$stage/ReadMe.txt"; then
    echo "make-windows-release: ReadMe.txt still holds a placeholder" >&2
    exit 1
fi

zip=dist/VandrelPro-$version-windows.zip
setup=dist/VandrelPro-$version-setup.exe
rm -f "$zip" "$setup"

# Same commit, same zip: fixed time stamps, no extra attributes, fixed order.
find "$stage" "$krita" -exec touch -h -d "@$(release_epoch)" {} +
(cd "$stage" && sha256sum "x64/$plugin" "x64/$autoflats" "x86/$plugin" "x86/$autoflats" ReadMe.txt >SHA256SUMS &&
    touch -d "@$(release_epoch)" SHA256SUMS &&
    zip -q -X -D "$OLDPWD/$zip" "x64/$plugin" "x64/$autoflats" "x86/$plugin" "x86/$autoflats" ReadMe.txt SHA256SUMS)

makensis -V2 -INPUTCHARSET UTF8 \
    -DDIST="$(pwd)/$stage" -DKRITA="$(pwd)/$krita" -DREADME="$(pwd)/$stage/ReadMe.txt" -DOUTFILE="$(pwd)/$setup" \
    "$(pwd)/packaging/windows/VandrelPro.nsi"

for file in "$zip" "$setup"; do
    echo "make-windows-release: $(pwd)/$file, $(stat -c %s "$file") bytes"
done
