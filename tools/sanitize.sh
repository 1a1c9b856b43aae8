#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the program and every test with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++), then runs the test suite. Any report of
# either fails the run. Slow: not part of CI.
#
#   tools/sanitize.sh [build folder, default build-asan]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-asan}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLYPHOR_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$(nproc)"

# Leaks count too. The options also reach the programs the tests start, so
# a report there ends the program with a signal, which its test catches.
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1" \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
