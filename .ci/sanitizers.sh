#!/usr/bin/env bash
# Builds the program and its whole test suite with the address and
# undefined-behaviour sanitizers (the end-to-end tests then run the
# instrumented program too) and runs it; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
# cmake, g++, GoogleTest and zlib come from .ci/run's installs.

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-asan -j2
# abort_on_error: a report ends the process with a signal, so no test can
# mistake it for one of orbitpick's own exit statuses.
ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}" \
  ctest --test-dir build-asan --output-on-failure -j2
