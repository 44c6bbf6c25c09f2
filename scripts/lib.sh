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

# Whether this machine's kernel runs 32-bit programs, as Wine's 32-bit loader
# is one. Where it cannot, the Wine work goes to the Wine machine
# (scripts/vm/run), an emulated machine over the same files.
host_runs_wine32() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# on_wine_machine CMD...: runs CMD here when Wine runs here, else on the Wine
# machine (built on first use), with every core and the cache and build
# folders of this run.
on_wine_machine() {
  if host_runs_wine32; then
    "$@"
  else
    VIDORRA_CACHE=$cache bash "$here/scripts/vm/make-guest" || return 1
    VIDORRA_CACHE=$cache "$here/scripts/vm/run" --cpus "$jobs" --mem "$(( jobs > 4 ? 10 : 4 ))" \
      --env VIDORRA_CACHE="$cache" --env VIDORRA_BUILD="$build" -- "$@"
  fi
}

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
  # On the Wine machine /tmp is its own and X's lock file is left out. Every
  # Wine process holds X connections, and a slow run keeps many alive at once:
  # more than the default 256 clients.
  Xvfb :$n ${VIDORRA_GUEST:+-nolock} -maxclients 2048 -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  for _ in $(seq 300); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on :$n" >&2
  return 1
}
stop_xvfb() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; xvfb_pid=; }
