#!/usr/bin/env bash
# The Debian package of the command-line tool, dist/vandrel_VERSION_ARCH.deb:
#   /usr/bin/vandrel                       the tool
#   /usr/lib/vandrel/vandrel_pro.so        the plug-in it runs, found from the
#                                          tool's own folder (../lib/vandrel)
#   /usr/share/man/man1/vandrel.1.gz       cli/vandrel.1, the page --help shows
#   /usr/lib/vandrel/libvandrel_api.so     the filters' C library, for Krita
#   /usr/share/krita/pykrita/vandrel_krita[.desktop]
#                                          the Krita plug-in, where Debian's
#                                          Krita finds its Python plug-ins; its
#                                          lib/ links to the library above
#   /usr/share/doc/vandrel/                copyright and changelog
# Built with Debian's own hardening flags in build/package; the dependencies
# are what dpkg-shlibdeps finds the two files linked against. Needs
# dpkg-dev and fakeroot (scripts/install-deps.sh --all).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/release-facts.sh

version=$(release_version)
arch=$(dpkg --print-architecture)
build=build/package
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(release_epoch)}

# The flags Debian builds its own packages with (fortified, read-only
# relocations, bound at load), given on every configure so they cannot go
# stale in the cache; CMake has no place for CPPFLAGS, so they join the
# compile flags as Debian's own CMake builds do.
flag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flag CPPFLAGS) $(flag CFLAGS)" -DCMAKE_CXX_FLAGS="$(flag CPPFLAGS) $(flag CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flag LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flag LDFLAGS)" \
    -DCMAKE_MODULE_LINKER_FLAGS="$(flag LDFLAGS)" >/dev/null
cmake --build "$build" --target vandrel vandrel_plugin vandrel_api -j"$(nproc)"

root=build/release/deb
rm -rf "$root"
pykrita=$root/usr/share/krita/pykrita
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/lib/vandrel" "$root/usr/share/man/man1" "$root/usr/share/doc/vandrel" \
    "$pykrita/vandrel_krita/lib"
install -m 0755 "$build/bin/vandrel" "$root/usr/bin/vandrel"
install -m 0644 "$build/bin/vandrel_pro.so" "$root/usr/lib/vandrel/vandrel_pro.so"
install -m 0644 "$build/bin/libvandrel_api.so" "$root/usr/lib/vandrel/libvandrel_api.so"
# As dh_strip does: no symbols a user's system does not need.
strip --remove-section=.comment --remove-section=.note "$root/usr/bin/vandrel"
for library in vandrel_pro.so libvandrel_api.so; do
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/lib/vandrel/$library"
done
# The plug-in's Python and manual are the same on every machine; the
# library is not, so it stays under /usr/lib and the plug-in links to it.
install -m 0644 krita/vandrel_krita.desktop "$pykrita/"
install -m 0644 krita/vandrel_krita/*.py krita/vandrel_krita/Manual.html "$pykrita/vandrel_krita/"
ln -s ../../../../../lib/vandrel/libvandrel_api.so "$pykrita/vandrel_krita/lib/libvandrel_api.so"

# The manual page as the build filled in its version: the very text the
# packaged tool's --help shows.
gzip -9n <"$build/cli/vandrel.1" >"$root/usr/share/man/man1/vandrel.1.gz"

sed "s|@HOME_PAGE@|$(plugin_info HOME_PAGE)|g" packaging/debian/copyright >"$root/usr/share/doc/vandrel/copyright"
gzip -9n <packaging/debian/changelog >"$root/usr/share/doc/vandrel/changelog.gz"
chmod 0644 "$root/usr/share/doc/vandrel/"* "$root/usr/share/man/man1/"*

# dpkg-shlibdeps reads the package name from a control file of its own.
shlibs=build/release/shlibs
rm -rf "$shlibs"
mkdir -p "$shlibs/debian"
printf 'Source: vandrel\n\nPackage: vandrel\nArchitecture: any\n' >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$OLDPWD/$root/usr/bin/vandrel" "$OLDPWD/$root/usr/lib/vandrel/vandrel_pro.so" \
    "$OLDPWD/$root/usr/lib/vandrel/libvandrel_api.so" |
    sed -n 's/^shlibs:Depends=//p')

sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@DEPENDS@|$depends|" \
    -e "s|@INSTALLED_SIZE@|$(du -sk --exclude=DEBIAN "$root" | cut -f1)|" \
    -e "s|@HOME_PAGE@|$(plugin_info HOME_PAGE)|" packaging/debian/control.in >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

deb=dist/vandrel_${version}_$arch.deb
mkdir -p dist
rm -f "$deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "make-deb: $(pwd)/$deb, $(stat -c %s "$deb") bytes; Depends: $depends"
