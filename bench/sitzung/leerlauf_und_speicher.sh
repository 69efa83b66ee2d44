#!/usr/bin/env bash
# CPU use of the idle tool (window open, nothing happening) and its memory during scripted
# editing: double clicks that add triangles, a corner selected and dragged over the ground
# and in height, undo back to the start, redo, undo again, so that the mesh returns to where
# it was and the next edit drops the history: anything left growing is a leak. Needs a display:
#   scripts/mit_xvfb.sh bench/sitzung/leerlauf_und_speicher.sh build-rel/bin64/ToolVelmar 10
# (program, minutes of editing; prints the resident memory every half minute).
set -euo pipefail
programm=$(realpath "${1:-build-rel/bin64/ToolVelmar}")
minuten=${2:-10}
source "$(dirname "$0")/fensterheim.sh"
heim=$(fensterheim)
trap 'kill "$pid" 2>/dev/null; rm -rf "$heim"' EXIT
HOME=$heim "$programm" &
pid=$!
fenster=$(timeout 60 xdotool search --sync --name '^ToolVelmar$' | head -1)
xdotool windowfocus --sync "$fenster"
sleep 5

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$pid/status"; }
hz=$(getconf CLK_TCK)
a=$(ticks); sleep 10; b=$(ticks)
echo "idle: $(( (b - a) * 100 / (10 * hz) )) % of one core (10 s, vsync as configured: on)"
echo "start: rss $(rss) kB"

taste() { xdotool keydown "$1" sleep 0.1 keyup "$1" sleep 0.1; }
beginn=$(date +%s)
ende=$(( beginn + minuten * 60 ))
naechste=$(( $(date +%s) + 30 ))
runden=0
while [ "$(date +%s)" -lt "$ende" ]; do
  xdotool mousemove --window "$fenster" 640 468 sleep 0.3 mousedown 1 sleep 0.06 mouseup 1 sleep 0.06 \
    mousedown 1 sleep 0.06 mouseup 1 sleep 0.3 \
    mousemove --window "$fenster" 640 330 sleep 0.3 mousedown 1 sleep 0.1 mouseup 1 sleep 0.3 \
    mousedown 3 sleep 0.1 mousemove --window "$fenster" 700 360 sleep 0.1 mousemove --window "$fenster" 760 380 \
    sleep 0.1 mouseup 3 sleep 0.1 \
    keydown shift mousedown 3 sleep 0.1 mousemove --window "$fenster" 760 300 sleep 0.1 mouseup 3 keyup shift sleep 0.1
  # Undo is the key left of U (Y on this US layout), redo the key right of left Shift (Z):
  # three steps back, forward and back again, so the next double click starts afresh.
  xdotool keydown ctrl; for k in y y y z z z y y y; do taste "$k"; done; xdotool keyup ctrl
  runden=$((runden + 1))
  if [ "$(date +%s)" -ge "$naechste" ]; then
    echo "$(( $(date +%s) - beginn )) s: rss $(rss) kB after $runden rounds"
    naechste=$((naechste + 30))
  fi
done
echo "end: rss $(rss) kB after $runden rounds"
kill -TERM "$pid"  # ends like a closed window: settings saved, exit 0
wait "$pid"
echo "exit $?"
