#!/usr/bin/env bash
# The Windows release (scripts/make-release.sh makes it; scripts/run-windows-tests.sh
# the scenario program):
#  0. the zip holds both plug-ins, a CRLF read-me and their checksums, and
#     dist/SHA256SUMS matches every file in dist/; the read-me covers using
#     the filter (its settings as the dialog names them), not only installing;
# then the installer under wine, in a prefix of its own:
#  1. a silent install into chosen folders puts both plug-ins there byte for
#     byte, the read-me and uninstaller in Program Files, and its entry in
#     Apps and Features; the installed 64-bit plug-in flats pages under the
#     Windows scenario program;
#  2. the silent uninstall removes all of that and the folders it created,
#     and keeps the user's saved settings;
#  3. an install into the default folder, then a reinstall over it into
#     another folder, leaves only the second; an uninstall asked to remove
#     the settings removes them too;
#  4. /X86 with the default folders puts the 32-bit plug-in into the 32-bit
#     shared folder, whatever a 64-bit installer's own idea of it;
#  4b. /KRITA puts Krita's plug-in where Krita for Windows looks for it
#     (%APPDATA%\krita\pykrita), with the library where the plug-in loads it
#     from, and the uninstaller takes it away, keeping other plug-ins there;
#  5. the installer's first page, shown on the virtual screen, is saved as
#     build/release/screenshots/installer-welcome.png;
#  6. the Finish page names the hosts and, after a folder of the user's, asks
#     for it in the host's settings; the uninstaller's first page lists the
#     plug-in files it removes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib/release-facts.sh

version=$(release_version)
product=$(plugin_info PRODUCT_NAME)
company=$(plugin_info COMPANY)
plugin=$(plugin_info FILE_NAME)
setup=$root/dist/VandrelPro-$version-setup.exe
zip=$root/dist/VandrelPro-$version-windows.zip
winhost=$root/build/windows-x64/bin/vandrel_winhost.exe
api=$root/build/windows-x64/bin/vandrel_api.dll
for file in "$setup" "$zip" "$winhost" "$api" "dist/x64/$plugin" "dist/x86/$plugin"; do
    [[ -f "$file" ]] || { echo "test-windows-release: $file is missing (scripts/make-release.sh)" >&2; exit 1; }
done

failures=0
source scripts/lib/checks.sh
same_bytes() { cmp -s "$1" "$2"; }
absent() { [[ ! -e "$1" ]]; }
fails() { ! "$@"; }

echo "== the zip and the checksums"
unzipped=$(mktemp -d /tmp/vandrel-zip.XXXXXX)
trap 'rm -rf "$unzipped"' EXIT
unzip -q "$zip" -d "$unzipped"
listing() { (cd "$unzipped" && find . -type f -printf '%P\n' | LC_ALL=C sort | tr '\n' ' '); }
autoflats="Vandrel Auto Flats.8bf"
check "zip holds both filters for both architectures, the read-me and their checksums" \
    test "$(listing)" == "ReadMe.txt SHA256SUMS x64/$autoflats x64/$plugin x86/$autoflats x86/$plugin "
check "zip's plug-ins are dist/'s" sh -c "cmp -s 'dist/x64/$plugin' '$unzipped/x64/$plugin' && cmp -s 'dist/x86/$plugin' '$unzipped/x86/$plugin'"
crlf_only() { [[ $(grep -c $'\r$' "$1") -eq $(wc -l <"$1") ]]; }
check "read-me has CRLF line ends throughout" crlf_only "$unzipped/ReadMe.txt"
check "read-me names the version" grep -q "$version" "$unzipped/ReadMe.txt"
# The settings as the dialog names them, so a renamed control fails here.
dialog_label() { sed -n "s/.*\"\($1[^\"]*\)\".*/\1/p" resources/Dialogs.rc | head -n1 | sed 's/[.:]$//'; }
# grep -q would leave the pipe early; under pipefail tr's broken pipe would fail the check.
readme_says() { [[ -n $1 ]] && tr -d '\r' <"$unzipped/ReadMe.txt" | grep -F -- "$1" >/dev/null; }
check "read-me says what the filter does" readme_says "What Vandrel Pro does"
check "read-me explains the depth setting" readme_says "$(dialog_label Black)"
check "read-me explains the white setting" readme_says "$(dialog_label Paint)"
check "read-me says why the menu item is greyed out" readme_says "Why the menu item is greyed out"
check "read-me says where the flats go in the layers" readme_says "under the line-art layer"
check "read-me still presents Auto Flats" readme_says "Filter > $(plugin_info CATEGORY) > Vandrel Auto Flats"
check "read-me says how to add the Krita plug-in" readme_says "Tools > Scripts > Import Python Plugin from File"
check "zip's checksums match" sh -c "cd '$unzipped' && sha256sum --quiet -c SHA256SUMS"
check "dist/SHA256SUMS matches dist/" sh -c "cd dist && sha256sum --quiet -c SHA256SUMS"
covered() { [[ $(wc -l <dist/SHA256SUMS) -eq $(find dist -type f ! -name SHA256SUMS | wc -l) ]]; }
check "dist/SHA256SUMS covers every file" covered
rm -rf "$unzipped"

