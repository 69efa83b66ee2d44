#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: once as it ships and
# once under AddressSanitizer and UndefinedBehaviorSanitizer. Warnings fail the build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DVELMAR_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-san -G Ninja -DVELMAR_SANITIZE=ON -DVELMAR_BENCH=OFF -DVELMAR_WERROR=ON
cmake --build build-san -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-san --output-on-failure -j "$jobs"
