#!/usr/bin/env bash
# Benchmarks reeljoin against copying the same bytes with cat (the floor) and
# against a join that decodes and re-encodes every pixel (bench/reencode.cpp),
# on a 43 MB set of three GIFs, on the same files named ten times, and on a
# sequence of 10,000 single-frame GIFs of about 3 KB each. reeljoin is timed
# in its default mode and, on the 43 MB set and the sequence, with
# --keep-delays --fit. Prints a Markdown table of median wall time,
# throughput and peak resident memory, then PASS/FAIL for each speed and
# memory target. A mode that fails is reported as failed and the run goes on.
#
# Environment: RUNS (timed runs per tool and set, default 5), BASELINE_RUNS
# (timed runs of the re-encoding join, default 3: it takes seconds to
# minutes), SKIP_REENCODE (1 leaves the re-encoding join out), SKIP_WEB (1
# leaves the Node and page rows out), BENCH_DIR (work directory, default
# build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-5}
baseline_runs=${BASELINE_RUNS:-3}
skip_reencode=${SKIP_REENCODE:-0}
work=${BENCH_DIR:-build-bench}
tools=$work/tools
inputs=$work/inputs
outputs=$work/out
logs=$work/logs

bash scripts/install-deps.sh ffmpeg g++ cmake make libgif-dev gifsicle python3-pil
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
build_tool splitgif

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

