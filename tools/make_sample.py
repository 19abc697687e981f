#!/usr/bin/env python3
"""Writes the bundled sample DEM: sample/images/demo/hill_m2.raw and its descriptor.

A 48 x 64 grid of 16-bit samples in centimetres: a smooth hill between about
212 m and 390 m, surrounded by a collar of zero cells (the null border that
reprojection leaves around real terrain), pixel size 25 m.
"""
import math
import os
import struct

LINES, COLUMNS = 48, 64
here = os.path.dirname(os.path.abspath(__file__))
folder = os.path.join(here, "..", "sample", "images", "demo")
os.makedirs(folder, exist_ok=True)

samples = []
for i in range(LINES):
    for j in range(COLUMNS):
        # A tilted ellipse of terrain; everything outside it is the zero collar.
        u, v = (j - 31.5) / 26.0, (i - 23.5) / 18.0
        if u * u + v * v + 0.15 * u * v > 1.0:
            samples.append(0)
            continue
        hill = 160.0 * math.exp(-((j - 38) ** 2 + (i - 20) ** 2) / 90.0)
        ridge = 30.0 * math.sin(j / 5.0) * math.cos(i / 7.0)
        samples.append(int(round((230.0 + hill + ridge) * 100)))

with open(os.path.join(folder, "hill_m2.raw"), "wb") as out:
    out.write(struct.pack("<%dH" % len(samples), *samples))
positive = [s for s in samples if s > 0]
with open(os.path.join(folder, "hill_m2.txt"), "wb") as out:
    out.write(("%d\r\n%d\r\n2\r\n0\r\n%d\r\n25\r\n" % (LINES, COLUMNS, max(positive))).encode())