echo "== the installer's version resource"
# Its strings are UTF-16, each value right after its name.
version_value() { strings -el "$setup" | grep -A1 -x "$1" | sed -n 2p; }
check "product name" test "$(version_value ProductName)" == "$product"
check "maker" test "$(version_value CompanyName)" == "$company"
check "version" test "$(version_value ProductVersion)" == "$version"
check "copyright" test "$(version_value LegalCopyright)" == "$(plugin_info COPYRIGHT)"

source scripts/lib/wine-session.sh
session=0
wine_session_start || session=$?
if ((session != 0)); then
    # In CI a green run must include the installer under wine.
    if [[ -n ${CI:-} ]]; then
        echo "FAILED: the installer tests cannot run: $wine_skip_reason" >&2
        exit 1
    fi
    echo "SKIPPED: the installer tests: $wine_skip_reason"
    exit $((failures ? 1 : 0))
fi

c=$WINEPREFIX/drive_c
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
app_dir="$c/Program Files/$company/$product"
prefs="$c/users/${USER:-$(id -un)}/AppData/Roaming/$product Prefs"
registered() { timeout 60 "$wine" reg query "$key" /reg:64 >/dev/null 2>&1; }
unregistered() { ! registered; }
registered_value() { timeout 60 "$wine" reg query "$key" /v "$1" /reg:64 2>/dev/null | tr -d '\r' | grep -F "$2" >/dev/null; }

# Runs a Windows program to its end (an uninstaller hands over to a copy of
# itself and returns at once, so wait for every process of the prefix).
run() {
    local status=0
    timeout 120 "$wine" "$@" || status=$?
    wine_wait || true
    return "$status"
}

# Runs a command line exactly as typed at a Windows prompt: a silent
# install's folders hold spaces, and /D= must stay unquoted.
run_line() {
    printf '@echo off\r\n%s\r\nexit /b %%errorlevel%%\r\n' "$1" >"$scratch/line.bat"
    run cmd /c "$(winpath "$scratch/line.bat")"
}

echo "== silent install into chosen folders"
folder64="C:\\Hosts\\Clip Studio\\PlugIn"
folder32="C:\\Hosts 32\\Plug-ins"
check "both plug-ins into one folder refused" fails run_line "$(winpath "$setup") /S /X86DIR=\"$folder64\" /D=$folder64"
check "nothing installed by the refused install" absent "$c/Hosts"
check "no entry from the refused install" unregistered
check "silent install succeeds" run_line "$(winpath "$setup") /S /X86DIR=\"$folder32\" /D=$folder64"
check "64-bit plug-in in its folder, byte for byte" same_bytes "dist/x64/$plugin" "$c/Hosts/Clip Studio/PlugIn/$plugin"
check "64-bit Auto Flats beside it, byte for byte" same_bytes "dist/x64/$autoflats" "$c/Hosts/Clip Studio/PlugIn/$autoflats"
check "32-bit plug-in in its folder, byte for byte" same_bytes "dist/x86/$plugin" "$c/Hosts 32/Plug-ins/$plugin"
check "read-me with CRLF lines in Program Files" grep -q $'\r$' "$app_dir/ReadMe.txt"
check "uninstaller in Program Files" test -f "$app_dir/Uninstall.exe"
check "Apps and Features entry" registered_value DisplayName "$product"
check "entry carries the version" registered_value DisplayVersion "$version"
check "entry carries the maker" registered_value Publisher "$company"
check "entry names the uninstaller" registered_value UninstallString "Uninstall.exe"
check "nothing in the default folder" absent "$c/Program Files/Common Files/Adobe"

