#!/usr/bin/env bash
# Builds derov.exe and starts it under Wine from build/windows/app/, with a blank rule
# database beside it when there is none. Without a display it runs on a virtual one and
# saves a screenshot of the screen, printing where.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target derov
echo "run: built $top/build/windows/derov.exe"
