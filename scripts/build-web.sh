#!/usr/bin/env bash
# Builds reeljoin for Node and for browsers from the program's own sources,
# with Debian's emscripten:
#   build-web/npm/   the npm package "reeljoin" (join() and the reeljoin command)
#   build-web/site/  a static page that joins GIFs in the browser
# Environment: WEB_DIR (default build-web).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh emscripten
# Node and npm from Debian where the machine has none of its own.
command -v node >/dev/null || bash scripts/install-deps.sh nodejs
command -v npm >/dev/null || bash scripts/install-deps.sh npm
# Debian's emscripten finds its Node modules (acorn) only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs:/usr/lib/nodejs

out=${WEB_DIR:-build-web}
obj=$out/obj
mkdir -p "$obj" "$out/npm/lib" "$out/npm/bin" "$out/site"

# Every source once, in parallel; the AVX2 scan compiles to its fallback.
version=$(sed -n 's/^project(reeljoin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
flags=(-O3 -mbulk-memory -msimd128 -std=c++17 -Wall -Wextra -Isrc -Iinclude -DREELJOIN_VERSION=\"$version\")
sources=$(find src/gif src/lib src/cli src/web -name '*.cpp' | sort)
printf '%s\n' $sources | xargs -P "$(nproc)" -I{} sh -c \
    'o="$1/$(echo "$2" | tr / _ | sed "s/\.cpp$/.o/")"; em++ $3 "$2" -c -o "$o"' \
    _ "$obj" {} "${flags[*]}"
core=()
for s in $(find src/gif src/lib -name '*.cpp' | sort); do core+=("$obj/$(echo "$s" | tr / _ | sed 's/\.cpp$/.o/')"); done
cli=()
for s in src/cli/*.cpp; do cli+=("$obj/$(echo "$s" | tr / _ | sed 's/\.cpp$/.o/')"); done
face=("$obj/src_web_web_join.o")

exports="['_rj_create','_rj_destroy','_rj_add_input','_rj_add_selection','_rj_set','_rj_run',\
'_rj_message_count','_rj_message','_malloc','_free']"
runtime="['UTF8ToString','stringToUTF8','lengthBytesUTF8']"
common=(-O3 -mbulk-memory -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB -sEXPORTED_FUNCTIONS="$exports"
        -sEXPORTED_RUNTIME_METHODS="$runtime")

# The library's face for Node's join(): started synchronously, as Node 20 needs.
em++ "${core[@]}" "${face[@]}" "${common[@]}" -sMODULARIZE=1 -sEXPORT_NAME=createReeljoin \
    -sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 -o "$out/npm/lib/reeljoin-core.cjs"
# The command line on Node's own file system, for the package's bin.
em++ "${core[@]}" "${cli[@]}" -O3 -mbulk-memory -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=4GB -sNODERAWFS=1 \
    -sWASM_ASYNC_COMPILATION=0 -sEXIT_RUNTIME=1 --pre-js web/cli/standard_streams.js -o "$out/npm/lib/reeljoin-cli.cjs"
# The library's face for the page's worker.
em++ "${core[@]}" "${face[@]}" "${common[@]}" -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createReeljoin \
    -sENVIRONMENT=web,worker -o "$out/site/reeljoin-core.mjs"

cp web/npm/package.json web/npm/README.md web/npm/index.mjs web/npm/index.d.ts web/npm/join-core.mjs "$out/npm/"
cp web/npm/bin/reeljoin.mjs "$out/npm/bin/"
cp LICENSE "$out/npm/"
cp web/npm/join-core.mjs web/site/index.html web/site/page.js web/site/worker.js web/site/page.css "$out/site/"
echo "Built $out/npm (npm pack there) and $out/site (serve it as static files)"
