#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the
# program found there on the example GIFs.
# Usage: deb_test.sh CPACK BUILD_DIR SOURCE_DIR
set -euo pipefail
cpack=$1 build=$2 src=$3

for tool in dpkg-deb gzip; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp=$(mktemp -d /tmp/reeljoin_deb_XXXXXX)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Packaged into the scratch directory, so the build tree is left as it was.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; fail "cpack -G DEB failed"; }
debs=("$tmp"/pkg/reeljoin_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one reeljoin_*.deb, found: ${debs[*]}"
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = reeljoin ] || fail "package name is not reeljoin"
[ "$(dpkg-deb -f "$deb" Section)" = graphics ] || fail "section is not graphics"
[ -n "$(dpkg-deb -f "$deb" Depends)" ] || fail "the package has no Depends line"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "the package has no maintainer"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin/reeljoin
page=$root/usr/share/man/man1/reeljoin.1.gz
[ -x "$bin" ] || fail "usr/bin/reeljoin is missing or not executable"
[ -f "$page" ] || fail "usr/share/man/man1/reeljoin.1.gz is missing"
gzip -t "$page" || fail "the manual page is not valid gzip"
gzip -dc "$page" | cmp -s - "$src/man/reeljoin.1" || fail "the packaged manual page differs from man/reeljoin.1"
completion=$root/usr/share/bash-completion/completions/reeljoin
cmp -s "$completion" "$src/completion/reeljoin" || fail "usr/share/bash-completion/completions/reeljoin is missing or differs"
# The licence and the changelog, where Debian looks for them.
doc=$root/usr/share/doc/reeljoin
cmp -s "$doc/copyright" "$src/packaging/copyright" || fail "usr/share/doc/reeljoin/copyright is missing or differs"
grep -q '^License: Expat' "$doc/copyright" || fail "the copyright file names no licence"
gzip -dc "$doc/changelog.gz" | cmp -s - "$src/packaging/changelog" || fail "usr/share/doc/reeljoin/changelog.gz is missing or differs"
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" >"$tmp/lintian.txt" 2>&1 || { cat "$tmp/lintian.txt"; fail "lintian finds errors in the package"; }
fi

# The library, in the same package: header, static library, CMake package
# and pkg-config file.
cmp -s "$root/usr/include/reeljoin/join.h" "$src/include/reeljoin/join.h" || fail "usr/include/reeljoin/join.h is missing or differs"
for part in libreeljoin.a cmake/reeljoin/reeljoin-config.cmake cmake/reeljoin/reeljoin-targets.cmake pkgconfig/reeljoin.pc; do
    [ -n "$(find "$root/usr/lib" -path "*/$part")" ] || fail "the library's $part is missing"
done
if command -v man >/dev/null; then
    MANWIDTH=80 man --warnings -l "$page" >"$tmp/page.txt" 2>"$tmp/page.err" || fail "man could not render the page"
    [ ! -s "$tmp/page.err" ] || { cat "$tmp/page.err"; fail "man warned about the packaged page"; }
    grep -q '^NAME' "$tmp/page.txt" || fail "the rendered page has no NAME section"
fi

# The installed program on the shipped examples.
examples=("$src"/examples/*.gif)
[ ${#examples[@]} -ge 2 ] || fail "fewer than two example GIFs in $src/examples"
cd "$tmp"
status=0
"$bin" -d 15 -e 100 -o joined.gif "${examples[@]}" >console.txt 2>stderr.txt || status=$?
[ "$status" -eq 0 ] || { cat console.txt; fail "the installed program exited with $status"; }
[ ! -s stderr.txt ] || { cat stderr.txt; fail "the installed program wrote to standard error"; }
[ "$(grep -c '^Processing: ' console.txt)" -eq ${#examples[@]} ] || { cat console.txt; fail "expected one Processing line per example"; }
[ "$(head -c 6 joined.gif)" = GIF89a ] || fail "joined.gif does not start with GIF89a"
[ "$(tail -c 1 joined.gif | od -An -tx1 | tr -d ' \n')" = 3b ] || fail "joined.gif does not end with the trailer byte 3B"
total=0
for f in "${examples[@]}"; do total=$((total + $(stat -c %s "$f"))); done
[ "$(stat -c %s joined.gif)" -gt "$total" ] || fail "joined.gif is smaller than its inputs together"

echo "PASS: $(basename "$deb") installs usr/bin/reeljoin, its manual page, its bash completion and the library; the installed program joined ${#examples[@]} examples"
