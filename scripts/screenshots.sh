#!/usr/bin/env bash
# Remakes the README's pictures of derov.exe at work (docs/main-window-running.png and
# docs/tip-window.png) under Wine, against the scripted local server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target derov >/dev/null
source scripts/wine-session.sh
wine_session_start
python3 scripts/screenshots.py
