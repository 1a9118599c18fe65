#!/usr/bin/env bash
# Makes short animations with ffmpeg, ImageMagick, gifsicle and Pillow, joins
# them two to four at a time with --keep-delays --fit and --keep-delays
# --center, and checks with play_check that every join plays as its inputs
# played alone, one after the other. Not part of CI: it installs the four
# encoders from Debian. Builds in build-clips, works in build-clips/clips.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh g++ cmake make libgtest-dev libgmock-dev libgif-dev \
    ffmpeg imagemagick gifsicle python3-pil
cmake -S . -B build-clips -DCMAKE_BUILD_TYPE=Release -DREELJOIN_TESTS=ON >/dev/null
cmake --build build-clips -j"$(nproc)" --target reeljoin play_check >/dev/null
reeljoin=$root/build-clips/reeljoin
check=$root/build-clips/tests/support/play_check

work=$root/build-clips/clips
rm -rf "$work"
mkdir -p "$work/parts"
cd "$work"
# Debian's own tools, whatever else is first on the PATH.
IM=/usr/bin/convert
PY=/usr/bin/python3
ff() { ffmpeg -v error -y "$@"; }

# ffmpeg: its own palette at 10 fps (transparent partial updates); a
# transparent ground at 5 fps (disposal 2); a palette per frame at 25 fps.
ff -f lavfi -i "testsrc=size=160x120:rate=10" -t 1.2 ffmpeg-testsrc.gif
ff -f lavfi -i "color=c=black@0:s=64x200:r=5:d=1.6,format=rgba[bg];testsrc=s=32x32:r=5:d=1.6[fg];
[bg][fg]overlay=x='t*20':y='t*100':format=auto,split[a][b];[a]palettegen=reserve_transparent=1[p];
[b][p]paletteuse" ffmpeg-sprite.gif
ff -f lavfi -i "testsrc2=s=200x150:r=25" -t 1 \
   -lavfi "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1" ffmpeg-local.gif

# ImageMagick: squares taken away again (disposal 3) over a kept ground;
# circles on a transparent ground (disposal 2), whole and optimised; a
# rolled picture; an interlaced wipe with transparent updates; a still.
$IM -size 120x90 -delay 20 -dispose none xc:skyblue -dispose previous -delay 15 \
    \( -size 20x20 xc:red -repage +10+10 \) \( -size 20x20 xc:orange -repage +40+30 \) \
    \( -size 20x20 xc:yellow -repage +70+50 \) \( -size 20x20 xc:green -repage +90+60 \) \
    -loop 0 magick-previous.gif
circles=()
for i in $(seq 0 9); do
    x=$((10 + i * 15))
    circles+=(\( -size 180x100 xc:none -fill "hsl($((i * 36)),80%,50%)" -draw "circle $x,50 $((x + 12)),50" \))
done
$IM -delay 8 -dispose background "${circles[@]}" -loop 0 magick-circles.gif
$IM -delay 8 -dispose background "${circles[@]}" -layers OptimizePlus -loop 0 magick-circles-opt.gif
rolls=()
for i in $(seq 0 7); do rolls+=(\( rose: -resize 150x100! -roll +$((i * 18))+0 \)); done
$IM -delay 25 "${rolls[@]}" -layers Optimize -loop 0 magick-rose.gif
wipe=()
for i in $(seq 1 6); do
    wipe+=(\( -size 96x128 gradient:navy-gold -fill white -draw "rectangle 0,0 $((i * 16)),20" \))
done
$IM -delay 12 "${wipe[@]}" -layers OptimizeTransparency -interlace GIF -loop 0 magick-wipe.gif
$IM -size 96x160 gradient:maroon-pink -fill white -draw "circle 48,80 48,50" magick-still.gif

# gifsicle: frames with palettes of their own (local tables, disposal 2) at
# 4 fps; a moving box optimised to transparent updates at 20 fps with a
# frame of delay 0 and a last of 3; sprites taken away again (disposal 3),
# interlaced, at 8 fps.
for i in $(seq 0 5); do $IM -seed "$i" -size 240x160 plasma:fractal "parts/p$i.gif"; done
gifsicle -w --disposal background --delay 25 --loopcount=forever parts/p?.gif -o gifsicle-plasma.gif
$IM -seed 7 -size 200x200 plasma:fractal +dither -colors 100 parts/ground.gif
for i in $(seq 0 9); do
    $IM parts/ground.gif -fill "hsl($((i * 30)),90%,45%)" \
        -draw "rectangle $((10 + i * 15)),$((20 + i * 12)) $((40 + i * 15)),$((50 + i * 12))" \
        +dither -remap parts/ground.gif "parts/m$i.gif"
done
gifsicle -w -O3 --loopcount=forever parts/m?.gif -o parts/box.gif
gifsicle -w parts/box.gif -d5 '#0' -d0 '#1' -d5 '#2-8' -d3 '#9' -o gifsicle-box.gif
$IM -size 64x200 gradient:darkgreen-khaki parts/s_bg.gif
for i in 0 1 2 3 4; do
    $IM -size 24x24 xc:none -fill "hsl($((i * 60)),90%,50%)" -draw "circle 12,12 12,2" "parts/s$i.gif"
