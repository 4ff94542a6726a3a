#!/usr/bin/env bash
# Installs what the Windows cross build and its tests need, from Debian's
# packages only: the MinGW-w64 compilers (Debian's posix thread model; the
# DLLs themselves use Windows' own threads), wine64 to run the 64-bit
# programs, and the sources of libmad, libFLAC, SQLite and qm-dsp, which
# have no MinGW packages (SQLite's single-file form is made from its source
# with Tcl, as upstream makes it). Idempotent: it does
# nothing that is already done.
#
# wine32 is never installed: with it /usr/bin/wine picks a 32-bit loader that
# these kernels refuse to run. Programs run through /usr/lib/wine/wine64 with
# WINELOADER pointing at it (scripts/windows-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
packages=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 dpkg-dev xvfb xauth x11-apps xdotool googletest
          tcl8.6 make gcc)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  $SUDO apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# libmad's source: the upstream tarball inside Debian's source package.
src_dir=${TUNEDECK_WINDOWS_SOURCES:-build-windows/sources}
mkdir -p "$src_dir"
if ! ls "$src_dir"/libmad_0.15.1b.orig.tar.gz "$src_dir"/flac_1.4.2+ds.orig.tar.xz "$src_dir"/sqlite3_3.40.1.orig.tar.xz \
     "$src_dir"/qm-dsp_1.7.1.orig.tar.gz >/dev/null 2>&1; then
  # Source lines of their own, beside the binary ones, so nothing else changes.
  list=/etc/apt/sources.list.d/tunedeck-deb-src.sources
  if [ ! -f "$list" ]; then
    echo "== enabling Debian source packages ($list)"
    $SUDO tee "$list" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    updated=0
  fi
  [ "$updated" -eq 1 ] || $SUDO apt-get update -qq
  echo "== fetching the decoders' sources"
  # Debian's own patch file is no longer served; apt-get then reports a
  # failure after it has fetched and checked the upstream tarball, which is
  # all the build uses.
  (cd "$src_dir" && { apt-get source --download-only -qq libmad; apt-get source --download-only -qq flac;
                      apt-get source --download-only -qq sqlite3; apt-get source --download-only -qq qm-dsp; } 2>&1 |
     grep -v -e '\.diff\.gz' -e '\.debian\.tar' -e 'Failed to fetch some' -e 'unsandboxed' || true)
fi
if [ ! -f "$src_dir"/libmad_0.15.1b.orig.tar.gz ] || [ ! -f "$src_dir"/flac_1.4.2+ds.orig.tar.xz ] ||
   [ ! -f "$src_dir"/sqlite3_3.40.1.orig.tar.xz ] || [ ! -f "$src_dir"/qm-dsp_1.7.1.orig.tar.gz ]; then
  echo "libmad's, flac's, sqlite3's or qm-dsp's source could not be fetched" >&2
  exit 1
fi

# SQLite's single file (sqlite3.c and sqlite3.h), made once from its source
# by upstream's own build with the machine's compiler and Tcl.
amalgamation="$src_dir/sqlite3-amalgamation"
if [ ! -f "$amalgamation/sqlite3.c" ]; then
  echo "== making SQLite's single-file source"
  work=$(mktemp -d)
  tar -xf "$src_dir"/sqlite3_3.40.1.orig.tar.xz -C "$work"
  mkdir "$work/build"
  (cd "$work/build" && env -u CC -u CFLAGS "$work"/sqlite3-3.40.1/configure --quiet >/dev/null &&
     make -s sqlite3.c >/dev/null)
  mkdir -p "$amalgamation"
  cp "$work/build/sqlite3.c" "$work/build/sqlite3.h" "$amalgamation"/
  rm -rf "$work"
fi
