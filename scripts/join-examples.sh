#!/usr/bin/env bash
# Installs what the build needs, builds reeljoin and joins the example GIFs
# into one looping animation, build/examples-joined.gif.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh g++ cmake make
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DREELJOIN_TESTS=OFF
cmake --build build -j"$(nproc)"
./build/reeljoin -d 15 -e 100 -o build/examples-joined.gif examples/*.gif
echo "Wrote build/examples-joined.gif"
