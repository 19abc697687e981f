"""Generates the benchmark DEMs into <work>/images/bench/.

R: 16-bit raw rasters in decimetres (8000 x 8000, 4000 x 4000, 2000 x 2000),
   smooth terrain inside a zero collar, descriptor with pixel size 30.
W: the same terrain as 32-bit raw rasters in millimetres, same sizes.
S<n>: the same terrain as a 32-bit raster in millimetres, n x n (the scale run).
A: ASCII grids in metres with one decimal, one text line per grid line, CR LF,
   zero collar (3000 x 3000, 1500 x 1500, 750 x 750, and A-large, 6000 x 6000).

make_data.py WORK [NAME ...] makes the named DEMs (all of R, W and A without
names). A raster is made a block of lines at a time, so that the generator stays
small whatever the size, and only where it is missing or of the wrong size.
"""
import os
import sys

import numpy as np

# name: (lines = columns, bytes per sample, samples per metre)
RASTERS = {
    "R": (8000, 2, 10), "R4": (4000, 2, 10), "R16": (2000, 2, 10),
    "W": (8000, 4, 1000), "W4": (4000, 4, 1000), "W16": (2000, 4, 1000),
}
GRIDS = {"A": 3000, "A4": 1500, "A16": 750, "A-large": 6000}
CHUNK_CELLS = 1 << 21  # cells generated at a time: about 16 MB per temporary


def raster_spec(name):
    """(n, width, samples per metre) of a raster name, S<n> included."""
    if name in RASTERS:
        return RASTERS[name]
    if name.startswith("S") and name[1:].isdigit():
        return int(name[1:]), 4, 1000
    raise KeyError(name)


def terrain_rows(n, y0, y1):
    """Elevations in metres of lines y0 .. y1-1 of the n x n terrain."""
    y = (np.arange(y0, y1, dtype=np.float64) / n)[:, None]
    x = (np.arange(n, dtype=np.float64) / n)[None, :]
    z = 420 + 260 * np.sin(5.1 * x + 1.3) * np.cos(3.7 * y) + 140 * np.exp(-((x - 0.6) ** 2 + (y - 0.4) ** 2) * 9)
    inside = ((x - 0.5) / 0.46) ** 2 + ((y - 0.5) / 0.43) ** 2 + 0.3 * (x - 0.5) * (y - 0.5) < 1.0
    return np.where(inside, z, 0.0)


def terrain(n):
    return terrain_rows(n, 0, n)


def raster(folder, name):
    n, width, per_metre = raster_spec(name)
    stem = os.path.join(folder, "%s_m%d" % (name, width))
    path = stem + ".raw"
    if os.path.exists(stem + ".txt") and os.path.exists(path) and os.path.getsize(path) == n * n * width:
        return
    dtype = "<u2" if width == 2 else "<i4"
    lo, hi = None, None
    step = max(1, CHUNK_CELLS // n)
    with open(path + ".part", "wb") as out:
        for y0 in range(0, n, step):
            block = np.round(terrain_rows(n, y0, min(n, y0 + step)) * per_metre).astype(dtype)
            lo = block.min() if lo is None else min(lo, block.min())
            hi = block.max() if hi is None else max(hi, block.max())
            block.tofile(out)
    os.replace(path + ".part", path)
    with open(stem + ".txt", "wb") as out:
        out.write(b"%d\r\n%d\r\n%d\r\n%d\r\n%d\r\n30\r\n" % (n, n, width, lo, hi))


def ascii_grid(folder, name):
    n = GRIDS[name]
    path = os.path.join(folder, name + ".asc")
    if os.path.exists(path):
        return
    step = max(1, CHUNK_CELLS // n)
    with open(path + ".part", "wb") as out:
        out.write(b"ncols %d\r\nnrows %d\r\nxllcorner 500000.0\r\nyllcorner 4000000.0\r\n"
                  b"cellsize 30.0\r\nNODATA_value -9999\r\n" % (n, n))
        for y0 in range(0, n, step):
            for row in np.round(terrain_rows(n, y0, min(n, y0 + step)), 1):
                out.write(" ".join("%.1f" % v for v in row).encode() + b"\r\n")
    os.replace(path + ".part", path)


def main(work, names):
    folder = os.path.join(work, "images", "bench")
    os.makedirs(folder, exist_ok=True)
    for name in names or list(RASTERS) + list(GRIDS):
        if name in GRIDS:
            ascii_grid(folder, name)
        else:
            raster(folder, name)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
