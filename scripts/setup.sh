#!/usr/bin/env bash
# Prepares this machine for building and testing derov: Debian packages, the zh_CN
# locale, the SQLite amalgamation for the Windows build and the project's Wine prefix.
# Safe to run again: each step checks first and does nothing when already done.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps="$top/build/deps"
prefix="$top/build/wineprefix"
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"

packages=(cmake ninja-build g++ libsqlite3-dev libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 xvfb locales
  fonts-wqy-microhei dpkg-dev tcl xdotool x11-utils imagemagick python3 zip unzip
  clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine gives the program code page 936 only under a Chinese locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi

# The Windows build compiles SQLite in, from the same version Debian ships natively.
if [ ! -s "$deps/sqlite3/sqlite3.c" ]; then
  echo "setup: preparing the SQLite amalgamation"
  if ! grep -rqs 'deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      | $sudo tee /etc/apt/sources.list.d/derov-deb-src.sources >/dev/null
    $sudo apt-get update -qq
  fi
  work="$deps/sqlite-src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq --download-only sqlite3 >/dev/null)
  tarball=$(ls "$work"/sqlite3_*.orig.tar.* | head -n 1)
  mkdir -p "$work/src" && tar -xf "$tarball" -C "$work/src" --strip-components=1
  (cd "$work/src" && ./configure --disable-tcl >/dev/null && make -s sqlite3.c >/dev/null 2>&1)
  mkdir -p "$deps/sqlite3"
  cp "$work/src/sqlite3.c" "$work/src/sqlite3.h" "$deps/sqlite3/"
  rm -rf "$work"
fi

# One Wine prefix for the project, booted once; later runs reuse it.
if [ ! -f "$prefix/system.reg" ]; then
  echo "setup: creating the Wine prefix"
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEDEBUG=-all LANG=zh_CN.UTF-8 wineboot -i </dev/null >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w
fi
echo "setup: ready"
