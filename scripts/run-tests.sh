#!/usr/bin/env bash
# Installs what the tests need, builds reeljoin with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++ cmake make libgtest-dev libgmock-dev libgif-dev libbenchmark-dev dpkg-dev file man-db groff-base pkg-config
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DREELJOIN_TESTS=ON
cmake --build build-tests -j"$(nproc)"
ctest --test-dir build-tests --output-on-failure -j"$(nproc)"
