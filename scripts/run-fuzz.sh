#!/usr/bin/env bash
# Builds the fuzz target with clang in build-fuzz, runs it once on every
# input that once found a fault, then fuzzes for FUZZ_SECONDS (60 by
# default) from the seed corpus, with the limits of a run: no allocation
# of 16 MB or more, 512 MB resident at most, 2 seconds per input. Any
# crash, leak, limit hit or failed check fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang libclang-rt-14-dev cmake make libgif-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DREELJOIN_TESTS=OFF -DREELJOIN_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)"

fuzzer=build-fuzz/fuzz/file_pass_fuzz
"$fuzzer" fuzz/regressions/*

# New inputs go to build-fuzz/corpus; the committed seeds stay as they are.
mkdir -p build-fuzz/corpus build-fuzz/artifacts
log=build-fuzz/fuzz.log
if ! "$fuzzer" -max_total_time="${FUZZ_SECONDS:-60}" -malloc_limit_mb=16 -rss_limit_mb=512 -timeout=2 \
    -dict=fuzz/gif.dict -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ \
    build-fuzz/corpus fuzz/corpus >"$log" 2>&1; then
    cat "$log"
    echo "Fuzzing failed; the input that failed is in build-fuzz/artifacts/"
    exit 1
fi
grep -E "INITED|DONE|^stat::|^Done" "$log"
