#!/usr/bin/env bash
# Installs what the tests need, builds reeljoin with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++ cmake make libgtest-dev libgmock-dev libgif-dev libbenchmark-dev dpkg-dev file man-db groff-base pkg-config lintian
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DREELJOIN_TESTS=ON
cmake --build build-tests -j"$(nproc)"
ctest --test-dir build-tests --output-on-failure -j"$(nproc)"

# The program alone builds and installs with nothing but a compiler and
# cmake: the test packages are hidden from a second build.
cmake -S . -B build-bare -DCMAKE_BUILD_TYPE=Release -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DCMAKE_DISABLE_FIND_PACKAGE_GIF=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON | grep 'Tests not built'
cmake --build build-bare -j"$(nproc)"
rm -rf build-bare/prefix
cmake --install build-bare --prefix build-bare/prefix >/dev/null
build-bare/prefix/bin/reeljoin -s -o build-bare/joined.gif examples/*.gif
echo "The program alone: built, installed and run without the test packages"
