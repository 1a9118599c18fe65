#!/usr/bin/env bash
# Builds the fuzz target with clang in build-fuzz, runs it once on every
# input that once found a fault, then fuzzes from the seed corpus with the
# limits of a run: no allocation of 16 MB or more, 512 MB resident at most.
# Any crash, leak, limit hit or failed check fails the run.
#
# Without FUZZ_SECONDS (CI): a fixed number of inputs (FUZZ_RUNS, 20,000
# by default) from a fixed seed, starting from the committed seeds alone,
# so that the same commit always gives the same result.
# With FUZZ_SECONDS=N: an open-ended run of N seconds from a random seed,
# FUZZ_TIMEOUT seconds per input at most (10 by default: a loaded machine
# runs slow), that keeps the inputs it finds in
# build-fuzz/corpus for the next run. FUZZ_JOBS=J runs J such fuzzers side
# by side, one a core, sharing that corpus; each logs to build-fuzz/fuzz-J.log.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh clang libclang-rt-14-dev cmake make libgif-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DREELJOIN_TESTS=OFF -DREELJOIN_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)"

fuzzer=build-fuzz/fuzz/file_pass_fuzz
"$fuzzer" fuzz/regressions/*

mkdir -p build-fuzz/artifacts
# AddressSanitizer keeps 256 MB of freed memory by default to catch late
# uses, which counts against the resident limit; a quarter of it does.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}
limits=(-malloc_limit_mb=16 -rss_limit_mb=512 -dict=fuzz/gif.dict -print_final_stats=1
    -artifact_prefix=build-fuzz/artifacts/)
if [ -z "${FUZZ_SECONDS:-}" ]; then
    # New inputs go to a scratch directory, so that nothing left by an
    # earlier run changes what this one does. Comparison operands are not
    # taken as mutations: some are addresses, which differ from run to run.
    # The time limit per input is generous: a slow machine must not fail
    # where a fast one passes.
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    run=("$fuzzer" -seed=1 -runs="${FUZZ_RUNS:-20000}" -reload=0 -use_cmp=0 -timeout=20 "${limits[@]}" "$scratch" fuzz/corpus)
    jobs=1
else
    mkdir -p build-fuzz/corpus
    run=("$fuzzer" -max_total_time="$FUZZ_SECONDS" -timeout="${FUZZ_TIMEOUT:-10}" "${limits[@]}" build-fuzz/corpus fuzz/corpus)
    jobs=${FUZZ_JOBS:-1}
fi
pids=()
for ((j = 1; j <= jobs; j++)); do
    "${run[@]}" >"build-fuzz/fuzz-$j.log" 2>&1 & pids+=($!)
done
failed=0
for ((j = 1; j <= jobs; j++)); do
    log=build-fuzz/fuzz-$j.log
    if wait "${pids[$((j - 1))]}"; then
        grep -E "INITED|DONE|^stat::|^Done" "$log" || true
    else
        cat "$log"
        failed=1
    fi
done
if [ "$failed" = 1 ]; then
    echo "Fuzzing failed; the input that failed is in build-fuzz/artifacts/"
    exit 1
fi
