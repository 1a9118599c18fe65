#!/usr/bin/env bash
# Builds reeljoin and all its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan and runs them; any report of
# either, or of the leak checker, fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++ cmake make libgtest-dev libgmock-dev libgif-dev pkg-config
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DREELJOIN_TESTS=ON \
    -DCMAKE_CXX_FLAGS="$sanitize -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
cmake --build build-asan -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
