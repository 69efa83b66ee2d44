#!/usr/bin/env bash
# Installs what is needed, builds, and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
if [ -x build/bin64/ToolVelmar ]; then
  exec build/bin64/ToolVelmar "$@"
else
  echo "Built. The program entry does not exist yet, so there is no tool to start."
fi
