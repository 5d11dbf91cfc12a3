#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer, and runs every test executable whole and every shell script; then builds
# with clang, so that code only one of the two compilers accepts is caught, and runs each
# test in a process of its own, the scripts again and the benchmarks' quick passes. So the
# sanitizers see the tests of an executable one after another in one process, and clang that
# each test stands alone.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh clang libclang-rt-14-dev
# Line tables are all a sanitizer's report needs; full debug information only slows the build.
# Both builds make warnings errors, and the GCC one compiles a test file as a release build does.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DHVD_SANITIZE=ON -DHVD_WARNINGS_AS_ERRORS=ON
cmake --build build/asan
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
ctest --test-dir build/asan --output-on-failure -j "$(nproc)" -LE each

cmake -S . -B build/clang -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g0 -DCMAKE_CXX_COMPILER=clang++ -DHVD_BENCH=ON \
  -DHVD_WARNINGS_AS_ERRORS=ON
cmake --build build/clang
ctest --test-dir build/clang --output-on-failure -j "$(nproc)" -E '\.whole$'

# The installed library: a client finds it with find_package and creates a project by class id
# through the installed host library; the installed shell runs the main job's script and sources
# the installed migration script.
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install build/clang --prefix "$prefix/install" > /dev/null
cmake -S tests/install -B "$prefix/client" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_PREFIX_PATH="$prefix/install" > /dev/null
cmake --build "$prefix/client" > /dev/null
"$prefix/client/hvd_client"
# Neither the installed files nor the client look for libraries relative to the working directory.
cmake "-DPATHS=$prefix/install/bin;$prefix/install/lib;$prefix/client/hvd_client" -P scripts/check_runpath.cmake > /dev/null
"$prefix/install/bin/velsh" examples/smoke.tcl > /dev/null
"$prefix/install/bin/velsh" tests/velsh/migration_script.tcl > /dev/null
