# What a user's Windows has and a fresh Wine prefix lacks, put into our
# prefix. Sourced by scripts/setup (after lame.sh) and again by scripts/run
# after its build, so that a prefix made before this step, or one whose codec
# a test removed, is brought back; uses $here, $cache and log. Idempotent, and
# without any Wine start when everything is in place:
#  - our MPEG Layer-3 encoder driver (standins/mp3acm) as a system codec:
#    vidmp3.acm in system32, its Drivers32 value "msacm.vidmp3", no stale
#    DriverCache entry (the Wine tests that install and remove the driver use
#    the same names);
#  - a virtual sound input for machines without a capture device: an ALSA
#    configuration in the prefix (vidorra-sound/asound.conf) whose default
#    capture device is a file device over the null device, reading a tone.
#    scripts/run hands it to ALSA (ALSA_CONFIG_PATH) when the machine has no
#    capture device of its own. The null device is not clocked: the tone
#    arrives faster than real time, and the recorder fits the sound to the
#    pictures.
# The sound server, the hook libraries, the mouse-effect helper, the player
# stub and the click sounds need no install: the build puts them beside
# Vidorra.exe (target vidorra_folder), and the program registers the sound
# server itself at start-up.
type log >/dev/null 2>&1 || log() { printf '[setup] %s\n' "$*"; }
vid_prefix=$cache/wineprefix
vid_tree=${VIDORRA_BUILD:-$here/build}/win32

# The driver, built in the Windows tree (configured here on a clean clone).
if [ ! -f "$vid_tree/build.ninja" ]; then
  cmake -S "$here" -B "$vid_tree" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DVIDORRA_CACHE="$cache" >/dev/null
fi
cmake --build "$vid_tree" --target vidorra_mp3acm >/dev/null ||
  { echo "setup: building the MP3 encoder driver failed" >&2; exit 1; }
vid_driver=$vid_tree/standins/mp3acm/vidmp3.acm
vid_sys32=$vid_prefix/drive_c/windows/system32
if ! cmp -s "$vid_driver" "$vid_sys32/vidmp3.acm" ||
   ! grep -q '^"msacm.vidmp3"="vidmp3.acm"' "$vid_prefix/system.reg"; then
  log "installing the MP3 encoder driver in the Wine prefix"
  cp "$vid_driver" "$vid_sys32/vidmp3.acm.part" && mv "$vid_sys32/vidmp3.acm.part" "$vid_sys32/vidmp3.acm"
  cat >"$cache/mp3-driver.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Drivers32]
"msacm.vidmp3"="vidmp3.acm"

[-HKEY_LOCAL_MACHINE\Software\Microsoft\AudioCompressionManager\DriverCache\msacm.vidmp3]
REG
  WINEPREFIX="$vid_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8 \
    wine regedit "$cache/mp3-driver.reg" >/dev/null 2>&1
  # The registry reaches system.reg when the server ends (a persistent one
  # never does: bound the wait).
  WINEPREFIX="$vid_prefix" timeout 30 wineserver -w || true
fi

# The virtual sound input: a tone of 440 Hz, 8-bit unsigned at 11025 Hz (the
# program's first sound format), two minutes, then the file device repeats
# its last block.
vid_sound=$vid_prefix/vidorra-sound
if [ ! -s "$vid_sound/tone.raw" ] || [ ! -s "$vid_sound/asound.conf" ]; then
  log "adding a virtual sound input to the Wine prefix"
  mkdir -p "$vid_sound"
  python3 - "$vid_sound/tone.raw" <<'PY'
import math, sys
rate, seconds = 11025, 120
cycle = bytes(128 + round(48 * math.sin(2 * math.pi * 440 * i / rate)) for i in range(rate))
with open(sys.argv[1] + ".part", "wb") as f:
    f.write(cycle * seconds)
import os
os.replace(sys.argv[1] + ".part", sys.argv[1])
PY
  cat >"$vid_sound/asound.conf" <<CONF
# Vidorra's virtual sound input (scripts/setup.d/prefix.sh): the default
# capture device reads a tone from a file; there is no playback device.
pcm.!default {
  type asym
  capture.pcm {
    type file
    slave.pcm "null"
    file "/dev/null"
    infile "$vid_sound/tone.raw"
    format "raw"
  }
}
CONF
fi
