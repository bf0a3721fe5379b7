#!/usr/bin/env bash
# The Debian package (scripts/make-deb.sh makes it):
#  1. unpacked into a private root, its vandrel finds the plug-in in its
#     private library folder and flats the bundled example to the pixels the
#     README shows (docs/example-after.png; the file's compression may differ);
#     the Krita plug-in is where Krita looks and finds its library;
#  2. its manual page reads without warnings, is the text its --help shows,
#     and lintian finds nothing, not even a pedantic tag;
#  3. as root, dpkg -i installs it, vandrel --version names the release and
#     man finds its page; it is removed again unless it was installed before.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release-facts.sh

version=$(release_version)
deb=dist/vandrel_${version}_$(dpkg --print-architecture).deb
[[ -f "$deb" ]] || { echo "test-deb: $deb is missing (scripts/make-deb.sh)" >&2; exit 1; }

scratch=$(mktemp -d /tmp/vandrel-deb.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0
source scripts/lib/checks.sh

echo "== unpacked into a private root"
dpkg-deb -x "$deb" "$scratch/root"
tool=$scratch/root/usr/bin/vandrel
# Neither a plug-in named from outside nor the user's settings.
flat_example() {
    env -u VANDREL_PLUGIN VANDREL_PREFS_DIR= "$tool" flat -q examples/panel.png -o "$scratch/panel-flat.png" >/dev/null
}
check "vandrel flat on the bundled example" flat_example
# Pixels, not file bytes: how the encoder splits its work across cores
# changes the compressed stream but never the picture.
same_pixels() {
    /usr/bin/python3 -c 'import sys; from PIL import Image
a, b = (Image.open(p) for p in sys.argv[1:3])
sys.exit(0 if a.mode == b.mode and a.size == b.size and a.tobytes() == b.tobytes() else 1)' "$1" "$2"
}
check "the result has the README's pixels" same_pixels docs/example-after.png "$scratch/panel-flat.png"
check "the plug-in sits in the private library folder" test -f "$scratch/root/usr/lib/vandrel/vandrel_pro.so"
pykrita=$scratch/root/usr/share/krita/pykrita
check "the Krita plug-in sits where Debian's Krita looks" test -f "$pykrita/vandrel_krita.desktop" \
    -a -f "$pykrita/vandrel_krita/__init__.py" -a -f "$pykrita/vandrel_krita/Manual.html"
# Outside Krita the plug-in's package is plain Python: its library, found
# through the link into /usr/lib, flats a row of black between two colours.
krita_plugin_flats() {
    /usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1])
from vandrel_krita import native
page = b"\x10\x20\x30\xff" * 3 + b"\0\0\0\xff" * 3 + b"\x10\x20\x30\xff" * 3
sys.exit(0 if bytes(native.flat(page, 3, 3, native.BGRA)) == b"\x10\x20\x30\xff" * 9 else 1)' "$pykrita"
}
check "the Krita plug-in's library is found and flats" krita_plugin_flats
no_groff_warnings() { [[ -z $(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null) ]]; }
check "manual page reads without warnings" no_groff_warnings "$scratch/root/usr/share/man/man1/vandrel.1.gz"
check "manual page lists the options" sh -c "zcat '$scratch/root/usr/share/man/man1/vandrel.1.gz' | grep -q -- 'depth'"
source scripts/lib/manual-options.sh
check "--help shows the manual page's options" manual_matches_help "$tool" "$scratch/root/usr/share/man/man1/vandrel.1.gz"
names_version() { zcat "$1" | grep -q "^\.TH VANDREL 1 .*\"vandrel $version\""; }
check "manual page names the packaged version" names_version "$scratch/root/usr/share/man/man1/vandrel.1.gz"

echo "== lintian"
# Clean down to the pedantic tags; root is only warned about.
lintian_clean() { lintian --pedantic --fail-on error,warning,info,pedantic "$deb" 2> >(grep -v 'root privileges' >&2); }
check "lintian finds nothing, pedantic tags included" lintian_clean

echo "== dpkg -i"
if ((EUID != 0)); then
    echo "SKIPPED: dpkg -i needs root"
else
    installed_before=$(dpkg-query -W -f='${Status}' vandrel 2>/dev/null | grep -c "install ok installed" || true)
    check "dpkg -i" dpkg -i "$deb"
    names_release() { /usr/bin/vandrel --version | grep -q "^vandrel $version "; }
    check "vandrel --version names $version" names_release
    finds_page() { man -w vandrel >/dev/null; }
    check "man finds the page" finds_page
    if ((installed_before == 0)); then
        check "dpkg --purge" dpkg --purge vandrel
        check "nothing left in /usr/lib/vandrel" test ! -e /usr/lib/vandrel
        check "nothing left of the Krita plug-in" test ! -e /usr/share/krita/pykrita/vandrel_krita \
            -a ! -e /usr/share/krita/pykrita/vandrel_krita.desktop
    fi
fi

if ((failures)); then
    echo "test-deb: $failures checks failed" >&2
    exit 1
fi
echo "test-deb: every check passed"
