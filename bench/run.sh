#!/usr/bin/env bash
# Benchmarks reeljoin against copying the same bytes with cat (the floor) and
# against a join that decodes and re-encodes every pixel (bench/reencode.cpp),
# on a 43 MB set of three GIFs and on the same files named ten times. Prints a
# Markdown table of median wall time, throughput and peak resident memory,
# then PASS/FAIL for each speed and memory target.
#
# Environment: RUNS (timed runs per tool and set, default 5), BASELINE_RUNS
# (timed runs of the re-encoding join, default 3: it takes seconds to
# minutes), BENCH_DIR (work directory, default build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-5}
baseline_runs=${BASELINE_RUNS:-3}
work=${BENCH_DIR:-build-bench}
tools=$work/tools
inputs=$work/inputs
outputs=$work/out
logs=$work/logs

bash scripts/install-deps.sh ffmpeg g++ cmake make libgif-dev
mkdir -p "$tools" "$inputs" "$outputs" "$logs"

# Runs a build step quietly; shows its output only when it fails.
quietly() {
    local log=$logs/build.log
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "bench: failed: $*" >&2
        exit 1
    fi
}

echo "Building reeljoin (Release) in $work"
quietly cmake -S . -B "$work" -DCMAKE_BUILD_TYPE=Release -DREELJOIN_TESTS=OFF
quietly cmake --build "$work" -j"$(nproc)"
reeljoin=$work/reeljoin

# The helpers are rebuilt only when their source is newer than the binary.
build_tool() {
    local name=$1
    shift
    if [ ! -x "$tools/$name" ] || [ "bench/$name.cpp" -nt "$tools/$name" ]; then
        quietly g++ -std=c++17 -O2 -Wall -Wextra -o "$tools/$name" "bench/$name.cpp" "$@"
    fi
}
build_tool timeit
build_tool reencode -lgif
build_tool framecount -lgif

# The inputs are made once and reused; each is written under a temporary
# name first, so a generation that was cut short is not taken for an input.
make_input() {
    local name=$1 source=$2
    local file=$inputs/$name.gif
    [ -s "$file" ] && return
    echo "Making $file with ffmpeg ($source)"
    ffmpeg -v error -nostdin -y -f lavfi -i "$source" -t 8 "$inputs/$name.part.gif"
    mv "$inputs/$name.part.gif" "$file"
}
make_input a testsrc=s=640x480:rate=25
make_input b mandelbrot=s=640x480:rate=25
# cellauto fills its first row at random unless seeded; a fixed seed gives
# the same bytes on every machine.
make_input c cellauto=s=640x480:rate=25:seed=1

small=("$inputs/a.gif" "$inputs/b.gif" "$inputs/c.gif")
large=()
for _ in 1 2 3 4 5 6 7 8 9 10; do large+=("${small[@]}"); done

# Sizes in bytes and image counts of the files named, added up.
bytes_of() { stat -c %s "$@" | awk '{ s += $1 } END { print s }'; }
frames_of() { "$tools/framecount" "$@" | awk '{ s += $1 } END { print s }'; }

echo
echo "Inputs:"
for f in "${small[@]}"; do
    printf '  %s: %d bytes, %d frames\n' "$(basename "$f")" "$(bytes_of "$f")" "$(frames_of "$f")"
done
declare -A set_bytes set_frames set_label
set_bytes[small]=$(bytes_of "${small[@]}")
set_bytes[large]=$((set_bytes[small] * 10))
set_frames[small]=$(frames_of "${small[@]}")
set_frames[large]=$((set_frames[small] * 10))
for s in small large; do
    set_label[$s]=$(awk -v b="${set_bytes[$s]}" 'BEGIN { printf "%.0f MB", b / 1e6 }')
done
printf '  set a b c: %s (%d bytes), %d frames; ten times: %s, %d frames\n' \
    "${set_label[small]}" "${set_bytes[small]}" "${set_frames[small]}" \
    "${set_label[large]}" "${set_frames[large]}"

# Results, keyed "TOOL SET": median, fastest, slowest (s), peak RSS (KiB),
# timeit's status, and whether the output held what it should.
declare -A med lo hi rss status outcheck

# measure TOOL SET: times TOOL on the files of SET and checks its output.
measure() {
    local tool=$1 set=$2
    local -n files=$set
    local out=$outputs/$tool.gif key="$tool $set" log=$logs/$tool-$set.log
    local cmd n=$runs warm=1
    case $tool in
        cat) cmd=(-o "$out" -- cat "${files[@]}") ;;
        reeljoin) cmd=(-- "$reeljoin" -s -o "$out" "${files[@]}") ;;
        reencode)
            # No warm-up: the tools before it have warmed the inputs, and
            # each of its runs takes seconds to a minute.
            cmd=(-- "$tools/reencode" -s -o "$out" "${files[@]}")
            n=$baseline_runs warm=0
            ;;
    esac
    printf '  %-9s %-7s ' "$tool" "${set_label[$set]}"
    local line
    line=$("$tools/timeit" -n "$n" -w "$warm" -u "$out" "${cmd[@]}" 2>"$log")
    read -r "med[$key]" "lo[$key]" "hi[$key]" "rss[$key]" "status[$key]" <<<"$line"
    if [ "${status[$key]}" != ok ]; then
        outcheck[$key]="failed"
    elif [ "$tool" = cat ]; then
        [ "$(bytes_of "$out")" -eq "${set_bytes[$set]}" ] && outcheck[$key]=ok || outcheck[$key]="wrong size"
    else
        local got
        got=$(frames_of "$out" 2>>"$log") || got="unreadable"
        [ "$got" = "${set_frames[$set]}" ] && outcheck[$key]=ok || outcheck[$key]="$got frames"
    fi
    printf '%s s, %s KiB, %s, output %s\n' "${med[$key]}" "${rss[$key]}" "${status[$key]}" "${outcheck[$key]}"
    if [ "${status[$key]}" != ok ] && [ -s "$log" ]; then
        sed 's/^/      /' "$log" | tail -n 3
    fi
    rm -f "$out"
    sync
}

