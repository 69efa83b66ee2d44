#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: once as it ships and
# once under AddressSanitizer and UndefinedBehaviorSanitizer (with the render context's
# thread check on); then the threaded parts (job core, log, landscape) under
# ThreadSanitizer. Warnings fail the build.
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

# Only the targets whose code runs on several threads: a whole instrumented build would cost
# far more than it could find.
cmake -S . -B build-tsan -G Ninja -DVELMAR_TSAN=ON -DVELMAR_BENCH=OFF -DVELMAR_WERROR=ON
cmake --build build-tsan -j "$jobs" --target parallelkern_tests fundament_tests velmar_tests
TSAN_OPTIONS="halt_on_error=1 abort_on_error=1" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
  -R '^(ParallelKern|ParallelKernTod|Planer|Protokoll|ProtokollInaktiv|SystemObjekt|Landschaft|GenerierungTest|SzeneTest)\.'
