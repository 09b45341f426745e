#!/bin/bash
# Sets up, builds and runs Veska. Without a display it starts a virtual X display (Xvfb) with a
# tray (trayer), runs Veska there and saves a screenshot of the screen every few seconds.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
bash scripts/build.sh -DVESKA_TESTS=OFF -DVESKA_BENCH=OFF
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/veska
fi
display=:${VESKA_DISPLAY:-57}
# -noreset: otherwise the server resets as xdpyinfo leaves, and may refuse trayer meanwhile.
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/tmp/veska-xvfb.log 2>&1 &
xvfb=$!
trap 'kill $xvfb ${tray:-} 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge top --align right --widthtype request --height 24 --transparent false --tint 0xc0c0c0 &
tray=$!
shot=$PWD/build/veska-screen.png
echo "Veska runs on the virtual display $display with a tray at the top right."
echo "A screenshot is saved to $shot every 5 seconds; use 'DISPLAY=$display xdotool' to click."
echo "Press Ctrl+C to stop."
./build/veska &
veska=$!
while kill -0 $veska 2>/dev/null; do
  import -window root "$shot" 2>/dev/null || true
  sleep 5
done
wait $veska