echo "== the installed plug-in under the Windows scenario program"
check "installed 64-bit plug-in flats pages" \
    env VANDREL_PLUGIN="$folder64\\$plugin" timeout 300 "$wine" "$winhost" --only Flatting
check "installed 64-bit Auto Flats makes flats" \
    env VANDREL_AUTOFLATS_PLUGIN="$folder64\\$autoflats" timeout 300 "$wine" "$winhost" --only AutoFlats

echo "== silent uninstall"
mkdir -p "$(dirname "$prefs")"
printf 'depth=42\n' >"$prefs"
check "silent uninstall succeeds" run "$app_dir/Uninstall.exe" /S
check "64-bit plug-ins removed, with the folders made for them" absent "$c/Hosts"
check "32-bit plug-in removed, with the folders made for it" absent "$c/Hosts 32"
check "Program Files folder removed" absent "$c/Program Files/$company"
check "Apps and Features entry removed" unregistered
check "saved settings kept" test -f "$prefs"

echo "== install into the default folder, reinstall elsewhere"
adobe="$c/Program Files/Common Files/Adobe/Plug-Ins/CC"
check "silent install into the default folder" run "$setup" /S
check "64-bit plug-in in the shared Adobe folder" same_bytes "dist/x64/$plugin" "$adobe/$plugin"
check "no 32-bit plug-in unless asked" absent "$c/Program Files (x86)/Common Files/Adobe"
check "silent reinstall over it into another folder" run "$setup" /S "/D=C:\\Hosts\\Affinity"
check "plug-in in the new folder" same_bytes "dist/x64/$plugin" "$c/Hosts/Affinity/$plugin"
check "earlier folder's plug-in and the folders made for it removed" absent "$c/Program Files/Common Files/Adobe"
check "a reinstall into the same folder" run "$setup" /S "/D=C:\\Hosts\\Affinity"
check "plug-in still in place" same_bytes "dist/x64/$plugin" "$c/Hosts/Affinity/$plugin"
check "uninstall asked to remove the settings" run "$app_dir/Uninstall.exe" /S /REMOVEPREFS
check "plug-in removed" absent "$c/Hosts"
check "saved settings removed" absent "$prefs"
check "Apps and Features entry removed" unregistered
check "Common Files itself kept" test -d "$c/Program Files/Common Files"

echo "== silent install of both plug-ins into the default folders"
adobe32="$c/Program Files (x86)/Common Files/Adobe/Plug-Ins/CC"
check "silent install with /X86 and no folders" run "$setup" /S /X86
check "64-bit plug-in in the shared Adobe folder" same_bytes "dist/x64/$plugin" "$adobe/$plugin"
check "32-bit plug-in in the 32-bit shared Adobe folder" same_bytes "dist/x86/$plugin" "$adobe32/$plugin"
check "32-bit Auto Flats beside it" same_bytes "dist/x86/$autoflats" "$adobe32/$autoflats"
check "uninstall" run "$app_dir/Uninstall.exe" /S
check "both plug-ins removed" sh -c "[ ! -e '$adobe/$plugin' ] && [ ! -e '$adobe32/$plugin' ]"