done
gifsicle -w --interlace --loopcount=forever -d12 --disposal none parts/s_bg.gif --disposal previous \
    -p 20,10 parts/s0.gif -p 5,50 parts/s1.gif -p 30,90 parts/s2.gif -p 10,140 parts/s3.gif \
    -p 38,170 parts/s4.gif -o gifsicle-sprites.gif

# Pillow: a ball on a transparent ground cleared after each frame, 25 fps;
# bars with a palette per frame and disposal 3, at 10 and 4 fps; a still
# without a control block.
"$PY" - <<'EOF'
from PIL import Image, ImageDraw

def frames(w, h, n, draw, colours):
    out = []
    for i in range(n):
        im = Image.new("P", (w, h), 0)
        im.putpalette(colours(i))
        draw(ImageDraw.Draw(im), i)
        out.append(im)
    return out

def ball(d, i):
    d.ellipse((8 + i * 3, 10 + i * 14, 40 + i * 3, 42 + i * 14), fill=1 + i % 3)

f = frames(80, 200, 12, ball, lambda i: [0, 0, 0, 230, 40, 40, 40, 200, 40, 40, 40, 230] + [0] * 756)
f[0].save("pillow-ball.gif", save_all=True, append_images=f[1:], duration=40, loop=0,
          transparency=0, disposal=2)

def bars(d, i):
    for k in range(6):
        d.rectangle((k * 50 + i * 4, 20 + k * 30, k * 50 + i * 4 + 40, 60 + k * 30), fill=1 + (k + i) % 7)

f = frames(320, 240, 9, bars, lambda i: [(c * 37 + i * 50) % 256 for c in range(24)] + [0] * 744)
f[0].save("pillow-bars.gif", save_all=True, append_images=f[1:],
          duration=[100, 100, 250, 100, 100, 100, 250, 100, 100], loop=0,
          disposal=[1, 3, 3, 1, 3, 3, 1, 3, 3], transparency=0)

s = Image.new("RGB", (128, 96), (20, 40, 90))
ImageDraw.Draw(s).rectangle((30, 20, 98, 76), fill=(250, 200, 30))
s.save("pillow-still.gif")

# ImageMagick's squares with the screen made smaller by hand, so that
# frames reach beyond it.
d = bytearray(open("magick-previous.gif", "rb").read())
d[6:10] = (100).to_bytes(2, "little") + (70).to_bytes(2, "little")
open("patched-magick-beyond.gif", "wb").write(d)
EOF

echo "Clips (size, frames, delays in hundredths):"
for f in *.gif; do
    /usr/bin/identify -format '%W %H %T\n' "$f" |
        awk -v f="$f" '{ n++; w = $1; h = $2; d[$3] = 1 }
            END { s = ""; for (k in d) s = s " " k; printf "  %-26s %3dx%-3d %2d frames, delays%s\n", f, w, h, n, s }'
done

joins=(
    "ffmpeg-testsrc ffmpeg-sprite"
    "gifsicle-box pillow-ball magick-previous"
    "pillow-still gifsicle-sprites magick-circles-opt pillow-bars"
    "magick-wipe ffmpeg-local gifsicle-plasma pillow-still"
    "ffmpeg-sprite magick-circles gifsicle-sprites"
    "pillow-bars ffmpeg-testsrc"
    "magick-rose pillow-ball ffmpeg-local gifsicle-box"
    "gifsicle-plasma magick-still ffmpeg-sprite"
    "pillow-ball pillow-ball"
    "ffmpeg-local magick-circles-opt"
    "patched-magick-beyond pillow-ball magick-wipe"
    "gifsicle-sprites ffmpeg-sprite pillow-bars magick-rose"
    "magick-circles gifsicle-plasma pillow-still magick-previous"
    "ffmpeg-testsrc gifsicle-box"
)
ok=0 total=0 pictures=0 failures=()
: > joins.txt  # each join and its inputs, for check-in-browser.sh
echo "Joins:"
for names in "${joins[@]}"; do
    files=()
    for n in $names; do files+=("$n.gif"); done
    for mode in fit center; do
        centre=()
        [ "$mode" = center ] && centre=(--center)
        out="join-$((total + 1))-$mode.gif"
        "$reeljoin" -s --keep-delays "--$mode" -o "$out" "${files[@]}"
        total=$((total + 1))
        echo "$out $mode ${files[*]}" >> joins.txt
        if line=$("$check" "${centre[@]}" "$out" "${files[@]}"); then
            ok=$((ok + 1))
            pictures=$((pictures + $(echo "$line" | sed 's/^OK: \([0-9]*\) pictures.*/\1/')))
        else
            failures+=("$out")
        fi
        printf '  --%-6s %-62s %s\n' "$mode" "$names" "$line"
    done
done

encoders=$(ls ./*.gif | sed 's|^\./||; s/-.*//' | grep -v '^join$\|^patched$' | sort -u | paste -sd' ')
echo "Summary: $ok/$total joins OK, $pictures pictures compared; encoders: $encoders"
echo "Work files: $work"
[ ${#failures[@]} -eq 0 ] || { echo "Failed: ${failures[*]}"; exit 1; }
