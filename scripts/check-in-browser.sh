#!/usr/bin/env bash
# Plays the joins made by check-real-clips.sh, and their inputs, in headless
# Chromium and checks that each join shows what its inputs showed alone, one
# after the other, on the joined canvas. Chromium's own decoder composites
# every frame (WebCodecs' ImageDecoder, served from 127.0.0.1); the times are
# the frames' delays as it reports them, with 0 and 1 hundredth shown as 10.
# Then joins around damaged inputs, every frame of which Chromium must
# decode. Not part of CI. Run scripts/check-real-clips.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$PWD/build-clips/clips
[ -s "$work/joins.txt" ] || { echo "No joins: run scripts/check-real-clips.sh first"; exit 1; }
bash scripts/install-deps.sh chromium
. scripts/chromium-page.sh
root=$PWD
cd "$work"

cat > browser-check.html <<'EOF'
<!doctype html><meta charset="utf-8"><title>join check</title><body><script>
// Full-canvas pictures of a GIF as Chromium composites them; transparent
// pixels are 0 whatever their colour. `screen` is the size in the header.
async function pictures(name) {
  const data = await (await fetch(name)).arrayBuffer();
  const head = new DataView(data);
  const screen = {w: head.getUint16(6, true), h: head.getUint16(8, true)};
  const dec = new ImageDecoder({data, type: 'image/gif'});
  await dec.tracks.ready;
  await dec.completed;
  const out = [];
  for (let i = 0; i < dec.tracks.selectedTrack.frameCount; i++) {
    const {image} = await dec.decode({frameIndex: i});
    const c = new OffscreenCanvas(image.displayWidth, image.displayHeight);
    const ctx = c.getContext('2d', {willReadFrequently: true});
    ctx.drawImage(image, 0, 0);
    const px = new Uint32Array(ctx.getImageData(0, 0, c.width, c.height).data.buffer);
    for (let k = 0; k < px.length; k++) if (px[k] >>> 24 === 0) px[k] = 0;
    out.push({w: c.width, h: c.height, px, delay: Math.round((image.duration || 0) / 10000)});
    image.close();
  }
  dec.close();
  out.screen = screen;
  return out;
}

const shown = d => (d <= 1 ? 10 : d);

function place(p, w, h, dx, dy) {
  const px = new Uint32Array(w * h);
  for (let y = 0; y < p.h && dy + y < h; y++)
    px.set(p.px.subarray(y * p.w, y * p.w + Math.min(p.w, w - dx)), (dy + y) * w + dx);
  return {w, h, px};
}

const same = (a, b) => a.w === b.w && a.h === b.h && a.px.every((v, i) => v === b.px[i]);

function merge(t) {
  const out = [];
  for (const s of t) {
    const last = out[out.length - 1];
    if (last && same(last, s)) { last.time += s.time; last.end = s.end; } else out.push({...s});
  }
  return out;
}

// As AARRGGBB; the canvas's bytes are R, G, B, A.
const hex = v => (((v >>> 24) << 24 | (v & 0xFF) << 16 | (v & 0xFF00) | (v >>> 16 & 0xFF)) >>> 0)
  .toString(16).toUpperCase().padStart(8, '0');

async function check(line) {
  const [out, mode, ...ins] = line.split(' ');
  const r = await compare(out, mode, ins);
  // Chromium grows a canvas to hold a first frame larger than the screen,
  // which the program, going by the header, cannot know of.
  const grown = r.grown.map(p => `${p.name} at ${p.pics[0].w}x${p.pics[0].h}, screen ${p.pics.screen.w}x${p.pics.screen.h}`);
  if (r.fail && grown.length) return `KNOWN: frames beyond the screen (Chromium shows ${grown.join(', ')}): ${r.fail}`;
  return r.fail ? 'FAIL: ' + r.fail : r.ok + r.notes.map(n => '; ' + n).join('');
}

async function compare(out, mode, ins) {
  const notes = [];
  const parts = [];
  for (const name of ins) parts.push({name, pics: await pictures(name)});
  const joined = {name: out, pics: await pictures(out)};
  const grown = [...parts, joined].filter(p => p.pics[0].w !== p.pics.screen.w || p.pics[0].h !== p.pics.screen.h);
  // The canvas and offsets as the program works them out, from the headers.
  const w = Math.max(...parts.map(p => p.pics.screen.w)), h = Math.max(...parts.map(p => p.pics.screen.h));
  const cw = joined.pics[0].w, ch = joined.pics[0].h;  // as Chromium shows the join
  let want = [];
  parts.forEach((p, i) => {
    const dx = mode === 'center' ? (w - p.pics.screen.w) >> 1 : 0, dy = mode === 'center' ? (h - p.pics.screen.h) >> 1 : 0;
    // A still shows for the default -d delay, -e when it is the last file.
    const still = p.pics.length === 1 && p.pics[0].delay === 0;
    if (still) notes.push(`still shown for ${i + 1 === parts.length ? 80 : 20} (${p.name})`);
    p.pics.forEach((pic, k) => want.push({...place(pic, w, h, dx, dy),
      time: still ? (i + 1 === parts.length ? 80 : 20) : shown(pic.delay),
      // a last frame of 2 or 3 hundredths may show 2 longer before the next file
      end: k + 1 === p.pics.length && i + 1 < parts.length && (pic.delay === 2 || pic.delay === 3) ? p.name : ''}));
  });
  want = merge(want);
  const got = merge(joined.pics.map(p => ({...p, time: shown(p.delay)})));
  const fail = what => ({fail: what, grown});
  if (cw !== w || ch !== h) return fail(`canvas ${cw}x${ch}, expected ${w}x${h}`);
  for (let i = 0; i < Math.min(want.length, got.length); i++) {
    const e = want[i], a = got[i];
    const p = e.px.findIndex((v, k) => v !== a.px[k]);
    if (p >= 0)
      return fail(`picture ${i}: pixel (${p % e.w},${Math.floor(p / e.w)}) is ${hex(a.px[p])}, expected ${hex(e.px[p])}`);
    if (e.time !== a.time) {
      if (!(e.end && a.time === e.time + 2)) return fail(`picture ${i}: shown for ${a.time}, expected ${e.time}`);
      notes.push(`last frame of ${e.time} shown 2 longer (${e.end})`);
      e.time = a.time;
    }
  }
  if (want.length !== got.length) return fail(`${got.length} pictures after merging repeats, expected ${want.length}`);
  const total = want.reduce((s, x) => s + x.time, 0);
  return {ok: `OK: ${want.length} pictures, ${total} hundredths`, notes, grown};
}

