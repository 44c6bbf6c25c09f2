# Shared by the scripts: where things live, the Wine environment, and a
# private Xvfb display. Sourced, not run.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${VIDORRA_CACHE:-$HOME/.cache/vidorra}
build=${VIDORRA_BUILD:-$here/build}
jobs=$(nproc)

export WINEPREFIX=$cache/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

# The ANSI code page of the Wine side is 936 under this locale.
wine_env() { env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$@"; }

configure_win32() {
  cmake -S "$here" -B "$build/win32" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
    -DVIDORRA_CACHE="$cache" >/dev/null
}

xvfb_pid=
# Starts Xvfb on the first free display from :90 on and exports DISPLAY.
start_xvfb() {
  local n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}
stop_xvfb() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; xvfb_pid=; }
