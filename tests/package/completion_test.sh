#!/usr/bin/env bash
# The bash completion, sourced by bash and asked about partial command
# lines as bash asks it: the words so far, split where bash splits them.
# Usage: completion_test.sh COMPLETION_FILE REELJOIN
set -uo pipefail
source "$1"
bin=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
touch a.gif "b c.GIF" notes.txt
mkdir clips

fail=0
# expect "WORD WORD ..." "COMPLETION|COMPLETION|..." (sorted, | between)
expect() {
    local line=$1 want=$2
    read -r -a COMP_WORDS <<<"$line"
    if [[ $line == *" " ]]; then COMP_WORDS+=(""); fi
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _reeljoin
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|')
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$line' completes to '$got', expected '$want'"
        fail=1
    fi
}

expect "reeljoin --k" "--keep-delays"
expect "reeljoin --c" "--center|--compact"
expect "reeljoin --f" "--files-from=|--fit"
expect "reeljoin --lo" "--loop="
expect "reeljoin a.gif --no" "--no-loop"
expect "reeljoin " "a.gif|b c.GIF|clips"
expect "reeljoin -s a" "a.gif"
expect "reeljoin -o " "a.gif|b c.GIF|clips|notes.txt"
expect "reeljoin -d " ""
expect "reeljoin --loop = " ""
expect "reeljoin --files-from = n" "notes.txt"
expect "reeljoin --files-from =" "a.gif|b c.GIF|clips|notes.txt"
expect "reeljoin -- --" ""
expect "reeljoin -- c" "clips"
expect "reeljoin a.gif #" "\\#-1|\\#-1-0|\\#0-|\\#1-"
expect "reeljoin a.gif \\#-1" "\\#-1|\\#-1-0"

# Every long option that --help lists completes from its name.
for opt in $("$bin" --help | sed -n 's/^ *\(--[a-z-]*=\{0,1\}\).*/\1/p'); do
    COMP_WORDS=(reeljoin "$opt") COMP_CWORD=1
    _reeljoin
    [[ " ${COMPREPLY[*]} " == *" $opt "* ]] || { echo "FAIL: $opt, listed by --help, does not complete"; fail=1; }
done

[ $fail -eq 0 ] && echo "PASS: the completion completes options and files"
exit $fail
