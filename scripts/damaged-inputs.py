#!/usr/bin/python3
"""Writes damaged GIFs into DIR, for check-in-browser.sh.

damaged-inputs.py ROOT DIR CLIP...: the tests' own animations (ROOT's fuzz
seeds) cut at every block boundary and at three places in every image's
data; each CLIP cut at a quarter, half and four fifths of its size (a
download that stopped); the inputs the fuzzer found with frames far
outside their screen; and small files whose frame is short of pixels.

damaged-inputs.py --frames FILE...: prints each FILE and its image count."""
import glob
import os
import struct
import sys

def chain_end(d, p):
    """The offset after the sub-blocks that start at p."""
    while p < len(d) and d[p]:
        p += 1 + d[p]
    return p + 1


def places(d):
    """Offsets where blocks start, and (start, end) of each image's data."""
    starts, data = [], []
    if len(d) < 13 or d[:3] != b"GIF":
        return starts, data
    p = 13 + (3 << ((d[10] & 7) + 1) if d[10] & 0x80 else 0)
    while p < len(d):
        starts.append(p)
        if d[p] == 0x21:
            p = chain_end(d, p + 2)
        elif d[p] == 0x2C and p + 10 <= len(d):
            q = p + 10 + (3 << ((d[p + 9] & 7) + 1) if d[p + 9] & 0x80 else 0) + 1
            e = chain_end(d, q)
            data.append((q, min(e, len(d))))
            p = e
        else:
            break
    return starts, data


if sys.argv[1] == "--frames":
    for f in sys.argv[2:]:
        print(f, len(places(open(f, "rb").read())[1]))
    sys.exit(0)

root, out, clips = sys.argv[1], sys.argv[2], sys.argv[3:]


def put(name, b):
    with open(os.path.join(out, name + ".gif"), "wb") as f:
        f.write(b)


for f in sorted(glob.glob(os.path.join(root, "fuzz", "corpus", "*.gif"))):
    d = open(f, "rb").read()
    cuts, data = places(d)
    for s, e in data:
        cuts += [s + 1, (s + e) // 2, e - 2]
    name = os.path.basename(f)[:-4]
    for c in sorted(set(x for x in cuts if 13 < x < len(d))):
        put("seed-%s-%d" % (name, c), d[:c])

for f in clips:
    d = open(f, "rb").read()
    for share in (25, 50, 80):
        put("clip-%s-%d" % (os.path.basename(f)[:-4], share), d[: len(d) * share // 100])

for f in sorted(glob.glob(os.path.join(root, "fuzz", "regressions", "far_*.gif"))):
    put("fuzzed-" + os.path.basename(f)[:-4], open(f, "rb").read())

# Frames of 16 x 8 in four colours: no pixel data; a few pixels and no end
# code; an interlaced frame cut in its data.
head = b"GIF89a" + struct.pack("<HH", 16, 8) + b"\x81\x00\x00" + bytes(
    [200, 0, 0, 0, 200, 0, 0, 0, 200, 250, 250, 250])


def image(data, interlace=0):
    return (b"\x21\xf9\x04\x04\x0a\x00\x00\x00\x2c" + struct.pack("<HHHH", 0, 0, 16, 8) +
            bytes([interlace, 2]) + data)


put("made-no-pixel-data", head + image(b"\x00") + b"\x3b")
put("made-too-little", head + image(b"\x02\x4c\x00\x00") + b"\x3b")
put("made-interlaced-cut", head + image(b"\x06\x4c\x92\x24\x49\x92\x24", 0x40))
