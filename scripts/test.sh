#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHVD_SANITIZE=ON -DHVD_BENCH=ON
cmake --build build/asan
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
ctest --test-dir build/asan --output-on-failure -j "$(nproc)"
