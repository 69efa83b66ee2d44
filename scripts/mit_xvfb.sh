#!/usr/bin/env bash
# Runs a command on a virtual X server of its own (Mesa's software OpenGL). Xvfb picks a
# free display number itself (-displayfd), so tests started in parallel cannot race for
# the same number, as they do with xvfb-run -a. -noreset: a test that closes its last
# connection and opens a new one must not meet a server in the middle of its reset.
# Terminated itself (a test timeout), it ends the command and the server too. What Xvfb
# says is kept and shown when the server or the command fails.
set -u
fifo=$(mktemp -u)
protokoll=$(mktemp)
xvfb=""
kommando=""

aufraeumen() {
  [ -n "$kommando" ] && kill "$kommando" 2>/dev/null && wait "$kommando" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -f "$fifo" "$protokoll"
}
zeige_xvfb() {
  if [ -s "$protokoll" ]; then
    echo "--- Xvfb:" >&2
    cat "$protokoll" >&2
  fi
}
trap 'aufraeumen; exit 130' INT
trap 'aufraeumen; exit 143' TERM
trap 'aufraeumen; exit 129' HUP

mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" 2>"$protokoll" &
xvfb=$!
nummer=""
read -r -t 30 nummer <"$fifo"
if [ -z "$nummer" ]; then
  echo "Xvfb did not start" >&2
  zeige_xvfb
  aufraeumen
  exit 1
fi
# In the background, so that a signal to this script is handled while the command runs.
DISPLAY=":$nummer" LIBGL_ALWAYS_SOFTWARE=1 "$@" &
kommando=$!
wait "$kommando"
ergebnis=$?
kommando=""
[ "$ergebnis" -ne 0 ] && zeige_xvfb
aufraeumen
exit "$ergebnis"