echo
echo "Measuring: $runs timed runs per tool and set after one warm-up (the re-encoding join: $baseline_runs, no warm-up)"
for set in small large; do
    for tool in cat reeljoin reencode; do measure "$tool" "$set"; done
done

commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -z "$(git status --porcelain 2>/dev/null)" ] || commit="$commit (with uncommitted changes)"
cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//')
[ -n "$cpu" ] || cpu=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n1)
mem=$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
fstype=$(df --output=fstype "$work" | tail -n1 | tr -d ' ')

report=$work/results.md
{
    echo
    echo "reeljoin commit $commit, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "Machine: $cpu, $(nproc) cores, $mem, kernel $(uname -r), $fstype for $work; $(g++ --version | head -n1)"
    echo "Input: a b c = ${set_label[small]} (${set_frames[small]} frames); the same files named ten times = ${set_label[large]} (${set_frames[large]} frames). Page cache warm."
    echo
    echo "| tool | input | seconds (median) | min–max s | MB/s | peak MiB | time / reeljoin |"
    echo "| --- | --- | ---: | ---: | ---: | ---: | ---: |"
    for set in small large; do
        for tool in cat reeljoin reencode; do
            key="$tool $set"
            name=$tool
            [ "$tool" = reencode ] && name="decode + re-encode (giflib)"
            if [ "${status[$key]}" != ok ]; then
                printf '| %s | %s | failed (%s) after %.3f s | – | – | %.1f | – |\n' \
                    "$name" "${set_label[$set]}" "${status[$key]}" "${med[$key]}" \
                    "$(awk -v k="${rss[$key]}" 'BEGIN { print k / 1024 }')"
                continue
            fi
            awk -v name="$name" -v set="${set_label[$set]}" -v t="${med[$key]}" \
                -v lo="${lo[$key]}" -v hi="${hi[$key]}" -v b="${set_bytes[$set]}" \
                -v k="${rss[$key]}" -v r="${med[reeljoin $set]}" -v rok="${status[reeljoin $set]}" \
                -v chk="${outcheck[$key]}" 'BEGIN {
                    ratio = (rok == "ok" && r > 0) ? sprintf("%.2f", t / r) : "–"
                    note = chk == "ok" ? "" : " (output " chk ")"
                    printf "| %s%s | %s | %.3f | %.3f–%.3f | %.0f | %.1f | %s |\n",
                        name, note, set, t, lo, hi, b / 1e6 / t, k / 1024, ratio
                }'
        done
    done
    echo
    echo "Targets:"
    # check TEXT CONDITION...: prints TEXT with PASS when the awk condition
    # over the named variables holds, FAIL otherwise (or when reeljoin failed).
    check() {
        local text=$1 cond=$2
        shift 2
        local verdict=FAIL
        if [ "${status[reeljoin small]}" = ok ] && [ "${status[reeljoin large]}" = ok ] &&
            awk "$@" "BEGIN { exit !($cond) }"; then
            verdict=PASS
        fi
        echo "- $verdict: $text"
    }
    rs=${med[reeljoin small]} rl=${med[reeljoin large]} cs=${med[cat small]}
    ms=${rss[reeljoin small]} ml=${rss[reeljoin large]}
    vars=(-v rs="$rs" -v rl="$rl" -v cs="$cs" -v ms="$ms" -v ml="$ml" -v label="${set_label[small]}")
    # x / y, or 0 where y is 0 (a tool that failed at once).
    div='function div(x, y) { return y > 0 ? x / y : 0 }'
    text() { awk "${vars[@]}" "$div BEGIN { printf $1 }"; }
    check "$(text '"reeljoin at most 2x cat on the %s set: %.3f s vs %.3f s (%.2fx)", label, rs, cs, div(rs, cs)')" \
        "rs <= 2 * cs" "${vars[@]}"
    check "$(text '"reeljoin peak RSS at most 4 MiB: %.2f MiB and %.2f MiB", ms / 1024, ml / 1024')" \
        "ms <= 4096 && ml <= 4096" "${vars[@]}"
    check "$(text '"reeljoin peak RSS within 10%% between the two sets: %+.1f%%", 100 * div(ml - ms, ms)')" \
        "ml - ms <= 0.1 * ms && ms - ml <= 0.1 * ms" "${vars[@]}"
    check "$(text '"reeljoin time at most 11x for ten times the input: %.2fx", div(rl, rs)')" \
        "rl <= 11 * rs" "${vars[@]}"
    frames_ok=0
    [ "${outcheck[reeljoin small]}" = ok ] && [ "${outcheck[reeljoin large]}" = ok ] && frames_ok=1
    check "reeljoin output holds every frame: ${outcheck[reeljoin small]} and ${outcheck[reeljoin large]}" \
        "ok" -v ok="$frames_ok"
} | tee "$report"
echo
echo "Saved to $report"
