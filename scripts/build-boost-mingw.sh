#!/usr/bin/env bash
# Boost.Thread for the Windows cross builds, compiled from Debian's own boost
# source package with the mingw-w64 compilers.
#
#   scripts/build-boost-mingw.sh              both architectures
#   scripts/build-boost-mingw.sh i686|x86_64  one of them
#
# Result, per architecture (what VANDREL_BOOST_ROOT names):
#   build/boost-mingw/ARCH/include       the boost/ header tree (one copy,
#                                        linked from both architectures)
#   build/boost-mingw/ARCH/lib/libboost_thread.a
#
# The source package is kept in build/boost-mingw/src, so a rebuild never
# fetches it again; every step is skipped when its result is already there.
# Only Boost.Thread is compiled: the plug-in uses Date_Time for nothing but
# the UTC clock, which is header-only, and Boost.System is header-only too.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${VANDREL_BOOST_MINGW_DIR:-$root/build/boost-mingw}
package=boost1.74
cache=$out/src
tree=$out/tree

archs=("$@")
((${#archs[@]})) || archs=(i686 x86_64)
for arch in "${archs[@]}"; do
    case $arch in
        i686 | x86_64) ;;
        *) echo "unknown architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
    esac
done

log() { printf 'boost-mingw: %s\n' "$*"; }

orig_tarball() { compgen -G "$cache/${package}_*.orig.tar.*" | head -n1 || true; }

# apt reads source packages only from deb-src entries; derive one from the
# machine's own binary entries, so it names the same mirrors and suites.
deb_src_list=/etc/apt/sources.list.d/vandrel-deb-src.sources
enable_deb_src() {
    local from=/etc/apt/sources.list.d/debian.sources
    [[ -f $from ]] || { echo "no $from to derive a deb-src entry from" >&2; exit 1; }
    sed 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' "$from" >"$deb_src_list"
    log "deb-src entries written to $deb_src_list"
    apt-get update -qq
}

fetch_source() {
    [[ -n $(orig_tarball) ]] && return
    mkdir -p "$cache"
    [[ -f $deb_src_list ]] || enable_deb_src
    log "fetching the $package source package into $cache"
    # A second try after refreshing the lists, which may have aged since.
    if ! (cd "$cache" && apt-get source --download-only -qq "$package"); then
        apt-get update -qq
        (cd "$cache" && apt-get source --download-only -qq "$package")
    fi
    [[ -n $(orig_tarball) ]] || { echo "apt-get source left no ${package} orig tarball in $cache" >&2; exit 1; }
}

# Debian's tarball has Boost's modular layout: every library keeps its own
# include/boost/ folder (two levels down for the numeric ones). Only those
# folders and Boost.Thread's sources are written out, the headers merged
# into one include/boost/ tree; documentation, tests and the other
# libraries' sources never leave the tarball.
extract_source() {
    [[ -f $tree/.complete ]] && return
    local tarball
    tarball=$(orig_tarball)
    rm -rf "$tree"
    mkdir -p "$tree"
    log "extracting the headers and Boost.Thread's sources from $(basename "$tarball")"
    tar -xf "$tarball" -C "$tree" --no-same-owner \
        --wildcards --no-wildcards-match-slash \
        --transform='s#^[^/]+/libs/([^/]+/){1,2}include/boost#include/boost#x' \
        --transform='s,^[^/]+/libs/thread/src,thread-src,x' \
        --transform='s,^[^/]+/LICENSE_1_0[.]txt$,LICENSE_1_0.txt,x' \
        '*/libs/*/include/boost' '*/libs/numeric/*/include/boost' '*/libs/thread/src' '*/LICENSE_1_0.txt'
    [[ -f $tree/include/boost/thread/thread.hpp && -f $tree/include/boost/date_time/posix_time/posix_time_types.hpp &&
        -f $tree/thread-src/win32/thread.cpp ]] ||
        { echo "the tarball did not hold the expected Boost.Thread files" >&2; exit 1; }
    touch "$tree/.complete"
}

# The win32 implementation, as Boost's own build compiles it for a static
# library. tss_pe.cpp hooks thread-exit cleanup into the loader's TLS
# callbacks, which is what a static library inside a DLL needs (tss_dll.cpp
# is empty unless Boost.Thread is itself a DLL); future.cpp only defines the
# future error category, cheap to keep for any code that includes futures.
build_arch() {
    local arch=$1
    local prefix=$out/$arch
    local lib=$prefix/lib/libboost_thread.a
    local cxx=$arch-w64-mingw32-g++-posix
    local ar=$arch-w64-mingw32-ar
    mkdir -p "$prefix"
    ln -sfn ../tree/include "$prefix/include"
    if [[ -f $lib && $lib -nt $tree/.complete ]]; then
        log "$arch: $lib is up to date"
        return
    fi
    command -v "$cxx" >/dev/null || { echo "$cxx not found (g++-mingw-w64-${arch//_/-}-posix)" >&2; exit 1; }
    local objdir=$prefix/obj
    rm -rf "$objdir"
    mkdir -p "$objdir" "$prefix/lib"
    local flags=(-std=c++20 -O2 -DNDEBUG -I"$tree/include"
        -DBOOST_THREAD_BUILD_LIB=1 -DBOOST_THREAD_WIN32 -DBOOST_ALL_NO_LIB=1
        -DBOOST_THREAD_USE_LIB -DBOOST_CHRONO_HEADER_ONLY -DWIN32_LEAN_AND_MEAN
        -w)
    local sources=(win32/thread.cpp win32/tss_pe.cpp win32/thread_primitives.cpp future.cpp)
    local objects=()
    log "$arch: compiling ${sources[*]}"
    local src obj
    for src in "${sources[@]}"; do
        obj=$objdir/$(basename "${src%.cpp}").o
        "$cxx" "${flags[@]}" -c "$tree/thread-src/$src" -o "$obj"
        objects+=("$obj")
    done
    rm -f "$lib.tmp"
    "$ar" rcs "$lib.tmp" "${objects[@]}"
    mv "$lib.tmp" "$lib"
    rm -rf "$objdir"
    log "$arch: wrote $lib"
}

if [[ -z $(orig_tarball) || ! -f $tree/.complete ]]; then
    fetch_source
fi
extract_source
for arch in "${archs[@]}"; do
    build_arch "$arch"
done
