#!/usr/bin/env bash
# Installs what is needed, builds, and starts the tool. It opens a window, so it needs a
# display (an X server; DISPLAY set).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
# Only the tool and the data files it reads; scripts/test.sh builds the tests and benchmarks.
cmake --build build -j "$(nproc)" --target ToolVelmar
if [ -z "${DISPLAY:-}" ]; then
  echo "Built. No display: the tool needs an X server (DISPLAY is not set)." >&2
  exit 1
fi
exec build/bin64/ToolVelmar "$@"
