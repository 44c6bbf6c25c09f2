# LAME for MinGW, the encoder behind our MPEG Layer-3 ACM driver
# (standins/mp3acm). Sourced by scripts/setup (uses $cache, log); builds
# Debian's `lame` source package once into $cache/mingw-lame as a static
# library with its header. Never leaves the source in the tree.
lame_prefix=$cache/mingw-lame
if [ ! -f "$lame_prefix/lib/libmp3lame.a" ] || [ ! -f "$lame_prefix/include/lame/lame.h" ]; then
  log "building LAME for MinGW"
  lame_work=$cache/src-lame
  rm -rf "$lame_work" && mkdir -p "$lame_work"
  (cd "$lame_work" && apt-get source -qq lame >/dev/null 2>&1)
  lame_src=$(find "$lame_work" -maxdepth 1 -type d -name 'lame-*' | head -n 1)
  [ -n "$lame_src" ] || { echo "setup: lame source not found" >&2; exit 1; }
  # CFLAGS must be given: the package's compiler check would otherwise fall
  # back to -O0. No frontend, no shared library: the driver links it statically.
  (cd "$lame_src" &&
    ./configure --host=i686-w64-mingw32 CC=i686-w64-mingw32-gcc-posix CFLAGS="-O2" \
      --prefix="$lame_prefix" --disable-shared --enable-static --disable-frontend \
      --disable-decoder >/dev/null 2>&1 &&
    make -j4 >/dev/null 2>&1 && make install >/dev/null 2>&1) ||
    { echo "setup: building LAME for MinGW failed" >&2; exit 1; }
  rm -rf "$lame_work"
fi
