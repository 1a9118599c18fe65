#!/usr/bin/env bash
# Shows how headless Chromium counts a GIF's loop count (the NETSCAPE2.0
# block). It makes three-frame GIFs (red, green, blue, 20 hundredths each)
# with no loop block and with counts 0, 1, 2 and 3, and prints for each what
# WebCodecs' ImageDecoder reports as repetitionCount, and how many times the
# file played its frames through in an <img>, from screenshots taken for 8 s.
# Not part of CI. Works in build-loop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts=$PWD/scripts
bash scripts/install-deps.sh chromium python3-pil
. scripts/chromium-page.sh
work=$PWD/build-loop
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# Writes the files and checks that each has the loop block it is named for.
/usr/bin/python3 - <<'PY'
import re
from PIL import Image
frames = [Image.new("RGB", (16, 16), c) for c in ((255, 0, 0), (0, 255, 0), (0, 0, 255))]
cases = [("no-block.gif", None), ("loop-0.gif", 0), ("loop-1.gif", 1), ("loop-2.gif", 2), ("loop-3.gif", 3)]
for name, loop in cases:
    frames[0].save(name, save_all=True, append_images=frames[1:], duration=200,
                   **({} if loop is None else {"loop": loop}))
    blocks = re.findall(rb"\x21\xff\x0bNETSCAPE2\.0\x03\x01(..)\x00", open(name, "rb").read(), re.S)
    assert [int.from_bytes(b, "little") for b in blocks] == ([] if loop is None else [loop]), name
open("files.txt", "w").write("".join(f"{n} {'none' if l is None else l}\n" for n, l in cases))
PY

# Shows the files side by side, 20 pixels apart, from when start() is called,
# and posts what the decoder reports for each.
cat > loop-check.html <<'EOF2'
<!doctype html><meta charset="utf-8"><title>loop check</title>
<style>body { margin: 0; background: #fff } img { width: 20px; height: 20px; display: block; float: left }</style>
<body><script>
const files = fetch('files.txt').then(r => r.text()).then(t => t.trim().split('\n').map(l => l.split(' ')[0]));

async function start() {
  for (const name of await files) document.body.append(Object.assign(new Image(), {src: name}));
}

async function repetitions(name) {
  const data = await (await fetch(name)).arrayBuffer();
  const dec = new ImageDecoder({data, type: 'image/gif'});
  await dec.tracks.ready;
  await dec.completed;
  const t = dec.tracks.selectedTrack;
  const line = `${name} ${t.repetitionCount} ${t.frameCount}`;
  dec.close();
  return line;
}

(async () => {
  const lines = [];
  for (const name of await files) lines.push(await repetitions(name).catch(e => `${name} error:${e.name} ?`));
  await fetch('/result', {method: 'POST', body: lines.join('\n') + '\n'});
})();
</script>
EOF2

points=()
for i in $(seq 0 $(($(wc -l < files.txt) - 1))); do points+=("$((i * 20 + 10)),10"); done
run_in_chromium loop-check.html 60 \
    sh -c '/usr/bin/python3 "$0" start 8 "$@" > screens.txt' "$scripts/chromium-screens.py" "${points[@]}" \
    || { echo "No result from Chromium (see $work/browser.log)"; exit 1; }

# A play is counted each time the last frame comes up; the animation has
# stopped if one frame stayed on for the last second or more.
/usr/bin/python3 - <<'PY'
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255)]
files = [l.split() for l in open("files.txt")]
decoded = {l.split()[0]: l.split()[1:] for l in open("browser-result.txt")}
shots = [l.split() for l in open("screens.txt")]
end = int(shots[-1][0])
print(f"{len(shots)} screenshots over {end / 1000:.1f} s, one every {end / len(shots):.0f} ms on average")
def frame(c):
    c = tuple(map(int, c.split(",")))
    near = [i for i, k in enumerate(colours) if sum(abs(a - b) for a, b in zip(c, k)) < 60]
    return near[0] if near else -1
for column, (name, loop) in enumerate(files, 1):
    seen = []
    for shot in shots:
        f = frame(shot[column])
        if f >= 0 and (not seen or seen[-1][0] != f):
            seen.append((f, int(shot[0])))
    plays = sum(f == len(colours) - 1 for f, _ in seen)
    odd = [f"{a}->{b} at {ms} ms" for (a, _), (b, ms) in zip(seen, seen[1:]) if b != (a + 1) % len(colours)]
    if not seen:
        how = "nothing shown"
    elif end - seen[-1][1] >= 1000:
        how = f"stopped on frame {seen[-1][0] + 1} at {seen[-1][1] / 1000:.2f} s"
    else:
        how, plays = f"still playing at {end / 1000:.1f} s", f">={plays}"
    count, frames = decoded.get(name, ["missing", "?"])
    print(f"{name:13} loop block={loop:5} repetitionCount={count:9} frames={frames}  plays: {plays} ({how}"
          + (f"; out of order: {', '.join(odd)}" if odd else "") + ")")
PY
