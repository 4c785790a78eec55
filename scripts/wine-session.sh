# Sourced by the scripts that run Windows programs: a virtual display when there is none,
# one persistent wineserver for the whole run (each Wine start then costs milliseconds, not
# seconds), and a trap that stops everything this session started.

wine_session_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$wine_session_top/build/wineprefix"
export WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
wine_session_xvfb=""

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$wine_session_xvfb" ]; then
    kill "$wine_session_xvfb" 2>/dev/null || true
    wait "$wine_session_xvfb" 2>/dev/null || true
  fi
}

wine_session_start() {
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    wine_session_xvfb=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  trap wine_session_stop EXIT
  # Wine's background services inherit the output of whoever starts them: keep them off
  # our pipes so that a caller reading our output is not held open by them.
  wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1 || true
  # On our own bare display there is no window manager: Wine then draws the window frames
  # itself, instead of waiting two seconds for a manager each time a window goes away.
  local managed=Y
  [ -n "$wine_session_xvfb" ] && managed=N
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d "$managed" /f \
    </dev/null >/dev/null 2>&1 || true
}
