#!/usr/bin/env bash
# Builds everything and runs every test: the engine natively (plain, with ASan+UBSan, with
# TSan), then derov.exe and its tests under Wine. Exits non-zero on the first failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./scripts/setup.sh

jobs=$(nproc)
for preset in native native-asan native-tsan; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
done

echo "== windows: build"
source scripts/wine-session.sh
wine_session_start
cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== windows: tests under Wine"
# One at a time: the window tests share one display, its focus and its pixels.
ctest --preset windows
echo "== all tests passed"
