#!/usr/bin/env bash
# Runs a Windows program of the build under Wine for the tests: a private 64-bit prefix made once,
# a private Xvfb display, and ALSA set up so that waveOut output is captured to a file at real-time
# pace. ctest uses it as the cross-compiling emulator.
#   wine-test.sh [--harness DIR [--log-pixels N]] PROGRAM.exe [ARGS...]   run a program
#   wine-test.sh [--harness DIR [--log-pixels N]] --start | --stop          bring the harness up, or down
# --log-pixels gives the prefix that display scale (96 is 100 %, 144 is 150 %) when it is made.
# Only processes this script started are stopped (by PID), and the wineserver of the private prefix.
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
harness=${LUMETRA_HARNESS:-$repo/build/harness}
if [ "${1:-}" = --harness ]; then harness=$2; shift 2; fi
log_pixels=96
if [ "${1:-}" = --log-pixels ]; then log_pixels=$2; shift 2; fi
mkdir -p "$harness"
harness=$(cd "$harness" && pwd)

# 64-bit Wine, called by its loader: Debian's wine wrapper prefers the 32-bit loader whenever it is
# installed, and that one cannot start where the kernel does not execute 32-bit binaries.
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINELOADER=$wine WINESERVER=$wineserver
export WINEPREFIX=$harness/prefix WINEARCH=win64 WINEDEBUG=${LUMETRA_WINEDEBUG:--all}
# No Mono/Gecko prompts; a crash ends the process instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
# LUMETRA_SINK=null: output goes nowhere, unpaced and uncaptured (for programs that only time
# their own work and would otherwise wait on the sound).
if [ "${LUMETRA_SINK:-}" = null ]; then
  export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$harness/asound-null.conf
else
  export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$harness/asound.conf
fi
export LUMETRA_PACER=$repo/scripts/pace-audio.py

# Background servers must not inherit the harness lock (fd 9) or a test's output pipes.
quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

xvfb_alive() {
  [ -f "$harness/xvfb.pid" ] && kill -0 "$(cat "$harness/xvfb.pid")" 2>/dev/null
}

start_xvfb() {
  rm -f "$harness/display"
  # -displayfd picks a free display and writes its number; stdio off so no test pipe is held.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$harness/display" </dev/null >/dev/null 2>&1 9>&- &
  echo $! >"$harness/xvfb.pid"
  for _ in $(seq 1 100); do
    [ -s "$harness/display" ] && break
    sleep 0.05
  done
  [ -s "$harness/display" ] || { echo "wine-test: Xvfb did not start" >&2; return 1; }
}

write_alsa_config() {
  # The file plugin pipes a WAV stream into the pacer, which consumes it at the stream's byte
  # rate (so the player's clock is real time) and appends the raw samples to $LUMETRA_CAPTURE.
  cat >"$harness/asound.conf" <<CONF
pcm.!default {
  type file
  slave.pcm "null"
  format "wav"
  file "| python3 $repo/scripts/pace-audio.py"
}
CONF
}

start_harness() {
  [ -f "$harness/asound.conf" ] || write_alsa_config
  [ -f "$harness/asound-null.conf" ] || printf 'pcm.!default {\n  type null\n}\n' >"$harness/asound-null.conf"
  if [ ! -f "$WINEPREFIX/.lumetra-ready-64-$log_pixels" ]; then
    rm -rf "$WINEPREFIX"
    quiet $wine wineboot -i
    quiet $wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$log_pixels" /f
    quiet $wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f
    # Xvfb has no window manager: unmanaged windows hide and close at once instead of Wine
    # waiting two seconds for a manager that never answers.
    quiet $wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet $wineserver -w
    touch "$WINEPREFIX/.lumetra-ready-64-$log_pixels"
  fi
  xvfb_alive || start_xvfb || return 1
  # A persistent server and the session processes, started with stdio on /dev/null: otherwise
  # they inherit ctest's output pipe and ctest waits for them.
  # An idle notepad keeps the session (services, the desktop's explorer) alive between tests,
  # so no test pays for starting it or has ctest wait on it.
  if ! { [ -f "$harness/session.pid" ] && kill -0 "$(cat "$harness/session.pid")" 2>/dev/null; }; then
    quiet $wineserver -p60
    DISPLAY=:$(cat "$harness/display") setsid $wine notepad.exe </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$harness/session.pid"
    DISPLAY=:$(cat "$harness/display") quiet $wine cmd /c exit 0
  fi
  return 0
}

stop_harness() {
  quiet $wineserver -k
  rm -f "$harness/session.pid"
  if xvfb_alive; then
    kill "$(cat "$harness/xvfb.pid")" 2>/dev/null
  fi
  rm -f "$harness/xvfb.pid" "$harness/display"
}

case "${1:-}" in
  --start) (flock 9; start_harness) 9>"$harness/lock"; exit $? ;;
  --stop) (flock 9; stop_harness) 9>"$harness/lock"; exit 0 ;;
  "") echo "usage: $0 [--harness DIR] PROGRAM.exe [ARGS...] | --start | --stop" >&2; exit 2 ;;
esac

(flock 9; start_harness) 9>"$harness/lock" || exit 1
export DISPLAY=:$(cat "$harness/display")

if [ -z "${LUMETRA_CAPTURE:-}" ]; then
  mkdir -p "$harness/capture"
  name=$(basename "$1" .exe)
  for a in "$@"; do
    case "$a" in --gtest_filter=*) name="$name-${a#--gtest_filter=}";; esac
  done
  export LUMETRA_CAPTURE=$harness/capture/$(echo "$name" | tr -c 'A-Za-z0-9_.-' '_')-$$.raw
  rm -f "$LUMETRA_CAPTURE"
fi

case " $* " in
  *" --gtest_filter="*) ;;
  *) $wine "$@"; exit $? ;;
esac

# A test program. Rarely, Wine itself fails one: its loader dies by a signal (seen once, after the
# test had passed), or it ends with an error before the program printed its first line (seen once).
# Neither says anything about the test, so such a run is tried once more, and says so. A test that
# fails or crashes inside the program still fails: that ends with the program's own exit code.
out=$harness/out-$$.txt
for attempt in 1 2; do
  $wine "$@" | tee "$out"
  status=${PIPESTATUS[0]}
  if [ "$status" -eq 0 ] || { [ "$status" -lt 128 ] && grep -q '^\[==========\]' "$out"; }; then break; fi
  [ "$attempt" -eq 2 ] && break
  echo "wine-test: Wine failed the run (status $status) outside the test; running it again" >&2
  [ -n "${LUMETRA_CAPTURE:-}" ] && : >"$LUMETRA_CAPTURE"
done
rm -f "$out"
exit "$status"
