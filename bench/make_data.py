"""Generates the benchmark DEMs into <work>/images/bench/.

R: 16-bit raw rasters in decimetres (8000 x 8000, 4000 x 4000, 2000 x 2000),
   smooth terrain inside a zero collar, descriptor with pixel size 30.
A: ASCII grids in metres with one decimal, one text line per grid line, CR LF,
   zero collar (3000 x 3000, 1500 x 1500, 750 x 750).
"""
import os
import sys

import numpy as np


def terrain(n):
    y, x = np.mgrid[0:n, 0:n].astype(np.float64) / n
    z = 420 + 260 * np.sin(5.1 * x + 1.3) * np.cos(3.7 * y) + 140 * np.exp(-((x - 0.6) ** 2 + (y - 0.4) ** 2) * 9)
    inside = ((x - 0.5) / 0.46) ** 2 + ((y - 0.5) / 0.43) ** 2 + 0.3 * (x - 0.5) * (y - 0.5) < 1.0
    return np.where(inside, z, 0.0)


def raster(folder, name, n):
    path = os.path.join(folder, name + "_m2.raw")
    if os.path.exists(path):
        return
    dm = np.round(terrain(n) * 10).astype("<u2")
    dm.tofile(path)
    with open(os.path.join(folder, name + "_m2.txt"), "wb") as out:
        out.write(b"%d\r\n%d\r\n2\r\n%d\r\n%d\r\n30\r\n" % (n, n, dm.min(), dm.max()))


def ascii_grid(folder, name, n):
    path = os.path.join(folder, name + ".asc")
    if os.path.exists(path):
        return
    z = np.round(terrain(n), 1)
    with open(path, "wb") as out:
        out.write(b"ncols %d\r\nnrows %d\r\nxllcorner 500000.0\r\nyllcorner 4000000.0\r\n"
                  b"cellsize 30.0\r\nNODATA_value -9999\r\n" % (n, n))
        for row in z:
            out.write(" ".join("%.1f" % v for v in row).encode() + b"\r\n")


def main(work):
    folder = os.path.join(work, "images", "bench")
    os.makedirs(folder, exist_ok=True)
    for name, n in (("R", 8000), ("R4", 4000), ("R16", 2000)):
        raster(folder, name, n)
    for name, n in (("A", 3000), ("A4", 1500), ("A16", 750)):
        ascii_grid(folder, name, n)


if __name__ == "__main__":
    main(sys.argv[1])
