#!/usr/bin/env bash
# Builds the npm package and the page, and tests both against the native
# program with Node's test runner: join() and the reeljoin command on
# Node, and the page in Debian's Chromium, headless, driven by
# puppeteer-core (pinned in web/test/package-lock.json; it downloads no
# browser). A screenshot of the page after a join is left in
# build-web/screenshots/page.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-web.sh
# The vector scan of the WebAssembly build, against the code-by-code one.
NODE_PATH=/usr/share/nodejs:/usr/lib/nodejs em++ -O2 -msimd128 -std=c++17 -Isrc -Iinclude tests/web/scan_check.cpp \
    src/gif/lzw/code_scan.cpp src/gif/lzw/code_scan_avx2.cpp src/gif/lzw/code_scan_simd128.cpp \
    -sWASM_ASYNC_COMPILATION=0 -o build-web/scan_check.cjs
bash scripts/install-deps.sh chromium
export REELJOIN_NATIVE=${REELJOIN_NATIVE:-build-tests/reeljoin}
if [ ! -x "$REELJOIN_NATIVE" ]; then
    bash scripts/install-deps.sh g++ cmake make
    cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-tests -j"$(nproc)" --target reeljoin
fi
(cd web/test && npm ci --no-audit --no-fund --loglevel=error)
node --test web/test/
