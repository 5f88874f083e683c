#!/usr/bin/env bash
# Starts the built player under Wine on the demo playlist. With a DISPLAY it runs on that display
# until closed. Without one it runs inside a private Xvfb, saves a screenshot of the window to
# BUILD/screenshot.png after a few seconds, and closes it.
set -euo pipefail
build=${1:-build}
build=$(cd "$build" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
demo_unix=$build/media/demo
demo="Z:${demo_unix//\//\\}"
exe=$build/dist/Lumetra.exe

if [ -n "${DISPLAY:-}" ]; then
  # The build given is the 64-bit one (see the Makefile), run by 64-bit Wine's own loader.
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=/usr/lib/wine/wine64
  exec /usr/lib/wine/wine64 "$exe" "$demo"
fi

harness=$build/run-harness
wt() { "$repo/scripts/wine-test.sh" --harness "$harness" "$@"; }
wt --start
trap 'wt --stop' EXIT
export LUMETRA_CAPTURE=$harness/run-audio.raw
rm -f "$LUMETRA_CAPTURE"

wt "$exe" "$demo" </dev/null >/dev/null 2>&1 &
player=$!
export DISPLAY=:$(cat "$harness/display")

window=""
for _ in $(seq 1 100); do
  window=$(xwininfo -root -tree 2>/dev/null | grep -F "\"Orvandel's Lumetra\"" | awk '{print $1}' | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "run: the player window did not appear" >&2
  kill "$player" 2>/dev/null || true
  exit 1
fi
sleep 4
import -window "$window" "$build/screenshot.png"
echo "run: screenshot of the player window saved to $build/screenshot.png"
if [ -s "$LUMETRA_CAPTURE" ]; then
  echo "run: $(( $(stat -c %s "$LUMETRA_CAPTURE") / 4 )) audio frames were played (captured to $LUMETRA_CAPTURE)"
fi
kill "$player" 2>/dev/null || true
wait "$player" 2>/dev/null || true
