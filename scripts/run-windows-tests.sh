#!/usr/bin/env bash
# The Windows side of the project, end to end:
#  1. builds Boost.Thread for mingw (scripts/build-boost-mingw.sh, once) and
#     both Windows presets: the 32-bit and the 64-bit "Vandrel Pro.8bf", and
#     with the 64-bit one the Windows host scenario program;
#  2. runs that program under wine on a virtual screen: it loads the 64-bit
#     plug-in with the Windows loader, reads its resources, flats RGB and
#     CMYK pictures, exchanges parameters and works the real dialogs; their
#     screenshots land in build/windows-x64/screenshots/;
#     It also loads the C interface's vandrel_api.dll (Krita's plug-in
#     carries it) and runs both filters through it;
#  3. lays out dist/ (scripts/make-dist.sh), and checks that the C
#     interface's vandrel_api.dll (for Krita) imports only Windows' DLLs.
# The 32-bit plug-in cannot run here; the PE checks of tests/resources
# (test_resources in the native build) read both files statically.
#
# Wine gets a prefix of its own, removed at the end, and every wine or X
# step has a time limit, so nothing here can hang a CI run. Without the
# cross compilers or wine the stage fails in CI (CI set in the environment,
# as .ci/run does), so that a green run always includes the Windows
# plug-in; elsewhere the scenarios are skipped with a message saying so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
stage() { printf '\n==== %s ====\n' "$*"; }
started=$SECONDS

stage "Windows builds"
for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
    if ! command -v "$triple-g++" >/dev/null; then
        echo "FAILED: no $triple-g++ for the Windows builds (scripts/install-deps.sh --all installs it)" >&2
        exit 1
    fi
done
scripts/build-boost-mingw.sh
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
bin=$root/build/windows-x64/bin
shots=$root/build/windows-x64/screenshots

stage "Windows host scenarios under wine"
source scripts/lib/wine-session.sh

skip() {
    if [[ -n ${CI:-} ]]; then
        echo "FAILED: the Windows host scenarios cannot run: $*" >&2
        echo "(scripts/install-deps.sh --all installs wine64 and xvfb)" >&2
        exit 1
    fi
    echo "SKIPPED: the Windows host scenarios: $*"
    echo "(install wine64 and xvfb, e.g. with scripts/install-deps.sh --all, to run them)"
}

session=0
wine_session_start || session=$?
if ((session != 0)); then
    skip "$wine_skip_reason"
else
    # Windows draw their own captions (there is no window manager), and
    # the "browser" the About box's web button reaches only writes down
    # the address it was asked to open.
    mkdir -p "$scratch/bin"
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s/opened.txt"\n' "$scratch" >"$scratch/bin/vandrel-test-browser"
    chmod +x "$scratch/bin/vandrel-test-browser"
    cat >"$scratch/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineBrowser]
"Browsers"="vandrel-test-browser"
REG
    timeout 60 "$wine" regedit /S "$(winpath "$scratch/settings.reg")"
    rm -rf "$shots"
    mkdir -p "$shots"

    status=0
    PATH=$scratch/bin:$PATH timeout 300 "$wine" "$bin/vandrel_winhost.exe" \
        --shots "$(winpath "$shots")" \
        --browser-log "$(winpath "$scratch/opened.txt")" || status=$?
    if ((status == 124)); then
        echo "FAILED: the Windows host scenarios did not finish within 300 seconds" >&2
        exit 1
    elif ((status != 0)); then
        echo "FAILED: the Windows host scenarios (exit status $status)" >&2
        exit 1
    fi
    for picture in "$shots"/*.bmp; do
        [[ -e "$picture" ]] || continue
        convert "$picture" "${picture%.bmp}.png" && rm "$picture"
    done
    pictures=("$shots"/*.png)
    [[ -e "${pictures[0]}" ]] || pictures=()
    echo "Dialog screenshots: ${pictures[*]}"

    # The C interface's DLL, loaded by path as Krita's plug-in loads it.
    if ! timeout 120 "$wine" "$bin/vandrel_api_check.exe" "$(winpath "$bin/vandrel_api.dll")"; then
        echo "FAILED: the C interface's DLL under wine" >&2
        exit 1
    fi
fi

stage "dist/"
scripts/make-dist.sh
for arch in x64 x86; do
    for file in "dist/$arch/Vandrel Pro.8bf" "dist/$arch/Vandrel Auto Flats.8bf"; do
        triple=$([[ $arch == x64 ]] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32)
        imports=$("$triple-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
        echo "$file: $(stat -c %s "$file") bytes, imports: $imports"
    done
done
# The C interface's DLL, which Krita's plug-in carries: Windows' DLLs only.
api=build/windows-x64/bin/vandrel_api.dll
imports=$(x86_64-w64-mingw32-objdump -p "$api" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
echo "$api: $(stat -c %s "$api") bytes, imports: $imports"
if grep -qiE 'lib(stdc\+\+|gcc|winpthread)' <<<"$imports"; then
    echo "FAILED: $api needs mingw's runtime DLLs" >&2
    exit 1
fi
echo "run-windows-tests: done in $((SECONDS - started)) s"
