#!/usr/bin/env python3
# palseq.py COUNT DIR: writes COUNT single-frame 160x120 GIFs into DIR, all
# with one 256-colour palette, as a renderer with a fixed palette writes a
# frame sequence.
import sys
from PIL import Image, ImageDraw

count, out = int(sys.argv[1]), sys.argv[2]
palette = []
for i in range(256):
    palette += [(i * 37) % 256, (i * 91) % 256, (i * 53) % 256]
for f in range(count):
    im = Image.new('P', (160, 120), 0)
    im.putpalette(palette)
    d = ImageDraw.Draw(im)
    for k in range(10):
        x = (f * 3 + k * 29) % 150
        y = (f * 2 + k * 23) % 110
        d.ellipse([x, y, x + 24, y + 16], fill=(k * 25 + f // 8) % 256)
    im.save('%s/%05d.gif' % (out, f), optimize=False)