# The sequence: 10,000 single-frame 160x120 GIFs of about 3 KB, as a
# renderer or frame exporter writes them. ffmpeg writes one animation of
# full frames (no inter-frame cropping or transparency, 16 colours, which
# gives about 3 KB a frame of the test pattern); splitgif copies each frame
# into a file of its own. Made in a temporary directory, checked, then moved.
seq_count=10000
# make_frames NAME COUNT WHAT WRITE...: makes the set $inputs/NAME once.
# WRITE runs with a temporary directory as its last argument; the set is
# kept when it holds COUNT files of exactly one image each.
make_frames() {
    local name=$1 count=$2 what=$3
    shift 3
    local dir=$inputs/$name part=$inputs/$name.part
    [ -d "$dir" ] && return
    echo "Making $count single-frame GIFs in $dir $what"
    rm -rf "$part"
    mkdir -p "$part"
    "$@" "$part"
    local made single
    made=$(find "$part" -name '*.gif' | wc -l)
    single=$("$tools/framecount" "$part"/*.gif | awk '$1 == 1' | wc -l)
    if [ "$made" != "$count" ] || [ "$single" != "$count" ]; then
        echo "bench: $part: $made files written, $single of them single-image GIFs; expected $count" >&2
        exit 1
    fi
    mv "$part" "$dir"
}
write_sequence() {
    ffmpeg -v error -nostdin -y -f lavfi -i testsrc=s=160x120:rate=25 -frames:v "$seq_count" \
        -pix_fmt rgb4_byte -gifflags 0 "$1/all.gif"
    "$tools/splitgif" "$1/all.gif" "$1" >/dev/null
    rm "$1/all.gif"
}
make_frames seq "$seq_count" "with ffmpeg (testsrc, 160x120)" write_sequence

small=("$inputs/a.gif" "$inputs/b.gif" "$inputs/c.gif")
large=()
for _ in 1 2 3 4 5 6 7 8 9 10; do large+=("${small[@]}"); done
seq=("$inputs"/seq/*.gif)

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
set_bytes[seq]=$(bytes_of "${seq[@]}")
set_frames[small]=$(frames_of "${small[@]}")
set_frames[large]=$((set_frames[small] * 10))
set_frames[seq]=$(frames_of "${seq[@]}")
for s in small large seq; do
    set_label[$s]=$(awk -v b="${set_bytes[$s]}" 'BEGIN { printf "%.0f MB", b / 1e6 }')
done
set_label[seq]="${#seq[@]} files, ${set_label[seq]}"
printf '  set a b c: %s (%d bytes), %d frames; ten times: %s, %d frames\n' \
    "${set_label[small]}" "${set_bytes[small]}" "${set_frames[small]}" \
    "${set_label[large]}" "${set_frames[large]}"
stat -c %s "${seq[@]}" | sort -n | awk -v n="${#seq[@]}" -v f="${set_frames[seq]}" '
    { s[NR] = $1; t += $1 }
    END { printf "  sequence: %d files, %d frames, %d bytes, %d to %d bytes each (median %d)\n",
          n, f, t, s[1], s[NR], s[int((NR + 1) / 2)] }'

# The timed commands run in $outputs, so a build that misreads its options
# and writes to a default name leaves that file there and not in the tree.
# Inputs are named from there, which keeps the 10,000 names short.
logs=$(realpath "$logs")
runner=$(realpath "$tools/timeit")
reeljoin_path=$(realpath "$reeljoin")
reencode_path=$(realpath "$tools/reencode")
run_names() {
    local -n from=$1
    local rel
    rel=$(realpath --relative-to="$outputs" "$inputs")
    names=("${from[@]/#"$inputs"/$rel}")
}

# The longest command line, for the sequence, must fit the system's limit
# on arguments and environment together (each string, its terminating NUL
# and its pointer).
run_names seq
arg_bytes=$(printf '%s\0' "$runner" -n "$runs" -w 1 -u keepfit.gif -- "$reeljoin_path" \
    -s --keep-delays --fit -o keepfit.gif "${names[@]}" | wc -c)
arg_count=$((${#names[@]} + 14))
env_bytes=$(env -0 | wc -c)
env_count=$(env -0 | tr -cd '\0' | wc -c)
arg_total=$((arg_bytes + env_bytes + 8 * (arg_count + env_count + 2)))
arg_max=$(getconf ARG_MAX)
printf '  command line for the sequence: %d bytes with the environment, limit (ARG_MAX) %d\n' \
    "$arg_total" "$arg_max"
if [ "$arg_total" -gt "$arg_max" ]; then
    echo "bench: the sequence's command line is over ARG_MAX; use a shorter BENCH_DIR" >&2
    exit 1
fi

# Results, keyed "TOOL SET": median, fastest, slowest (s), peak RSS (KiB),
# the run's status ("ok", timeit's "exit=N" or "signal=N", "no output" or
# "skipped"), and whether the output held what it should.
declare -A med lo hi rss status outcheck

# measure TOOL SET: times TOOL on the files of SET and checks its output.
# TOOL is cat, reeljoin (default mode), keepfit (reeljoin --keep-delays
# --fit) or reencode.
measure() {
    local tool=$1 set=$2
    local out=$tool.gif key="$tool $set" log=$logs/$tool-$set.log
    local stdout=$logs/$tool-$set.out
    local cmd n=$runs warm=1 names
    run_names "$set"
    if [ "$tool" = reencode ] && [ "$skip_reencode" = 1 ]; then
        status[$key]=skipped
        return
    fi
    case $tool in
        cat) cmd=(-o "$out" -- cat "${names[@]}") ;;
        reeljoin) cmd=(-o "$stdout" -- "$reeljoin_path" -s -o "$out" "${names[@]}") ;;
        keepfit) cmd=(-o "$stdout" -- "$reeljoin_path" -s --keep-delays --fit -o "$out" "${names[@]}") ;;
        reencode)
            # No warm-up: the tools before it have warmed the inputs, and
            # each of its runs takes seconds to a minute.
            cmd=(-o "$stdout" -- "$reencode_path" -s -o "$out" "${names[@]}")
            n=$baseline_runs warm=0
            ;;
    esac
    printf '  %-9s %-18s ' "$tool" "${set_label[$set]}"
    rm -f "$outputs"/*
    local line
    line=$(cd "$outputs" && "$runner" -n "$n" -w "$warm" -u "$out" "${cmd[@]}" 2>"$log")
    read -r "med[$key]" "lo[$key]" "hi[$key]" "rss[$key]" "status[$key]" <<<"$line"
    out=$outputs/$out
    # A run that exits 0 without writing the file it was told to (a build
    # that took an option it does not know for a file name) has failed too.
    if [ "${status[$key]}" = ok ] && [ ! -e "$out" ]; then
        status[$key]="no output"
        echo "no $out; $outputs holds: $(ls "$outputs" | tr '\n' ' ')" >>"$log"
    fi
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
    if [ "${status[$key]}" != ok ]; then
        cat "$stdout" "$log" 2>/dev/null | tail -n 3 | sed 's/^/      /'
    fi
    rm -f "$outputs"/*
    sync
}

echo
if [ "$skip_reencode" = 1 ]; then
    echo "Measuring: $runs timed runs per tool and set after one warm-up, then $runs more in turns, which the table gives (the re-encoding join skipped: SKIP_REENCODE=1)"
else
    echo "Measuring: $runs timed runs per tool and set after one warm-up, then $runs more in turns, which the table gives (the re-encoding join: $baseline_runs, no warm-up)"
fi
# Tools per set, in the order they are run and listed.
declare -A set_tools=([small]="cat reeljoin keepfit reencode" [large]="cat reeljoin reencode"
    [seq]="cat reeljoin keepfit")
# spread_of SECONDS...: their median, fastest and slowest.
spread_of() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 }
        END { printf "%f %f %f\n", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[1], v[NR] }'
}
# interleave SET: times the set's tools again in turns, one run of each in
# every round, so that a drift in the machine's speed falls on all of them
# alike; their medians, fastest and slowest runs are taken from these runs.
# (The re-encoding join, which takes seconds, keeps its own.)
interleave() {
    local set=$1 round tool key line t r st names
    local -A samples=()
    for ((round = 0; round < runs; round++)); do
        for tool in ${set_tools[$set]}; do
            key="$tool $set"
            [ "$tool" != reencode ] && [ "${status[$key]}" = ok ] || continue
            run_names "$set"
            local cmd=(-- cat "${names[@]}")
            case $tool in
                reeljoin) cmd=(-- "$reeljoin_path" -s -o out.gif "${names[@]}") ;;
                keepfit) cmd=(-- "$reeljoin_path" -s --keep-delays --fit -o out.gif "${names[@]}") ;;
            esac
            [ "$tool" = cat ] && cmd=(-o out.gif "${cmd[@]}")
            line=$(cd "$outputs" && "$runner" -n 1 -w 0 -u out.gif "${cmd[@]}" 2>/dev/null)
            read -r t _ _ r st <<<"$line"
            [ "$st" = ok ] || continue
            samples[$tool]+="$t "
            [ "$r" -gt "${rss[$key]}" ] && rss[$key]=$r
        done
    done
    rm -f "$outputs"/*
    for tool in "${!samples[@]}"; do
        read -r "med[$tool $set]" "lo[$tool $set]" "hi[$tool $set]" < <(spread_of ${samples[$tool]})
    done
}

for set in small large seq; do
    for tool in ${set_tools[$set]}; do measure "$tool" "$set"; done
    interleave "$set"
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
    echo "Input: a b c = ${set_label[small]} (${set_frames[small]} frames); the same files named ten times = ${set_label[large]} (${set_frames[large]} frames); a sequence of ${set_label[seq]} (${set_frames[seq]} frames, 160x120). Page cache warm."
    echo
    echo "| tool | input | seconds (median) | min–max s | MB/s | peak MiB | time / reeljoin |"
    echo "| --- | --- | ---: | ---: | ---: | ---: | ---: |"
    tool_name() {
        case $1 in
            keepfit) echo "reeljoin --keep-delays --fit" ;;
            reencode) echo "decode + re-encode (giflib)" ;;
            *) echo "$1" ;;
        esac
    }
    for set in small large seq; do
        for tool in ${set_tools[$set]}; do
            key="$tool $set"
            name=$(tool_name "$tool")
            if [ "${status[$key]}" = skipped ]; then
                printf '| %s | %s | skipped (SKIP_REENCODE=1) | – | – | – | – |\n' "$name" "${set_label[$set]}"
                continue
            fi
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
    vars=(-v label="${set_label[small]}" -v seqlabel="${set_label[seq]}")
    for set in small large seq; do
        for tool in ${set_tools[$set]}; do
            vars+=(-v "t_${tool}_$set=${med[$tool $set]:-0}" -v "m_${tool}_$set=${rss[$tool $set]:-0}")
        done
    done
    # x / y, or 0 where y is 0 (a tool that failed at once).
    div='function div(x, y) { return y > 0 ? x / y : 0 }'
    text() { awk "${vars[@]}" "$div BEGIN { printf $1 }"; }
    # check TEXT CONDITION KEY...: prints TEXT with PASS when every KEY
    # ("TOOL SET") ran to its output and the awk condition over vars holds,
    # FAIL otherwise, naming the runs that failed.
    check() {
        local text=$1 cond=$2 key verdict=PASS failed=""
        shift 2
        for key; do
            [ "${status[$key]}" = ok ] ||
                failed+="${failed:+, }$(tool_name "${key% *}") on ${set_label[${key#* }]}: ${status[$key]}"
        done
        if [ -n "$failed" ] || ! awk "${vars[@]}" "BEGIN { exit !($cond) }"; then
            verdict=FAIL
        fi
        echo "- $verdict: $text${failed:+ (failed: $failed)}"
    }
    check "$(text '"reeljoin at most 2x cat on the %s set: %.3f s vs %.3f s (%.2fx)", label, t_reeljoin_small, t_cat_small, div(t_reeljoin_small, t_cat_small)')" \
        "t_reeljoin_small <= 2 * t_cat_small" "reeljoin small" "cat small"
    check "$(text '"reeljoin peak RSS at most 4 MiB: %.2f MiB and %.2f MiB", m_reeljoin_small / 1024, m_reeljoin_large / 1024')" \
        "m_reeljoin_small <= 4096 && m_reeljoin_large <= 4096" "reeljoin small" "reeljoin large"
    check "$(text '"reeljoin peak RSS within 10%% between the two sets: %+.1f%%", 100 * div(m_reeljoin_large - m_reeljoin_small, m_reeljoin_small)')" \
        "m_reeljoin_large - m_reeljoin_small <= 0.1 * m_reeljoin_small && m_reeljoin_small - m_reeljoin_large <= 0.1 * m_reeljoin_small" \
        "reeljoin small" "reeljoin large"
    check "$(text '"reeljoin time at most 11x for ten times the input: %.2fx", div(t_reeljoin_large, t_reeljoin_small)')" \
        "t_reeljoin_large <= 11 * t_reeljoin_small" "reeljoin small" "reeljoin large"
    frames_ok=0
    [ "${outcheck[reeljoin small]}" = ok ] && [ "${outcheck[reeljoin large]}" = ok ] && frames_ok=1
    check "reeljoin output holds every frame: ${outcheck[reeljoin small]} and ${outcheck[reeljoin large]}" \
        "$frames_ok" "reeljoin small" "reeljoin large"
    check "$(text '"--keep-delays --fit at most 1.1x the default mode on the %s set: %.3f s vs %.3f s (%.2fx)", label, t_keepfit_small, t_reeljoin_small, div(t_keepfit_small, t_reeljoin_small)')" \
        "t_keepfit_small <= 1.1 * t_reeljoin_small" "keepfit small" "reeljoin small"
    check "$(text '"--keep-delays --fit peak RSS at most 4 MiB on the %s set: %.2f MiB", label, m_keepfit_small / 1024')" \
        "m_keepfit_small <= 4096" "keepfit small"
    check "$(text '"reeljoin at most 1.2x cat on %s: %.3f s vs %.3f s (%.2fx)", seqlabel, t_reeljoin_seq, t_cat_seq, div(t_reeljoin_seq, t_cat_seq)')" \
        "t_reeljoin_seq <= 1.2 * t_cat_seq" "reeljoin seq" "cat seq"
    check "$(text '"--keep-delays --fit at most 1.2x cat on %s: %.3f s vs %.3f s (%.2fx)", seqlabel, t_keepfit_seq, t_cat_seq, div(t_keepfit_seq, t_cat_seq)')" \
        "t_keepfit_seq <= 1.2 * t_cat_seq" "keepfit seq" "cat seq"
    check "$(text '"peak RSS at most 5 MiB on %s: %.2f MiB (default), %.2f MiB (--keep-delays --fit)", seqlabel, m_reeljoin_seq / 1024, m_keepfit_seq / 1024')" \
        "m_reeljoin_seq <= 5120 && m_keepfit_seq <= 5120" "reeljoin seq" "keepfit seq"
    seq_frames_ok=0
    [ "${outcheck[reeljoin seq]}" = ok ] && [ "${outcheck[keepfit seq]}" = ok ] && [ "${outcheck[keepfit small]}" = ok ] && seq_frames_ok=1
    check "output holds every frame: default on the sequence ${outcheck[reeljoin seq]}; --keep-delays --fit ${outcheck[keepfit small]} and ${outcheck[keepfit seq]}" \
        "$seq_frames_ok" "reeljoin seq" "keepfit small" "keepfit seq"
} | tee "$report"

# --compact: output sizes beside the inputs, the default mode and
# gifsicle's merge of the same files (which re-encodes every image), on a
# 2,000-frame sequence that shares one palette (Pillow, one 256-colour
# palette for every frame) and a 25-frame clip joined with itself; then
# time and memory of --compact against the default mode.
make_frames palseq 2000 "with one palette, with Pillow" /usr/bin/python3 bench/palseq.py 2000
[ -s "$inputs/clip25.gif" ] ||
    ffmpeg -v error -nostdin -y -f lavfi -i testsrc=s=160x120:rate=25 -frames:v 25 "$inputs/clip25.gif"
palseq=("$inputs"/palseq/*.gif)
selfjoin=("$inputs/clip25.gif" "$inputs/clip25.gif")

# size_row LABEL FILES...: prints a table row of sizes; sets last_* for the checks.
size_row() {
    local label=$1
    shift
    local in def comp gs
    in=$(bytes_of "$@")
    "$reeljoin_path" -s -o "$outputs/def.gif" "$@"
    "$reeljoin_path" -s --compact -o "$outputs/comp.gif" "$@"
    gifsicle --merge "$@" -o "$outputs/gs.gif"
    def=$(bytes_of "$outputs/def.gif") comp=$(bytes_of "$outputs/comp.gif") gs=$(bytes_of "$outputs/gs.gif")
    rm -f "$outputs"/*.gif
    printf '| %s | %d | %d | %d | %d | %.2f |\n' "$label" "$in" "$def" "$comp" "$gs" "$(awk -v c="$comp" -v g="$gs" 'BEGIN { print c / g }')"
    last_in=$in last_comp=$comp last_gs=$gs
}
# time_pair SET: medians (s) and peaks (KiB) of the default mode and
# --compact on the files of SET, as measure() runs them.
time_pair() {
    local line names
    run_names "$1"
    for mode in default compact; do
        local flag=()
        [ $mode = compact ] && flag=(--compact)
        line=$(cd "$outputs" && "$runner" -n "$runs" -w 1 -u out.gif -- "$reeljoin_path" -s "${flag[@]}" -o out.gif "${names[@]}" 2>/dev/null)
        read -r "t_$mode" _ _ "m_$mode" _ <<<"$line"
    done
    rm -f "$outputs"/*.gif
}
{
    echo
    echo "Output sizes with --compact (bytes):"
    echo
    echo "| input | in | reeljoin | reeljoin --compact | gifsicle --merge | --compact / gifsicle |"
    echo "| --- | ---: | ---: | ---: | ---: | ---: |"
    size_row "2000 frames, one palette" "${palseq[@]}"
    pal_comp=$last_comp pal_gs=$last_gs
    size_row "25-frame clip joined with itself" "${selfjoin[@]}"
    self_in=$last_in self_comp=$last_comp
    size_row "a b c, ${set_label[small]}" "${small[@]}"
    echo
    time_pair palseq
    pal_t=("$t_default" "$t_compact" "$m_default" "$m_compact")
    time_pair small
    small_t=("$t_default" "$t_compact" "$m_default" "$m_compact")
    echo "| --compact time and memory | default s | --compact s | default peak MiB | --compact peak MiB |"
    echo "| --- | ---: | ---: | ---: | ---: |"
    printf '| 2000 frames, one palette | %.3f | %.3f | %.1f | %.1f |\n' "${pal_t[0]}" "${pal_t[1]}" \
        "$(awk -v k="${pal_t[2]}" 'BEGIN { print k / 1024 }')" "$(awk -v k="${pal_t[3]}" 'BEGIN { print k / 1024 }')"
    printf '| a b c, %s | %.3f | %.3f | %.1f | %.1f |\n' "${set_label[small]}" "${small_t[0]}" "${small_t[1]}" \
        "$(awk -v k="${small_t[2]}" 'BEGIN { print k / 1024 }')" "$(awk -v k="${small_t[3]}" 'BEGIN { print k / 1024 }')"
    echo
    echo "Targets:"
    verdict() { awk "BEGIN { exit !($1) }" && echo PASS || echo FAIL; }
    echo "- $(verdict "$pal_comp <= 1.1 * $pal_gs"): --compact at most 1.1x gifsicle on the palette sequence: $pal_comp vs $pal_gs bytes"
    echo "- $(verdict "$self_comp <= $self_in"): --compact of a clip joined with itself no larger than the two inputs: $self_comp vs $self_in bytes"
    echo "- $(verdict "${pal_t[1]} <= 1.1 * ${pal_t[0]} && ${small_t[1]} <= 1.1 * ${small_t[0]}"): --compact time at most 1.1x the default mode: ${pal_t[1]} vs ${pal_t[0]} s and ${small_t[1]} vs ${small_t[0]} s"
    echo "- $(verdict "${pal_t[3]} <= 1.1 * ${pal_t[2]} && ${small_t[3]} <= 1.1 * ${small_t[2]}"): --compact peak memory at most 1.1x the default mode"
} | tee -a "$report"

# Floods: a file of N empty comments before one image, for a million and
# eight million blocks. Work that grew faster than the file would
# show here, where the tests can only count reads and writes.
make_flood() {
    local file=$inputs/flood-$1.gif
    [ -s "$file" ] || /usr/bin/python3 -c '
import sys
n = int(sys.argv[1])
head = b"GIF89a\x01\x00\x01\x00\x80\x00\x00" + b"\x00" * 6
image = b"\x2c" + b"\x00" * 4 + b"\x01\x00\x01\x00\x00" + b"\x02\x02\x44\x01\x00"
sys.stdout.buffer.write(head + b"\x21\xfe\x00" * n + image + b"\x3b")' "$1" >"$file"
    realpath "$file"  # the runs start in the output directory
}
{
    echo
    echo "| floods of empty comments | seconds (median) | peak MiB |"
    echo "| --- | ---: | ---: |"
    for n in 1000000 8000000; do
        file=$(make_flood $n)
        read -r "flood_t_$n" _ _ "flood_m_$n" _ < <(cd "$outputs" && "$runner" -n "$runs" -w 1 -u out.gif -- \
            "$reeljoin_path" -s -o out.gif "$file" 2>/dev/null)
        t=flood_t_$n m=flood_m_$n
        printf '| %d blocks, %d bytes | %.3f | %.1f |\n' $n "$(bytes_of "$file")" "${!t}" \
            "$(awk -v k="${!m}" 'BEGIN { print k / 1024 }')"
    done
    rm -f "$outputs"/*.gif
    echo
    echo "Targets:"
    awk -v s="$flood_t_1000000" -v b="$flood_t_8000000" 'BEGIN {
        printf "- %s: eight million blocks at most 12x a million: %.3f s vs %.3f s (%.1fx)\n",
            (b <= 12 * s + 0.005 ? "PASS" : "FAIL"), b, s, (s > 0 ? b / s : 0) }'
} | tee -a "$report"

# Selections: "#1-" on each file of the small set (one rebuilt frame a
# file, the rest copied) beside the plain join, and a whole clip played
# backwards beside gifsicle's unoptimise-reverse-optimise.
rev_in=$inputs/clip200.gif
[ -s "$rev_in" ] ||
    ffmpeg -v error -nostdin -y -f lavfi -i testsrc=s=640x480:rate=25 -frames:v 200 "$rev_in"
rev_in=$(realpath "$rev_in")  # the runs start in the output directory
{
    echo
    echo "| selections | seconds (median) | peak MiB | output bytes |"
    echo "| --- | ---: | ---: | ---: |"
    run_names small
    picked=()
    for n in "${names[@]}"; do picked+=("$n" '#1-'); done
    # The plain join and "#1-" in turns, a run of each a round after a
    # warm-up of each, so that a drift in the machine's speed falls on
    # both alike: 2 x RUNS rounds.
    plain_times=() picked_times=() sel_plain_m=0 sel_m=0
    for ((round = -1; round < 2 * runs; round++)); do
        read -r t _ _ m _ < <(cd "$outputs" && "$runner" -n 1 -w 0 -u out.gif -- \
            "$reeljoin_path" -s -o out.gif "${names[@]}" 2>/dev/null)
        if ((round >= 0)); then
            plain_times+=("$t")
            sel_plain_m=$((m > sel_plain_m ? m : sel_plain_m))
        fi
        read -r t _ _ m _ < <(cd "$outputs" && "$runner" -n 1 -w 0 -u out.gif -- \
            "$reeljoin_path" -s -o out.gif "${picked[@]}" 2>/dev/null)
        if ((round >= 0)); then
            picked_times+=("$t")
            sel_m=$((m > sel_m ? m : sel_m))
        fi
    done
    read -r sel_plain_t _ _ < <(spread_of "${plain_times[@]}")
    read -r sel_t _ _ < <(spread_of "${picked_times[@]}")
    (cd "$outputs" && "$reeljoin_path" -s -o out.gif "${picked[@]}")
    sel_bytes=$(bytes_of "$outputs/out.gif")
    read -r rev_t _ _ rev_m _ < <(cd "$outputs" && "$runner" -n "$runs" -w 1 -u out.gif -- \
        "$reeljoin_path" -s -o out.gif "$rev_in" '#-1-0' 2>/dev/null)
    (cd "$outputs" && "$reeljoin_path" -s -o out.gif "$rev_in" '#-1-0')
    rev_bytes=$(bytes_of "$outputs/out.gif")
    read -r gs_t _ _ gs_m _ < <(cd "$outputs" && "$runner" -n "$runs" -w 1 -u gs.gif -- \
        gifsicle -U "$rev_in" '#-1-0' -O2 -o gs.gif 2>/dev/null)
    gifsicle -U "$rev_in" '#-1-0' -O2 -o "$outputs/gs.gif"
    gs_bytes=$(bytes_of "$outputs/gs.gif")
    rm -f "$outputs"/*.gif
    mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
    printf '| plain join, %s | %.3f | %s | |\n' "${set_label[small]}" "$sel_plain_t" "$(mib "$sel_plain_m")"
    printf '| "#1-" on each file | %.3f | %s | %d |\n' "$sel_t" "$(mib "$sel_m")" "$sel_bytes"
    printf '| 640x480 clip of 200 frames (%d bytes) backwards, reeljoin "#-1-0" | %.3f | %s | %d |\n' \
        "$(bytes_of "$rev_in")" "$rev_t" "$(mib "$rev_m")" "$rev_bytes"
    printf '| the same, gifsicle -U "#-1-0" -O2 | %.3f | %s | %d |\n' "$gs_t" "$(mib "$gs_m")" "$gs_bytes"
    echo
    echo "Targets:"
    # One canvas of 4 bytes a pixel for the largest screen rebuilt from: 640x480.
    awk -v a="$sel_t" -v b="$sel_plain_t" -v m="$sel_m" -v rm="$rev_m" 'BEGIN {
        printf "- %s: \"#1-\" on each file at most 1.2x the plain join: %.3f s vs %.3f s (%.2fx)\n",
            (a <= 1.2 * b ? "PASS" : "FAIL"), a, b, (b > 0 ? a / b : 0)
        printf "- %s: \"#1-\" peak at most 4 MiB and one 640x480 canvas (5.2 MiB): %.1f MiB\n",
            (m <= 4096 + 1200 ? "PASS" : "FAIL"), m / 1024
        printf "- %s: the reversal'"'"'s peak at most 4 MiB and one 640x480 canvas (5.2 MiB): %.1f MiB\n",
            (rm <= 4096 + 1200 ? "PASS" : "FAIL"), rm / 1024 }'
} | tee -a "$report"

# Pipes: the large set as one GIF on standard input, the join on standard
# output, beside the same bytes through two cats.
pipe_in=$inputs/pipe-large.gif
[ -s "$pipe_in" ] || "$reeljoin_path" -s -o "$pipe_in" "${large[@]}"
{
    echo
    echo "| through pipes, $(bytes_of "$pipe_in") bytes in | seconds (median) | peak MiB |"
    echo "| --- | ---: | ---: |"
    read -r pipe_cat_t _ _ pipe_cat_m _ < <("$runner" -n "$runs" -w 1 -- sh -c 'cat "$1" | cat | cat >/dev/null' sh "$pipe_in")
    read -r pipe_rj_t _ _ pipe_rj_m _ < <("$runner" -n "$runs" -w 1 -- \
        sh -c 'cat "$1" | "$2" -s -o - - | cat >/dev/null' sh "$pipe_in" "$reeljoin_path")
    for row in "cat, cat, cat:$pipe_cat_t:$pipe_cat_m" "cat, reeljoin -o - -, cat:$pipe_rj_t:$pipe_rj_m"; do
        IFS=: read -r what t m <<<"$row"
        printf '| %s | %.3f | %.1f |\n' "$what" "$t" "$(awk -v k="$m" 'BEGIN { print k / 1024 }')"
    done
    "$reeljoin_path" -s -o "$outputs/file.gif" "$pipe_in"
    same=FAIL
    "$reeljoin_path" -s -o - - <"$pipe_in" | cmp -s - "$outputs/file.gif" && same=PASS
    rm -f "$outputs"/*.gif
    echo
    echo "Targets:"
    awk -v a="$pipe_rj_t" -v b="$pipe_cat_t" -v m="$pipe_rj_m" 'BEGIN {
        printf "- %s: through pipes at most 1.3x two cats: %.3f s vs %.3f s (%.2fx)\n",
            (a <= 1.3 * b ? "PASS" : "FAIL"), a, b, (b > 0 ? a / b : 0)
        printf "- %s: through pipes in at most 8 MiB: %.1f MiB\n", (m <= 8192 ? "PASS" : "FAIL"), m / 1024 }'
    echo "- $same: the pipe gets the bytes the file gets"
} | tee -a "$report"

# Node and the page: the small set joined by the npm package's command and
# by its join() in a fresh Node, and in the page in headless Chromium, with
# the page's own memory, beside the native join. SKIP_WEB=1 leaves them out.
if [ "${SKIP_WEB:-0}" != 1 ]; then
    quietly bash scripts/build-web.sh
    quietly bash scripts/install-deps.sh chromium
    quietly npm ci --prefix web/test --no-audit --no-fund
    web_out=$(realpath build-web)
    mapfile -t web_set < <(realpath "${small[@]}")  # the runs start in the output directory
    {
        echo
        echo "| the small set, $(bytes_of "${web_set[@]}") bytes | seconds (median) | x native | memory |"
        echo "| --- | ---: | ---: | --- |"
        read -r web_native_t _ _ web_native_m _ < <(cd "$outputs" && "$runner" -n "$runs" -w 1 -u out.gif -- \
            "$reeljoin_path" -s -o out.gif "${web_set[@]}")
        read -r web_node0_t _ < <("$runner" -n "$runs" -w 1 -- node -e 0)
        read -r web_bin_t _ _ web_bin_m _ < <(cd "$outputs" && "$runner" -n "$runs" -w 1 -u out.gif -- \
            node "$web_out/npm/bin/reeljoin.mjs" -s -o out.gif "${web_set[@]}")
        times=()
        for _ in $(seq "$runs"); do
            times+=("$(node bench/web/node_join.mjs "$web_out/npm" "${web_set[@]}" | sed 's/.*"seconds":\([0-9.]*\).*/\1/')")
        done
        web_join_t=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
        page=$(node bench/web/page_join.mjs "$web_out/site" "${web_set[@]}")
        field() { sed "s/.*\"$1\":\([0-9.]*\).*/\1/" <<<"$page"; }
        web_page_t=$(field seconds) web_page_start=$(field own_start_mib) web_page_peak=$(field own_peak_mib)
        set_mib=$(awk -v b="${set_bytes[small]}" 'BEGIN { printf "%.1f", b / 1048576 }')
        awk -v n="$web_native_t" -v nm="$web_native_m" -v z="$web_node0_t" -v b="$web_bin_t" -v bm="$web_bin_m" \
            -v j="$web_join_t" -v p="$web_page_t" -v ps="$web_page_start" -v pp="$web_page_peak" 'BEGIN {
            printf "| native reeljoin | %.3f | 1.0 | %.1f MiB peak |\n", n, nm / 1024
            printf "| Node: reeljoin command, without Node'"'"'s own start (%.3f s) | %.3f | %.1f | %.1f MiB peak |\n", z, b - z, (b - z) / n, bm / 1024
            printf "| Node: join(), in memory, its WebAssembly start included | %.3f | %.1f | |\n", j, j / n
            printf "| page: Join pressed to the animation shown | %.3f | %.1f | own memory %.0f to %.0f MiB |\n", p, p / n, ps, pp }'
        echo
        echo "Targets:"
        awk -v n="$web_native_t" -v b="$web_bin_t" -v z="$web_node0_t" -v j="$web_join_t" -v ps="$web_page_start" \
            -v pp="$web_page_peak" -v in_mib="$set_mib" 'BEGIN {
            printf "- %s: the Node command within 3x the native join: %.3f s vs %.3f s (%.1fx)\n",
                (b - z <= 3 * n ? "PASS" : "FAIL"), b - z, n, (b - z) / n
            printf "- %s: join() in Node within 3x the native join: %.3f s vs %.3f s (%.1fx)\n",
                (j <= 3 * n ? "PASS" : "FAIL"), j, n, j / n
            printf "- %s: the page'"'"'s own memory grows by at most 3x the inputs (%.1f MiB): %.0f MiB\n",
                (pp - ps <= 3 * in_mib ? "PASS" : "FAIL"), in_mib, pp - ps }'
    } | tee -a "$report"
fi
echo
echo "Saved to $report"
