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
# `apt-get source` through an apt configuration of the cache's own: a sources
# list of deb-src entries made from the machine's deb entries (the one-line
# entries of /etc/apt/sources.list and sources.list.d/*.list, the stanzas of
# sources.list.d/*.sources), its own package lists and downloads. Nothing
# outside the cache is written and no root is needed: the machine's apt
# configuration, lists and caches stay as they are. A newest revision whose
# source the mirror lacks is passed over for the release's own.
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
mkdir -p "$cache"
# One run at a time per cache: another configure waits for this one's lists
# and libraries instead of building them over it.
if command -v flock >/dev/null; then
  exec 9>"$cache/.lock"
  flock 9
fi

# The cache's apt configuration: deb-src entries for the machine's deb and
# deb-src entries (each once), and lists and downloads of its own. The lists
# are fetched again when the entries change.
apt=$cache/apt
mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
aptOptions=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
  -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache")
oneLine=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list)
stanzas=(/etc/apt/sources.list.d/*.sources)
sed -n 's/^[[:space:]]*deb\(-src\)\{0,1\}[[:space:]]\{1,\}/deb-src /p' "${oneLine[@]}" 2>/dev/null |
  awk '!seen[$0]++' >"$apt/sources.list.new" || true
# Stanzas (blank-line separated) whose Types name deb or deb-src, as deb-src.
for f in "${stanzas[@]}"; do
  if [ -f "$f" ]; then
    cat "$f"
    echo
  fi
done | awk 'BEGIN { RS = "" }
  {
    kept = ""; source = 0
    n = split($0, lines, "\n")
    for (i = 1; i <= n; ++i) {
      if (tolower(lines[i]) ~ /^types:/) {
        if (tolower(lines[i]) ~ /(:|[[:space:]])deb(-src)?([[:space:]]|$)/) source = 1
        lines[i] = "Types: deb-src"
      }
      kept = kept lines[i] "\n"
    }
    if (source && !seen[kept]++) printf "%s\n", kept
  }' >"$apt/sources.list.d/system.sources.new"
[ -s "$apt/sources.list.new" ] || [ -s "$apt/sources.list.d/system.sources.new" ] ||
  fail "no deb entry in the apt sources (/etc/apt/sources.list, /etc/apt/sources.list.d)"
changed=0
for f in "$apt/sources.list" "$apt/sources.list.d/system.sources"; do
  cmp -s "$f.new" "$f" || changed=1
  mv "$f.new" "$f"
done
# A source that cannot be reached is passed over as apt does it; what is
# missing then is said when a package is not found.
aptLog=$apt/update.log
if [ $changed = 1 ] || [ ! -f "$apt/updated" ]; then
  say "apt-get update of the source package lists (into $apt)"
  rm -f "$apt/updated"
  if apt-get "${aptOptions[@]}" update >"$aptLog" 2>&1; then
    touch "$apt/updated"
  else
    say "apt-get update: $(grep -m1 '^[EW]:' "$aptLog" || echo "failed (see $aptLog)")"
  fi
fi
newest() { apt-cache "${aptOptions[@]}" showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1; }

# fetch PACKAGE: the source of PACKAGE unpacked in $cache/sources, of the
# newest revision where the mirror has it, else of the release's own (asked
# for by the release's name: a version alone may be taken for the newest
# one's again), else the newest already there; prints the version taken.
fetch() {
  local package=$1 version got tmp
  version=$(newest "$package")
  [ -n "$version" ] || fail "no source package $package in the apt sources (see $aptLog)"
  if [ -f "$cache/sources/$package-$version/.complete" ]; then
    echo "$version"
    return
  fi
  tmp=$(mktemp -d "$cache/sources/.fetch-XXXXXX")
  if (cd "$tmp" && apt-get "${aptOptions[@]}" source --download-only "$package=$version" >fetch.log 2>&1); then
    got=$version
  else
    rm -f "$tmp"/*
    if (cd "$tmp" && apt-get "${aptOptions[@]}" source --download-only "$package/$codename" >fetch.log 2>&1); then
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
