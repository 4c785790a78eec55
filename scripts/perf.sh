#!/usr/bin/env bash
# Measures and prints derov's performance figures (docs/PERFORMANCE.md shows them):
#   scripts/perf.sh [page-text] [size] [startup] [threads] [calls] [churn] [minute]
# (no argument: all)
# page-text: the page text benchmark (native, Google Benchmark); size: derov.exe as built
# and as packed; startup: launch to the main window under Wine; threads: what a thread
# costs under Wine; calls: wineserver calls per monitoring cycle; churn: the minute's
# fetches through Wine's request object without derov; minute: 99 idle-page rules for a
# minute under Wine. It only times and prints; nothing here passes or fails on a figure.
# Extra arguments for the Wine parts go in PERF_STARTUP_ARGS, PERF_CHURN_ARGS and
# PERF_MINUTE_ARGS.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
parts=("$@")
[ ${#parts[@]} -eq 0 ] && parts=(page-text size startup threads calls churn minute)

./scripts/setup.sh >/dev/null
echo "== machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"

wine_up=""
wine_up() {
  if [ -z "$wine_up" ]; then
    source scripts/wine-session.sh
    wine_session_start
    wine_up=1
  fi
}

for part in "${parts[@]}"; do
  case "$part" in
    page-text)
      echo "== page text pipeline (native)"
      cmake --preset native >/dev/null
      cmake --build --preset native --target page_text_bench >/dev/null
      # The table reporter paints in colour whatever the flags say: plain text here.
      build/native/bench/page_text_bench | sed "s/\x1b\[[0-9;]*m//g"
      ;;
    size)
      echo "== size"
      cmake --preset windows >/dev/null
      cmake --build --preset windows --target derov_zip >/dev/null
      version=$(sed -nE 's/^project\(derov VERSION ([0-9][0-9.]*)[ )].*/\1/p' CMakeLists.txt)
      printf '%-44s %9d bytes\n' "build/windows/derov.exe (as linked)" \
        "$(stat -c %s build/windows/derov.exe)"
      printf '%-44s %9d bytes\n' "derov.exe in the zip (debug sections stripped)" \
        "$(stat -c %s build/windows/package/derov.exe)"
      printf '%-44s %9d bytes\n' "derov-$version-win64.zip" \
        "$(stat -c %s "build/windows/derov-$version-win64.zip")"
      x86_64-w64-mingw32-size -A build/windows/package/derov.exe |
        awk '$1 ~ /^\.(text|rdata|data|pdata|xdata|bss)$/ {printf "  %-8s %9d bytes\n", $1, $2}'
      ;;
    startup | threads | calls | churn | minute)
      cmake --preset windows >/dev/null
      cmake --build --preset windows --target derov >/dev/null
      wine_up
      echo "== $part (Wine $(wine --version), display $DISPLAY)"
      case "$part" in
        startup) python3 bench/wine_bench.py startup ${PERF_STARTUP_ARGS:-} ;;
        threads) python3 bench/wine_bench.py threads ;;
        calls) python3 bench/wine_bench.py calls ;;
        churn) python3 bench/wine_bench.py churn ${PERF_CHURN_ARGS:-} ;;
        minute) python3 bench/wine_bench.py minute ${PERF_MINUTE_ARGS:-} ;;
      esac
      ;;
    *)
      echo "perf: unknown part '$part' (page-text, size, startup, threads, calls, churn, minute)" >&2
      exit 2
      ;;
  esac
done