echo "== Krita's plug-in"
roaming="$c/users/${USER:-$(id -un)}/AppData/Roaming"
pykrita="$roaming/krita/pykrita"
package="$pykrita/vandrel_krita"
krita_installed() {
    same_bytes krita/vandrel_krita.desktop "$pykrita/vandrel_krita.desktop" || return 1
    local file
    for file in krita/vandrel_krita/*.py krita/vandrel_krita/Manual.html; do
        same_bytes "$file" "$package/$(basename "$file")" || return 1
    done
}
check "the plug-in loads its library from lib/ beside its modules" \
    grep -qF '"vandrel_api.dll" if sys.platform.startswith("win")' krita/vandrel_krita/native.py
check "silent install without /KRITA" run "$setup" /S
check "no Krita plug-in unless asked" absent "$roaming/krita"
check "silent install with /KRITA" run "$setup" /S /KRITA
check "Krita's entry and package where Krita looks, byte for byte" krita_installed
check "the x64 library where the plug-in loads it from" same_bytes "$api" "$package/lib/vandrel_api.dll"
api_check=$root/build/windows-x64/bin/vandrel_api_check.exe
if [[ -f "$api_check" ]]; then
    check "the installed library answers" timeout 120 "$wine" "$api_check" "$(winpath "$package/lib/vandrel_api.dll")"
fi
check "entry records Krita's folder" registered_value PluginFolderKrita 'krita\pykrita'
check "a reinstall without /KRITA keeps the earlier choice" run "$setup" /S
check "the plug-in still in place" krita_installed
check "uninstall" run "$app_dir/Uninstall.exe" /S
check "Krita's plug-in removed, with the folders made for it" absent "$roaming/krita"
mkdir -p "$pykrita/other"
printf '[Desktop Entry]\n' >"$pykrita/other.desktop"
check "install beside another Krita plug-in" run "$setup" /S /KRITA
check "installed there" krita_installed
check "uninstall" run "$app_dir/Uninstall.exe" /S
check "ours removed" sh -c "[ ! -e '$package' ] && [ ! -e '$pykrita/vandrel_krita.desktop' ]"
check "the other plug-in and Krita's folder kept" sh -c "[ -d '$pykrita/other' ] && [ -f '$pykrita/other.desktop' ]"
rm -rf "$roaming/krita"

echo "== the installer's first page"
# Windows draw their own captions: there is no window manager.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
shots=$root/build/release/screenshots
mkdir -p "$shots"
timeout 120 "$wine" "$setup" >/dev/null 2>&1 &
window=$(timeout 60 xdotool search --sync --onlyvisible --name "$product $version Setup" | head -n1 || true)
if [[ -n "$window" ]]; then
    sleep 1  # the page draws its bitmap after the window appears
    import -window "$window" -strip "$shots/installer-welcome.png"
    echo "ok: first page saved as $shots/installer-welcome.png"
else
    echo "FAILED: the installer's window did not appear" >&2
    failures=$((failures + 1))
fi
timeout 30 "$wineserver" -k || true

echo "== what the Finish page and the uninstaller's first page say"
# Reads the pages' own controls: a program of our own walks the wizard.
page_text=$scratch/page_text.exe
check "the page reader builds" x86_64-w64-mingw32-gcc -O1 -o "$page_text" packaging/windows/tests/page_text.c
# Shows the page of WINDOW that holds MARKER (pressing Next on the way with
# --next), its text in $scratch/page.txt, while PROGRAM runs with ARGS.
page() {
    local window=$1 marker=$2 next=$3 status=0
    shift 3
    timeout 120 "$wine" "$@" >/dev/null 2>&1 &
    timeout 90 "$wine" "$page_text" "$window" "$marker" ${next:+"$next"} | tr -d '\r' >"$scratch/page.txt" || status=$?
    timeout 30 "$wineserver" -k || true
    return "$status"
}
says() { grep -qF "$1" "$scratch/page.txt"; }
check "default install reaches the Finish page" page "$product $version Setup" "Restart" --next "$setup"
check "Finish page names Photoshop" says "Restart Photoshop"
check "Finish page names the hosts with folders of their own" \
    sh -c "grep -qF 'Affinity Photo' '$scratch/page.txt' && grep -qF 'Clip Studio Paint' '$scratch/page.txt'"
check "install into a folder of the user's reaches the Finish page" \
    page "$product $version Setup" "plug-in folders" --next "$setup" /KRITA "/D=C:\\Hosts\\Krita"
check "Finish page asks for that folder in the host's plug-in settings" says 'Add C:\Hosts\Krita to your host'"'"'s plug-in folders'
check "Finish page says where each host keeps that setting" says "File > Photoshop-compatible plug-in settings"
check "Finish page tells how to turn Krita's plug-in on" says "Python Plugin Manager"
check "uninstaller's first page shown" page "$product $version Uninstall" "will be removed" "" "$app_dir/Uninstall.exe"
check "it lists the plug-in it removes" says 'C:\Hosts\Krita'\\"$plugin"
check "it lists Auto Flats too" says 'C:\Hosts\Krita'\\"$autoflats"
check "it lists Krita's plug-in" says 'krita\pykrita\vandrel_krita (Krita'"'"'s plug-in)'
check "it lists no file of the other folder" fails says "Common Files"
check "the files are still there after it" test -f "$c/Hosts/Krita/$plugin"
check "silent uninstall" run "$app_dir/Uninstall.exe" /S
check "plug-ins removed" absent "$c/Hosts"
check "Krita's plug-in removed" absent "$roaming/krita"

if ((failures)); then
    echo "test-windows-release: $failures checks failed" >&2
    exit 1
fi
echo "test-windows-release: every check passed"
