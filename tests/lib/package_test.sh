#!/usr/bin/env bash
# Installs the library from a build into a scratch prefix, then builds a
# program of someone else's against it, once through its CMake package and
# once through pkg-config, and runs both: they must join as the program does.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR [CXXFLAGS [LDFLAGS]] (the
# build's own, such as the sanitizers', which the program must share)
set -euo pipefail
source_dir=$1
build_dir=$2
cxxflags=${3:-}
ldflags=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
first=$source_dir/examples/$(ls "$source_dir/examples" | grep '\.gif$' | head -n 1)
second=$source_dir/examples/$(ls "$source_dir/examples" | grep '\.gif$' | tail -n 1)
cmake -S "$source_dir/tests/lib/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "$build_dir/reeljoin" "$work" "$first" "$second"
libdir=$(find "$work/prefix" -name reeljoin.pc -printf '%h\n')
flags=$(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs reeljoin)
# shellcheck disable=SC2086  # the flags are words
c++ -std=c++17 $cxxflags -o "$work/consumer-pc" "$source_dir/tests/lib/consumer/consumer.cpp" $flags $ldflags -pthread
"$work/consumer-pc" "$build_dir/reeljoin" "$work" "$first" "$second"
