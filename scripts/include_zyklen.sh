#!/usr/bin/env bash
# Fails when the files of one folder include each other in a cycle. Each .h with its .cpp
# counts as one node; "A=B" arguments merge node A into B (a pair that is one unit by design).
# Usage: scripts/include_zyklen.sh FOLDER [A=B ...]
set -euo pipefail
ordner=${1:?folder}
shift
umbenennen=""
for paar in "$@"; do umbenennen+="s/^${paar%%=*}\$/${paar#*=}/;"; done
knoten() { sed -e "$umbenennen"; }

declare -A bekannt
for f in "$ordner"/*.h "$ordner"/*.cpp; do
  if [ -e "$f" ]; then bekannt[$(basename "${f%.*}" | knoten)]=1; fi
done

kanten=$(for f in "$ordner"/*.h "$ordner"/*.cpp; do
  [ -e "$f" ] || continue
  von=$(basename "${f%.*}" | knoten)
  echo "$von $von"
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$f" | while read -r ziel; do
    nach=$(basename "${ziel%.*}" | knoten)
    if [ -n "${bekannt[$nach]:-}" ] && [ "$nach" != "$von" ]; then echo "$von $nach"; fi
  done
done)

if ! fehler=$(tsort <<<"$kanten" 2>&1 >/dev/null) || [ -n "$fehler" ]; then
  echo "include cycle in $ordner:" >&2
  echo "$fehler" | sed -n 's/^tsort: //p' | grep -v "input contains a loop" >&2
  exit 1
fi
echo "no include cycle in $ordner"