(async () => {
  const lines = [];
  try {
    for (const line of (await (await fetch('joins.txt')).text()).trim().split('\n'))
      lines.push(line + ' => ' + await check(line).catch(e => 'FAIL: ' + e));
  } catch (e) { lines.push('FAIL: ' + e); }
  await fetch('/result', {method: 'POST', body: lines.join('\n') + '\n'});
})();
</script>
EOF

run_in_chromium browser-check.html 150 ||
    { echo "No result from Chromium within 150 s (see $work/browser.log)"; exit 1; }

sed 's/^/  /' browser-result.txt
total=$(wc -l < browser-result.txt)
ok=$(grep -c '=> OK:' browser-result.txt || true)
known=$(grep -c '=> KNOWN:' browser-result.txt || true)
pictures=$(sed -n 's/.*=> OK: \([0-9]*\) pictures.*/\1/p' browser-result.txt | awk '{ s += $1 } END { print s + 0 }')
echo "Summary: $ok/$total joins play in Chromium as their inputs did, $pictures pictures compared;" \
    "$known differ where frames reach beyond their screen; $((total - ok - known)) failed"
clips_ok=$((ok + known == total))

# Damaged inputs (scripts/damaged-inputs.py) between two intact clips, in
# the default mode and with --keep-delays --center. Chromium must decode
# every frame of every join: it refuses a frame short of pixels, and plays
# nothing after it.
rm -rf damaged
mkdir damaged
clips=()
for f in *.gif; do case $f in join-*) ;; *) clips+=("$f") ;; esac; done
/usr/bin/python3 "$root/scripts/damaged-inputs.py" "$root" damaged "${clips[@]}"
for f in damaged/*.gif; do
    for mode in default center; do
        opts=(-s)
        [ $mode = center ] && opts+=(--keep-delays --center)
        out="damaged/join-$mode-$(basename "$f")"
        "$root/build-clips/reeljoin" "${opts[@]}" -o "$out" ffmpeg-testsrc.gif "$f" pillow-ball.gif || true
    done
done
# Each join and the frames written in it.
/usr/bin/python3 "$root/scripts/damaged-inputs.py" --frames damaged/join-*.gif > damaged.txt

cat > damaged-check.html <<'PAGE'
<!doctype html><meta charset="utf-8"><title>damaged joins</title><body><script>
// Decodes every frame of each join; a line says how many frames Chromium
// found, against those written, and which it could not decode.
async function check(name, written) {
  const data = await (await fetch(name)).arrayBuffer();
  const dec = new ImageDecoder({data, type: 'image/gif'});
  await dec.tracks.ready;
  try { await dec.completed; } catch (e) {}
  const n = dec.tracks.selectedTrack.frameCount, bad = [];
  for (let i = 0; i < n; i++) {
    try { (await dec.decode({frameIndex: i})).image.close(); } catch (e) { bad.push(i); }
  }
  dec.close();
  if (bad.length || n !== written) return `FAIL ${name}: ${n} of ${written} frames, not decoded: ${bad.join(' ')}`;
  return `OK ${name}: ${n} frames`;
}
(async () => {
  const lines = [];
  for (const line of (await (await fetch('damaged.txt')).text()).trim().split('\n')) {
    const [name, written] = line.split(' ');
    lines.push(await check(name, +written).catch(e => `FAIL ${name}: ${e}`));
  }
  await fetch('/result', {method: 'POST', body: lines.join('\n') + '\n'});
})();
</script>
PAGE
run_in_chromium damaged-check.html 900 ||
    { echo "No result from Chromium within 900 s (see $work/browser.log)"; exit 1; }
grep -v '^OK' browser-result.txt | sed 's/^/  /' || true
joins=$(wc -l < browser-result.txt)
whole=$(grep -c '^OK' browser-result.txt || true)
frames=$(sed -n 's/^OK .*: \([0-9]*\) frames$/\1/p' browser-result.txt | awk '{ s += $1 } END { print s + 0 }')
echo "Summary: $whole/$joins joins around a damaged input decode whole in Chromium, $frames frames"
[ "$clips_ok" = 1 ] && [ "$whole" -eq "$joins" ]
