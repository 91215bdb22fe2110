#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a plain build,
# once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# Release, without debug information: the tests and benchmarks need the
# optimiser, nobody debugs the CI build, and the debug information was a fifth
# of its time.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

# Line tables (-g1) are all the sanitizers' reports need to name file and line.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKORVANE_SANITIZE=ON -DKORVANE_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600

if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi
