"""The job groundzero does, written as a numpy script: read, range, count of
the minimum, smallest positive value, raise, scale, write.

raster IN OUT_PREFIX N: 16-bit raw raster in decimetres to a 16-bit raster in centimetres.
raster32 IN OUT_PREFIX N: 32-bit raw raster in millimetres to a 32-bit raster in millimetres.
ascii IN OUT N: ASCII grid to ASCII grid.
"""
import sys

import numpy as np


def raster(path, out_prefix, n, dtype="<u2", width=2, in_scale=0.1, out_scale=100):
    dem = np.fromfile(path, dtype=dtype).reshape(n, n).astype(np.float64) * in_scale
    lo, hi = dem.min(), dem.max()
    count = int((dem == lo).sum())
    base = dem[dem > 0].min()
    out = np.maximum(dem, base)
    samples = np.trunc(out * out_scale).astype(np.int64).astype(dtype)
    samples.tofile(out_prefix + "_m%d.raw" % width)
    with open(out_prefix + "_m%d.txt" % width, "w") as d:
        d.write("%d\n%d\n%d\n%d\n%d\n30\n" % (n, n, width, int(out.min() * out_scale), int(out.max() * out_scale)))
    print(lo, hi, count, base)


def ascii_grid(path, out_path):
    with open(path, "rb") as f:
        header = [f.readline() for _ in range(6)]
        dem = np.array(f.read().split(), dtype=np.float64)
    ncols, nrows = int(header[0].split()[1]), int(header[1].split()[1])
    dem = dem.reshape(nrows, ncols)
    lo, hi = dem.min(), dem.max()
    count = int((dem == lo).sum())
    base = dem[dem > 0].min()
    out = np.maximum(dem, base)
    with open(out_path, "wb") as f:
        f.write(b"".join(header[:5]) + b"nodata_value -9999.9999\n")
        np.savetxt(f, out.reshape(1, -1), fmt="%lf", delimiter="\t", newline="\t")
    print(lo, hi, count, base)


if __name__ == "__main__":
    if sys.argv[1] == "raster":
        raster(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif sys.argv[1] == "raster32":
        raster(sys.argv[2], sys.argv[3], int(sys.argv[4]), "<i4", 4, 0.001, 1000)
    else:
        ascii_grid(sys.argv[2], sys.argv[3])
