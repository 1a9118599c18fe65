#!/usr/bin/env bash
# The manual page renders without warnings and documents every option of
# the usage text and of --help, with the same defaults.
# Usage: man_test.sh PAGE REELJOIN
set -euo pipefail
page=$1 bin=$2

command -v groff >/dev/null || { echo "SKIP: groff is not installed"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff failed on $page"
[ -z "$warnings" ] || { echo "$warnings"; fail "groff warned about $page"; }
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man failed on $page"
    [ -z "$warnings" ] || { echo "$warnings"; fail "man warned about $page"; }
fi

text=$(groff -man -Tutf8 -P-c -P-u -P-b "$page" 2>/dev/null | sed 's/\xe2\x80\x90/-/g')
section=$(sed -n '/^OPTIONS/,/^[A-Z]/p' <<<"$text")
usage=$("$bin" -h)
for opt in -h $(echo "$usage" | sed -n 's/^ *\(-[a-z]\) .*/\1/p'); do
    grep -Eq "^       $opt( |$)" <<<"$section" || fail "option $opt is not described under OPTIONS"
done
for opt in $("$bin" --help | sed -n 's/^ *\(--[a-z-]*\).*/\1/p'); do
    grep -Eq "^       $opt([ =]|$)" <<<"$section" || fail "long option $opt is not described under OPTIONS"
done
# Each option's entry runs from its tag to the next tag or the section's end.
defaults=0
while read -r opt default; do
    sed -n "/^       $opt /,/^       -/p" <<<"$section" | tr -s ' \n' '  ' | grep -q "default is $default\." ||
        fail "the page does not give $opt the default $default of the usage text"
    defaults=$((defaults + 1))
done < <(echo "$usage" | sed -n 's/^ *\(-[a-z]\) .*(default \([^)]*\)).*/\1 \2/p')
[ "$defaults" -ge 3 ] || fail "found $defaults defaults in the usage text, expected those of -o, -d and -e"

echo "PASS: $page renders without warnings and describes every option and default"
