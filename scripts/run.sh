#!/usr/bin/env bash
# Builds derov.exe and starts it under Wine from build/run/, with a blank rule database
# beside it when there is none (an existing one is kept). Without a display of yours it
# runs on a virtual one, saves a screenshot of the window and prints where.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target derov

run="$top/build/run"
mkdir -p "$run"
cp build/windows/derov.exe "$run/derov.exe"
if [ ! -e "$run/derov.sdb" ]; then
  python3 -c 'import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); c.executescript(open(sys.argv[2], encoding="utf-8").read()); c.commit()' \
    "$run/derov.sdb" data/schema.sql
  echo "run: made a blank $run/derov.sdb"
fi

source scripts/wine-session.sh
wine_session_start
cd "$run"
if [ -z "$wine_session_xvfb" ]; then
  echo "run: starting derov.exe on $DISPLAY (close its window to end)"
  wine derov.exe </dev/null
  exit 0
fi

# No display of yours: show it on the virtual one and take a picture of it.
wine derov.exe </dev/null >/dev/null 2>&1 &
program=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^diruzirivi' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
picture="$run/screenshot.png"
if [ -n "$window" ]; then
  sleep 1  # let it paint
  import -window root -crop "$(xdotool getwindowgeometry --shell "$window" \
    | awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} /^X/{x=$2} /^Y/{y=$2} END{print w "x" h "+" x "+" y}')" \
    +repage "$picture"
  echo "run: derov.exe is up; screenshot of its window: $picture"
else
  import -window root "$picture"
  echo "run: no main window appeared (a message box instead?); screenshot of the screen: $picture"
fi
kill "$program" 2>/dev/null || true
