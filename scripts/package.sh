#!/usr/bin/env bash
# Builds the Windows program and writes dist/derov-<version>-win64.zip: derov.exe, a blank
# derov.sdb made from data/schema.sql and the usage note 使用说明.txt. The version is the
# project's (project(... VERSION) in CMakeLists.txt); the build makes the zip and this copies
# it out.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target derov_zip

version=$(sed -nE 's/^project\(derov VERSION ([0-9][0-9.]*)[ )].*/\1/p' CMakeLists.txt)
zip="derov-$version-win64.zip"
if [ -z "$version" ] || [ ! -f "build/windows/$zip" ]; then
  echo "package: no build/windows/$zip (version '$version')" >&2
  exit 1
fi
mkdir -p dist
cp "build/windows/$zip" "dist/$zip"
echo "package: dist/$zip"
