#!/usr/bin/env bash
# The Windows side of the project, end to end:
#  1. builds both Windows presets: the 32-bit and the 64-bit "Vandrel Pro.8bf"
#     (the first configure compiles Boost.Thread for mingw), and with the
#     64-bit one the Windows host scenario program;
#  2. runs that program under wine on a virtual screen: it loads the 64-bit
#     plug-in with the Windows loader, reads its resources, flats RGB and
#     CMYK pictures, exchanges parameters and works the real dialogs; their
#     screenshots land in build/windows-x64/screenshots/;
#  3. lays out dist/ (scripts/make-dist.sh).
# The 32-bit plug-in cannot run here; the PE checks of tests/resources
# (test_resources in the native build) read both files statically.
#
# Wine gets a prefix of its own, removed at the end, and every wine or X
# step has a time limit, so nothing here can hang a CI run. Where wine
# cannot run at all the scenarios are skipped with a message saying so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
stage() { printf '\n==== %s ====\n' "$*"; }
started=$SECONDS

stage "Windows builds"
for preset in windows-x86 windows-x64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
bin=$root/build/windows-x64/bin
shots=$root/build/windows-x64/screenshots

stage "Windows host scenarios under wine"
wine=""
for candidate in /usr/lib/wine/wine64 "$(command -v wine64 || true)" "$(command -v wine || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then wine=$candidate; break; fi
done
wineserver=""
for candidate in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [[ -n "$candidate" && -x "$candidate" ]]; then wineserver=$candidate; break; fi
done

scratch=""
xvfb_pid=""
cleanup() {
    if [[ -n "$scratch" ]]; then
        # Every wine process of our prefix ends with its server.
        [[ -n "$wineserver" ]] && WINEPREFIX=$scratch/prefix timeout 30 "$wineserver" -k 2>/dev/null || true
        [[ -n "$wineserver" ]] && WINEPREFIX=$scratch/prefix timeout 30 "$wineserver" -w 2>/dev/null || true
    fi
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    [[ -n "$scratch" ]] && rm -rf "$scratch"
    return 0
}
trap cleanup EXIT
# A run stopped from outside (CI's time limit, Ctrl-C) still cleans up.
trap 'exit 130' INT TERM

skip() {
    echo "SKIPPED: the Windows host scenarios: $*"
    echo "(install wine64 and xvfb, e.g. with scripts/install-deps.sh --all, to run them)"
}

if [[ -z "$wine" || -z "$wineserver" ]]; then
    skip "no wine64 loader on this machine"
elif ! command -v Xvfb >/dev/null; then
    echo "Xvfb is missing: the scenarios show the plug-in's dialogs on a virtual screen" >&2
    echo "(scripts/install-deps.sh --all installs it)" >&2
    exit 1
else
    scratch=$(mktemp -d /tmp/vandrel-wine.XXXXXX)
    export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEARCH=win64
    # No prompts to install wine's .NET or HTML engines into the new prefix.
    export WINEDLLOVERRIDES="mscoree=;mshtml="

    # A screen of our own: Xvfb picks a free display number and writes it.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [[ -s "$scratch/display" ]] && break; sleep 0.1; done
    if [[ ! -s "$scratch/display" ]]; then
        cat "$scratch/xvfb.log" >&2
        echo "Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=:$(head -n1 "$scratch/display")

    if ! timeout 180 "$wine" wineboot -i >"$scratch/wineboot.log" 2>&1; then
        cat "$scratch/wineboot.log"
        skip "wine cannot create a prefix on this machine"
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
        timeout 60 "$wine" regedit /S "$(printf 'Z:%s' "$scratch/settings.reg" | tr / '\\')"
        rm -rf "$shots"
        mkdir -p "$shots"

        status=0
        PATH=$scratch/bin:$PATH timeout 300 "$wine" "$bin/vandrel_winhost.exe" \
            --shots "$(printf 'Z:%s' "$shots" | tr / '\\')" \
            --browser-log "$(printf 'Z:%s' "$scratch/opened.txt" | tr / '\\')" || status=$?
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
        echo "Dialog screenshots: $(ls "$shots"/*.png 2>/dev/null | tr '\n' ' ')"
    fi
fi

stage "dist/"
scripts/make-dist.sh
for arch in x64 x86; do
    file="dist/$arch/Vandrel Pro.8bf"
    triple=$([[ $arch == x64 ]] && echo x86_64-w64-mingw32 || echo i686-w64-mingw32)
    imports=$("$triple-objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
    echo "$file: $(stat -c %s "$file") bytes, imports: $imports"
done
echo "run-windows-tests: done in $((SECONDS - started)) s"
