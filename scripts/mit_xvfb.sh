#!/usr/bin/env bash
# Runs a command on a virtual X server of its own (Mesa's software OpenGL). Xvfb picks a
# free display number itself (-displayfd), so tests started in parallel cannot race for
# the same number, as they do with xvfb-run -a. -noreset: a test that closes its last
# connection and opens a new one must not meet a server in the middle of its reset.
set -u
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
xvfb=$!
nummer=""
read -r -t 30 nummer <"$fifo"
rm -f "$fifo"
if [ -z "$nummer" ]; then
  echo "Xvfb did not start" >&2
  kill "$xvfb" 2>/dev/null
  exit 1
fi
DISPLAY=":$nummer" LIBGL_ALWAYS_SOFTWARE=1 "$@"
ergebnis=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $ergebnis
