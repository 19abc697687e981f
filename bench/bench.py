"""Times groundzero against its peers on the same jobs, in one run.

Jobs: R (16-bit raw raster in decimetres -> 16-bit raster in centimetres) and
A (ASCII grid -> ASCII grid), each at full size, 1/4 and 1/16 of the cells.
Peers: the same job as a numpy script; for R, GDAL through a VRT and two
gdal_calc.py runs; for A, gdal_translate AAIGrid to AAIGrid (a lower bound of
GDAL's cost for that job). Runs alternate between the tools; the table gives
medians of wall, user and system seconds and of the peak resident memory.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"  # Debian's, where python3-numpy and python3-gdal live
TIME = "/usr/bin/time"  # GNU time, for the peak resident memory

RASTERS = [("R", 8000), ("R4", 4000), ("R16", 2000)]
GRIDS = [("A", 3000), ("A4", 1500), ("A16", 750)]

VRT = """<VRTDataset rasterXSize="{n}" rasterYSize="{n}">
  <VRTRasterBand dataType="UInt16" band="1" subClass="VRTRawRasterBand">
    <SourceFilename relativeToVRT="1">{name}_m2.raw</SourceFilename>
    <ImageOffset>0</ImageOffset><PixelOffset>2</PixelOffset><LineOffset>{line}</LineOffset>
    <ByteOrder>LSB</ByteOrder>
  </VRTRasterBand>
</VRTDataset>
"""


def measure(cmd, cwd, stdin_text=None):
    """Runs cmd; returns wall, user, sys seconds and peak RSS in MiB (the
    largest of the process and the children it waited for). GNU time reports
    the peak: a child started from here directly would count this script's own
    resident memory as its peak."""
    if isinstance(cmd, str):
        cmd = ["sh", "-c", cmd]
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        proc = subprocess.Popen([TIME, "-f", "%M", "-o", peak.name] + cmd, cwd=cwd, stdin=subprocess.PIPE,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if stdin_text is not None:
            proc.stdin.write(stdin_text.encode())
        proc.stdin.close()
        err = proc.stderr.read()
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        report = peak.read().split()
    if proc.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (proc.returncode, " ".join(cmd), err.decode(errors="replace")))
    return wall, usage.ru_utime, usage.ru_stime, int(report[-1]) / 1024.0


def jobs(exe, work):
    bench = os.path.join(work, "images", "bench")
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    result = []
    for name, n in RASTERS:
        with open(os.path.join(bench, name + ".vrt"), "w") as f:
            f.write(VRT.format(n=n, name=name, line=2 * n))
        vrt = os.path.join(bench, name + ".vrt")
        gdal = (
            "gdal_calc.py --quiet -A {vrt} --calc='where(A>0,A,65535)' --type=UInt16 "
            "--outfile={out}/pos_{name}.tif --overwrite && "
            "base=$(gdalinfo -mm {out}/pos_{name}.tif | sed -n 's/.*Computed Min\\/Max=\\([0-9.]*\\),.*/\\1/p') && "
            "gdal_calc.py --quiet -A {vrt} --calc=\"maximum(A,$base)*10\" --type=UInt16 --format=ENVI "
            "--outfile={out}/gdal_{name}.raw --overwrite").format(vrt=vrt, out=out, name=name)
        result.append(("R", name, n * n, [
            ("groundzero", [exe], "bench %s 1 0 1 0 0 1 0 2\n" % name),
            ("numpy", [PY, os.path.join(HERE, "numpy_job.py"), "raster",
                       os.path.join(bench, name + "_m2.raw"), os.path.join(out, "np_" + name), str(n)], None),
            ("GDAL", gdal, None),
        ]))
    for name, n in GRIDS:
        src = os.path.join(bench, name + ".asc")
        result.append(("A", name, n * n, [
            ("groundzero", [exe], "bench %s 0 0 0 0 30\n" % name),
            ("numpy", [PY, os.path.join(HERE, "numpy_job.py"), "ascii", src, os.path.join(out, "np_" + name + ".asc")], None),
            ("gdal_translate", ["gdal_translate", "-q", "-of", "AAIGrid", src, os.path.join(out, "gdal_" + name + ".asc")], None),
        ]))
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", default=os.path.join(HERE, "..", "build", "groundzero"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default=os.path.join(HERE, "work"))
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    subprocess.run([PY, os.path.join(HERE, "make_data.py"), args.work], check=True)

    rows = []
    for kind, name, cells, tools in jobs(exe, args.work):
        samples = {tool: [] for tool, _, _ in tools}
        for _ in range(args.runs):  # alternate the tools run by run
            for tool, cmd, stdin_text in tools:
                samples[tool].append(measure(cmd, args.work, stdin_text))
        med = {tool: [statistics.median(s[k] for s in runs) for k in range(4)] for tool, runs in samples.items()}
        gz = med["groundzero"]
        for tool, (wall, user, sys_s, rss) in med.items():
            ratio = "" if tool == "groundzero" else "%.3f" % (gz[0] / wall)
            rows.append((kind, name, cells, tool, wall, user, sys_s, rss, ratio))
        limit = (24 if kind == "R" else 17) * cells / 2 ** 20 + 64
        rows.append((kind, name, cells, "memory limit", None, None, None, limit,
                     "met" if gz[3] <= limit else "NOT MET"))

    print("| job | cells | tool | wall s | user s | sys s | peak MiB | groundzero / tool |")
    print("|---|---:|---|---:|---:|---:|---:|---:|")
    for kind, name, cells, tool, wall, user, sys_s, rss, ratio in rows:
        if wall is None:
            print("| %s | %d | %s (%s) | | | | %.0f | %s |" % (name, cells, tool, "24 B/cell + 64 MiB" if kind == "R" else "17 B/cell + 64 MiB", rss, ratio))
        else:
            print("| %s | %d | %s | %.3f | %.3f | %.3f | %.0f | %s |" % (name, cells, tool, wall, user, sys_s, rss, ratio))


if __name__ == "__main__":
    main()
