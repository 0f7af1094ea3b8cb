#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then the core's tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer (GLib allocating with plain malloc, so that
# LeakSanitizer sees every GMime object).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DMENDORA_SANITIZE=ON -DMENDORA_GUI=OFF -DMENDORA_BENCH=OFF
cmake --build build-asan -j"$jobs"
G_SLICE=always-malloc G_DEBUG=gc-friendly \
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -L core --output-on-failure -j"$jobs" --timeout 600
