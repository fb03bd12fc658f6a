#!/usr/bin/env bash
# Builds the libraries the Windows converter and viewer link statically
# (FreeType with zlib, libpng and brotli; no HarfBuzz, no bzip2) from Debian's
# own source packages, with the MinGW-w64 compilers of the given toolchain file:
#
#   cmake/windows-deps.sh TOOLCHAIN-FILE
#
# zlib is Debian's libz-mingw-w64-dev. The result is a prefix in the cache
# (${FONTGRAFT_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fontgraft}), named
# by the source versions and by this script, and reused while they stay the
# same, with the
# libraries, their headers, FreeType's CMake package and the licence texts in
# share/licenses. Its path is the last line on standard output; progress goes
# to standard error. Where the sources cannot be had the status is 1 and the
# last line on standard error says why.
#
# The source packages are those of this machine's Debian release, fetched with
# `apt-get source`; where no deb-src entry is configured, one is added beside
# the existing deb entries (as root). A newest revision whose source the
# mirror lacks is passed over for the release's own.
set -euo pipefail

toolchain=$(realpath "$1")
cache=${FONTGRAFT_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fontgraft}
mingw=/usr/x86_64-w64-mingw32
jobs=$(nproc 2>/dev/null || echo 2)

say() { echo "windows-deps: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

command -v apt-get >/dev/null && command -v dpkg-source >/dev/null ||
  fail "apt-get and dpkg-source (Debian's dpkg-dev) are needed to fetch the sources"
[ -f $mingw/lib/libz.a ] && [ -f $mingw/include/zlib.h ] ||
  fail "zlib for MinGW-w64 is missing (Debian: apt-get install libz-mingw-w64-dev)"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")

# A deb-src entry for every deb entry, where there is none at all.
hasSources() {
  grep -qs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
    grep -qsi '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}
if ! hasSources; then
  [ "$(id -u)" = 0 ] ||
    fail "no deb-src entry in the apt sources: add one (as root) or run this as root"
  say "adding deb-src entries (/etc/apt/sources.list.d/fontgraft-deb-src.*)"
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/I' "$f"
    echo
  done >/etc/apt/sources.list.d/fontgraft-deb-src.sources
  sed -n 's/^deb \(.*\)/deb-src \1/p' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    2>/dev/null >/etc/apt/sources.list.d/fontgraft-deb-src.list || true
fi
newest() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1; }
if [ -z "$(newest freetype)" ]; then
  [ "$(id -u)" = 0 ] || fail "apt knows no source packages: run apt-get update (as root)"
  say "apt-get update (the source package lists)"
  apt-get update >/dev/null 2>&1 || fail "apt-get update failed"
fi

# fetch PACKAGE: the source of PACKAGE unpacked in $cache/sources, of the
# newest revision where the mirror has it, else of the release's own (asked
# for by the release's name: a version alone may be taken for the newest
# one's again), else the newest already there; prints the version taken.
fetch() {
  local package=$1 version got tmp
  version=$(newest "$package")
  [ -n "$version" ] || fail "no source package $package in the apt sources"
  if [ -f "$cache/sources/$package-$version/.complete" ]; then
    echo "$version"
    return
  fi
  tmp=$(mktemp -d "$cache/sources/.fetch-XXXXXX")
  if (cd "$tmp" && apt-get source --download-only "$package=$version" >fetch.log 2>&1); then
    got=$version
  else
    rm -f "$tmp"/*
    if (cd "$tmp" && apt-get source --download-only "$package/$codename" >fetch.log 2>&1); then
      got=$(cd "$tmp" && ls "$package"_*.dsc | sed "s|^${package}_||; s|\.dsc$||")
    else
      got=$(cd "$cache/sources" && ls -d "$package"-*/.complete 2>/dev/null |
        sed "s|^$package-||; s|/.complete$||" | sort -V | tail -1)
      [ -n "$got" ] || fail "cannot fetch the source of $package: $(grep -m1 '^E:' "$tmp/fetch.log" ||
        echo 'apt-get source failed')"
    fi
    say "$package $version: its source is not on the mirror; taking $got, the release's own"
  fi
  if [ ! -f "$cache/sources/$package-$got/.complete" ]; then
    rm -rf "$cache/sources/$package-$got"
    (cd "$tmp" && dpkg-source -x ./*.dsc src >>fetch.log 2>&1) ||
      fail "cannot unpack the source of $package $got (see $tmp/fetch.log)"
    mv "$tmp/src" "$cache/sources/$package-$got"
    touch "$cache/sources/$package-$got/.complete"
  fi
  rm -rf "$tmp"
  echo "$got"
}

mkdir -p "$cache/sources"
freetype=$(fetch freetype)
libpng=$(fetch libpng1.6)
brotli=$(fetch brotli)
zlib=$(dpkg-query -W -f '${Version}' libz-mingw-w64-dev 2>/dev/null || echo unknown)
# Named by the source versions and by this script's own text (its options).
recipe=$(sha256sum "$0" | cut -c1-8)
prefix="$cache/mingw-deps-freetype-$freetype-libpng-$libpng-brotli-$brotli-zlib-$zlib-$recipe"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

say "building FreeType $freetype, libpng $libpng and brotli $brotli for Windows (about a minute, once)"
rm -rf "$prefix" "$prefix.build"
mkdir -p "$prefix.build" "$prefix/share/licenses"
log="$prefix.build/build.log"
# Every configure: the MinGW-w64 toolchain, static libraries preferred and
# made, the prefix searched first, no pkg-config files of this machine.
cmakeBuild() {
  local name=$1 source=$2
  shift 2
  {
    cmake -S "$source" -B "$prefix.build/$name" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" \
      -DCMAKE_PROJECT_INCLUDE="$(dirname "$toolchain")/static-libraries.cmake" \
      -DBUILD_SHARED_LIBS=OFF "$@" &&
      cmake --build "$prefix.build/$name" --parallel "$jobs" &&
      cmake --install "$prefix.build/$name"
  } >>"$log" 2>&1 || fail "building $name failed (see $log)"
}
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
zlibFiles=(-DZLIB_LIBRARY=$mingw/lib/libz.a -DZLIB_INCLUDE_DIR=$mingw/include)
cmakeBuild brotli "$cache/sources/brotli-$brotli" -DBROTLI_DISABLE_TESTS=ON
cmakeBuild libpng "$cache/sources/libpng1.6-$libpng" "${zlibFiles[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
  -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
cmakeBuild freetype "$cache/sources/freetype-$freetype" "${zlibFiles[@]}" \
  -DFT_REQUIRE_ZLIB=ON -DFT_REQUIRE_PNG=ON -DFT_REQUIRE_BROTLI=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BZIP2=ON \
  -DPNG_LIBRARY="$prefix/lib/libpng16.a" -DPNG_PNG_INCLUDE_DIR="$prefix/include" \
  -DBROTLIDEC_INCLUDE_DIRS="$prefix/include" \
  -DBROTLIDEC_LIBRARIES="$prefix/lib/libbrotlidec-static.a;$prefix/lib/libbrotlicommon-static.a"

# The licence texts, FreeType's with the credit its licence asks for.
ftsrc="$cache/sources/freetype-$freetype"
year=$(sed -n 's/.*Copyright (C) [0-9]*-\([0-9]*\) by.*/\1/p' "$ftsrc/include/freetype/freetype.h" | head -1)
{
  echo "Portions of this software are copyright © ${year:-2022} The FreeType"
  echo "Project (www.freetype.org).  All rights reserved."
  echo
  cat "$ftsrc/docs/FTL.TXT"
} >"$prefix/share/licenses/FreeType-FTL.txt"
cp "$cache/sources/libpng1.6-$libpng/LICENSE" "$prefix/share/licenses/libpng-LICENSE.txt"
cp "$cache/sources/brotli-$brotli/LICENSE" "$prefix/share/licenses/brotli-LICENSE.txt"
# zlib's licence is the notice at the top of its header.
sed -n '/Copyright (C)/,/\*\//p' $mingw/include/zlib.h | sed '$d' >"$prefix/share/licenses/zlib-LICENSE.txt"

# Only the archives: nothing may link a DLL of these by mistake.
rm -f "$prefix"/bin/*.dll "$prefix"/lib/*.dll.a
touch "$prefix/.complete"
rm -rf "$prefix.build"
echo "$prefix"
