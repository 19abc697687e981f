"""Times groundzero against its peers on the same jobs, in one run.

Jobs: R (16-bit raw raster in decimetres -> 16-bit raster in centimetres),
W (32-bit raw raster in millimetres -> 32-bit raster in millimetres) and
A (ASCII grid -> ASCII grid), each at full size, 1/4 and 1/16 of the cells,
and A at 4 x the cells (A-large).
Peers: the same job as a numpy script; for R and W, GDAL through a VRT and two
gdal_calc.py runs, and a floor, dd copying the input with conv=fsync; for A,
gdal_translate AAIGrid to AAIGrid (a lower bound of GDAL's cost for that job)
and a floor, cat reading the input and dd writing as many bytes as the output
holds with conv=fsync.
Runs alternate between the tools; the table gives medians of wall, user and
system seconds and of the peak resident memory, then the targets checked
against those figures.

batch and crowded (bench/batch.py): the README's batch recipe on 1000 tiles
against the durable floor in the same harness, and one run beside 100,000
unrelated files against one in an empty folder.

--scale instead processes one large 32-bit raster (20000 x 20000 by default)
with groundzero alone, under an address-space limit, and reports how it went.
"""
import argparse
import glob
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import batch

HERE = os.path.dirname(os.path.abspath(__file__))
PY = "/usr/bin/python3"  # Debian's, where python3-numpy and python3-gdal live
TIME = "/usr/bin/time"  # GNU time, for the peak resident memory

SIZES = ("full", "4", "16", "large")  # all the cells, 1/4, 1/16, 4 x (A only)
MANY_TILE_JOBS = ("batch", "crowded")  # bench/batch.py
JOBS = {
    "R": [("R", 8000), ("R4", 4000), ("R16", 2000)],
    "W": [("W", 8000), ("W4", 4000), ("W16", 2000)],
    "A": [("A", 3000), ("A4", 1500), ("A16", 750), ("A-large", 6000)],
}
FLOOR = "floor (dd conv=fsync)"
GRID_FLOOR = "floor (cat + dd conv=fsync)"
MIB = 2.0 ** 20

# The answers piped to groundzero: folder, name, input form, width, unit (the
# descriptor gives the pixel size), then yes to the replacement, the generic
# name, and the output form, width and unit.
ANSWERS = {"R": "bench %s 1 0 1 0 0 1 0 2\n", "W": "bench %s 1 1 3 0 0 1 1 3\n", "A": "bench %s 0 0 0 0 30\n"}
# How a raster job reads for each peer: width in bytes, VRT type, numpy job,
# the value the GDAL mask gives non-positive cells, the GDAL scaling.
RASTER_KINDS = {
    "R": (2, "UInt16", "raster", 65535, "*10"),
    "W": (4, "Int32", "raster32", 2147483647, ""),
}

VRT = """<VRTDataset rasterXSize="{n}" rasterYSize="{n}">
  <VRTRasterBand dataType="{type}" band="1" subClass="VRTRawRasterBand">
    <SourceFilename relativeToVRT="1">{name}_m{width}.raw</SourceFilename>
    <ImageOffset>0</ImageOffset><PixelOffset>{width}</PixelOffset><LineOffset>{line}</LineOffset>
    <ByteOrder>LSB</ByteOrder>
  </VRTRasterBand>
</VRTDataset>
"""


BEFORE = "groundzero before"


class Tool:
    def __init__(self, label, cmd, stdin_text, outputs):
        self.label, self.cmd, self.stdin_text = label, cmd, stdin_text
        self.outputs = outputs  # glob patterns of what a run writes, removed before each run


def measure(cmd, cwd, stdin_text=None, preexec_fn=None, check=True):
    """Runs cmd; returns wall, user, sys seconds, peak RSS in MiB (the largest
    of the process and the children it waited for), exit status and the tail
    of what it printed. GNU time reports the peak: a child started from here
    directly would count this script's own resident memory as its peak."""
    if isinstance(cmd, str):
        cmd = ["sh", "-c", cmd]
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        proc = subprocess.Popen([TIME, "-f", "%M", "-o", peak.name] + cmd, cwd=cwd, stdin=subprocess.PIPE,
                                stdout=out, stderr=subprocess.PIPE, preexec_fn=preexec_fn)
        if stdin_text is not None:
            try:
                proc.stdin.write(stdin_text.encode())
            except BrokenPipeError:
                pass
        proc.stdin.close()
        err = proc.stderr.read()
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        out.seek(max(0, out.seek(0, os.SEEK_END) - 2000))
        tail = out.read().decode(errors="replace") + err.decode(errors="replace")
        report = peak.read().split("\n")  # "Command terminated by signal N" and the like come first
        tail += "".join(line + "\n" for line in report[:-1] if line and not line.isdigit())
        report = [line for line in report if line.isdigit()]
    if check and proc.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (proc.returncode, " ".join(cmd), tail))
    rss = int(report[-1]) / 1024.0 if report else float("nan")
    return wall, usage.ru_utime, usage.ru_stime, rss, proc.returncode, tail


def raster_tools(kind, name, n, exe, bench, out):
    width, vrt_type, np_job, masked, scale = RASTER_KINDS[kind]
    vrt = os.path.join(bench, name + ".vrt")
    with open(vrt, "w") as f:
        f.write(VRT.format(n=n, name=name, type=vrt_type, width=width, line=width * n))
    src = os.path.join(bench, "%s_m%d.raw" % (name, width))
    gdal = (
        "gdal_calc.py --quiet -A {vrt} --calc='where(A>0,A,{masked})' --type={type} "
        "--outfile={out}/pos_{name}.tif --overwrite && "
        "base=$(gdalinfo -mm {out}/pos_{name}.tif | sed -n 's/.*Computed Min\\/Max=\\([0-9.]*\\),.*/\\1/p') && "
        "gdal_calc.py --quiet -A {vrt} --calc=\"maximum(A,$base){scale}\" --type={type} --format=ENVI "
        "--outfile={out}/gdal_{name}.raw --overwrite").format(
            vrt=vrt, out=out, name=name, masked=masked, type=vrt_type, scale=scale)
    return [
        Tool("groundzero", [exe], ANSWERS[kind] % name,
             [os.path.join(bench, "%s_new_base_m%d.*" % (name, width))]),
        Tool("numpy", [PY, os.path.join(HERE, "numpy_job.py"), np_job, src, os.path.join(out, "np_" + name), str(n)],
             None, [os.path.join(out, "np_%s_m%d.*" % (name, width))]),
        Tool("GDAL", gdal, None, [os.path.join(out, "pos_%s.tif*" % name), os.path.join(out, "gdal_%s.*" % name)]),
        Tool(FLOOR, ["dd", "if=" + src, "of=" + os.path.join(out, "dd_%s.raw" % name), "bs=4M", "conv=fsync"],
             None, [os.path.join(out, "dd_%s.raw" % name)]),
    ]


def grid_tools(name, exe, bench, out, work):
    src = os.path.join(bench, name + ".asc")
    gz = Tool("groundzero", [exe], ANSWERS["A"] % name, [os.path.join(bench, name + "_new_base.*")])
    # One untimed run gives the size of the output the floor writes (and puts
    # the input in the page cache for every tool alike).
    remove_outputs(gz)
    measure(gz.cmd, work, gz.stdin_text)
    written = os.path.getsize(os.path.join(bench, name + "_new_base.asc"))
    floor = ("cat {src} > /dev/null && dd if=/dev/zero of={out}/floor_{name}.asc bs=4M count={n} "
             "iflag=count_bytes conv=fsync status=none").format(src=src, out=out, name=name, n=written)
    return [
        gz,
        Tool("numpy", [PY, os.path.join(HERE, "numpy_job.py"), "ascii", src, os.path.join(out, "np_" + name + ".asc")],
             None, [os.path.join(out, "np_%s.asc" % name)]),
        Tool("gdal_translate", ["gdal_translate", "-q", "-of", "AAIGrid", src, os.path.join(out, "gdal_" + name + ".asc")],
             None, [os.path.join(out, "gdal_%s.*" % name)]),
        Tool(GRID_FLOOR, floor, None, [os.path.join(out, "floor_%s.asc" % name)]),
    ]


def remove_outputs(tool):
    """Every run writes fresh files: the previous run's outputs go, and what is
    still to be written back reaches the disk before the clock starts, so that
    no run pays for the writeback of another."""
    for pattern in tool.outputs:
        for path in glob.glob(pattern):
            os.remove(path)
    os.sync()


def selected(jobs, sizes):
    return [(kind, name, n) for kind in jobs for i, (name, n) in enumerate(JOBS[kind]) if SIZES[i] in sizes]


def check(label, measured, ok):
    return (label, measured, "met" if ok else "NOT MET")


def targets(results):
    """The targets, each checked against the medians measured in this run."""
    rows = []
    peaks = {}
    for kind, name, cells, med in results:
        gz = med["groundzero"]
        if kind in ("R", "W"):
            most = 0.2 if kind == "R" else 0.3
            for peer, bound in (("GDAL", most), ("numpy", most), (FLOOR, 2.0)):
                ratio = gz[0] / med[peer][0]
                rows.append(check("%s, %d cells: groundzero at most %g x %s" % (name, cells, bound, peer),
                                  "%.3f x (%.3f s / %.3f s)" % (ratio, gz[0], med[peer][0]), ratio <= bound))
            rows.append(check("%s, %d cells: peak RSS of groundzero at most 32 MiB" % (name, cells),
                              "%.1f MiB" % gz[3], gz[3] <= 32))
            peaks[name] = gz[3]
        else:
            # The speed targets are set for A alone; the other sizes show how the cost grows.
            bounds = (("gdal_translate", 0.06), (GRID_FLOOR, 1.5)) if name == "A" else ()
            for peer, bound in bounds:
                ratio = gz[0] / med[peer][0]
                rows.append(check("%s, %d cells: groundzero at most %g x %s" % (name, cells, bound, peer),
                                  "%.3f x (%.3f s / %.3f s)" % (ratio, gz[0], med[peer][0]), ratio <= bound))
            if BEFORE in med:
                rows.append(check("%s, %d cells: not slower than the build before" % (name, cells),
                                  "%.3f s against %.3f s" % (gz[0], med[BEFORE][0]), gz[0] <= med[BEFORE][0]))
            rows.append(check("%s, %d cells: peak RSS of groundzero at most 32 MiB" % (name, cells),
                              "%.1f MiB" % gz[3], gz[3] <= 32))
            peaks[name] = gz[3]
    for kind in ("R", "W"):
        big, quarter = JOBS[kind][0][0], JOBS[kind][1][0]
        if big in peaks and quarter in peaks:
            diff = peaks[big] - peaks[quarter]
            rows.append(check("%s: peak RSS flat, within 2 MiB at 16 M and 64 M cells" % kind,
                              "%.1f MiB at 64 M, %.1f MiB at 16 M" % (peaks[big], peaks[quarter]), abs(diff) <= 2))
        elif big in peaks or quarter in peaks:
            rows.append((kind + ": peak RSS flat, within 2 MiB at 16 M and 64 M cells",
                         "needs --sizes full,4", "not measured"))
    grids = [(name, n * n) for name, n in JOBS["A"] if name in peaks]
    if len(grids) >= 2:
        spread = max(peaks[name] for name, _ in grids) - min(peaks[name] for name, _ in grids)
        cells = [c for _, c in grids]
        rows.append(check("A: peak RSS flat, within 2 MiB from %d to %d cells" % (min(cells), max(cells)),
                          ", ".join("%.1f MiB (%s)" % (peaks[name], name) for name, _ in grids), spread <= 2))
    elif grids:
        rows.append(("A: peak RSS flat, within 2 MiB at every size", "needs two sizes or more", "not measured"))
    return rows


def benchmark(args, exe):
    jobs = [j for j in args.jobs.split(",") if j and j not in MANY_TILE_JOBS]
    sizes = [s for s in args.sizes.split(",") if s]
    for value, allowed, option in ((jobs, tuple(JOBS) + MANY_TILE_JOBS, "--jobs"), (sizes, SIZES, "--sizes")):
        wrong = [v for v in value if v not in allowed]
        if wrong:
            sys.exit("%s: unknown %s (choose from %s)" % (option, ",".join(wrong), ",".join(allowed)))
    if args.runs < 1:
        sys.exit("--runs: at least 1")
    if not jobs:
        return
    chosen = selected(jobs, sizes)
    subprocess.run([PY, os.path.join(HERE, "make_data.py"), args.work] + [name for _, name, _ in chosen], check=True)
    bench = os.path.join(args.work, "images", "bench")
    out = os.path.join(args.work, "out")
    os.makedirs(out, exist_ok=True)

    rows, results = [], []
    for kind, name, n in chosen:
        tools = (raster_tools(kind, name, n, exe, bench, out) if kind in RASTER_KINDS
                 else grid_tools(name, exe, bench, out, args.work))
        if args.before:
            # An earlier build on the same job: same answers, same outputs.
            tools.insert(1, Tool(BEFORE, [os.path.abspath(args.before)], tools[0].stdin_text, tools[0].outputs))
        samples = {tool.label: [] for tool in tools}
        for _ in range(args.runs):  # alternate the tools run by run
            for tool in tools:
                remove_outputs(tool)
                samples[tool.label].append(measure(tool.cmd, args.work, tool.stdin_text)[:4])
        med = {label: [statistics.median(s[k] for s in runs) for k in range(4)] for label, runs in samples.items()}
        results.append((kind, name, n * n, med))
        gz = med["groundzero"]
        for label, (wall, user, sys_s, rss) in med.items():
            ratio = "" if label == "groundzero" else "%.3f" % (gz[0] / wall)
            rows.append((name, n * n, label, wall, user, sys_s, rss, ratio))

    print("Medians of %d run%s." % (args.runs, "" if args.runs == 1 else "s"))
    print()
    print("| job | cells | tool | wall s | user s | sys s | peak MiB | groundzero / tool |")
    print("|---|---:|---|---:|---:|---:|---:|---:|")
    for name, cells, label, wall, user, sys_s, rss, ratio in rows:
        print("| %s | %d | %s | %.3f | %.3f | %.3f | %.0f | %s |" % (name, cells, label, wall, user, sys_s, rss, ratio))
    print()
    print("| target | measured | result |")
    print("|---|---|---|")
    for label, measured, verdict in targets(results):
        print("| %s | %s | %s |" % (label, measured, verdict))


def scale(args, exe):
    """One groundzero run on an n x n 32-bit raster under an address-space limit."""
    n, limit = args.scale_size, args.scale_limit
    name = "S%d" % n
    print("generating %s_m4.raw (%d x %d, %.2f GB) where missing" % (name, n, n, 4.0 * n * n / 1e9), flush=True)
    subprocess.run([PY, os.path.join(HERE, "make_data.py"), args.work, name], check=True)
    bench = os.path.join(args.work, "images", "bench")
    outputs = os.path.join(bench, name + "_new_base_m4.")
    remove_outputs(Tool("groundzero", None, None, [outputs + "*"]))

    def limit_address_space():
        resource.setrlimit(resource.RLIMIT_AS, (limit << 20, limit << 20))

    wall, user, sys_s, rss, status, tail = measure([exe], args.work, ANSWERS["W"] % name,
                                                   preexec_fn=limit_address_space, check=False)
    raw_size = os.path.getsize(outputs + "raw") if os.path.exists(outputs + "raw") else None
    descriptor = None
    if os.path.exists(outputs + "txt"):
        with open(outputs + "txt", "rb") as f:
            descriptor = f.read().split()
    with open(os.path.join(bench, name + "_m4.txt"), "rb") as f:
        source = f.read().split()
    good_size = raw_size == 4 * n * n
    good_descriptor = descriptor is not None and descriptor[:3] == [b"%d" % n, b"%d" % n, b"4"]

    print()
    print("| scale run | |")
    print("|---|---|")
    print("| input | %s_m4.raw, %d x %d = %d cells, %d bytes |" % (name, n, n, n * n, 4 * n * n))
    print("| address-space limit | %d MiB |" % limit)
    print("| exit status | %d |" % status)
    print("| wall s / user s / sys s | %.3f / %.3f / %.3f |" % (wall, user, sys_s))
    print("| peak RSS | %.1f MiB |" % rss)
    print("| output raster | %s, %d bytes expected: %s |" % (
        "none" if raw_size is None else "%d bytes" % raw_size, 4 * n * n, "right" if good_size else "WRONG"))
    print("| output descriptor | %s |" % (
        "none" if descriptor is None else " ".join(v.decode() for v in descriptor)
        + (" (input range %s .. %s)" % (source[3].decode(), source[4].decode()))))
    ok = status == 0 and good_size and good_descriptor
    print("| result | %s |" % ("processed" if ok else "FAILED"))
    if not ok:
        print()
        print("last console output:")
        print(tail.rstrip()[-600:])
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", default=os.path.join(HERE, "..", "build", "groundzero"))
    parser.add_argument("--runs", type=int, default=5, help="runs of each tool; the table gives medians (default 5)")
    parser.add_argument("--jobs", default="R,W,A,batch,crowded",
                        help="jobs to run, from R,W,A,batch,crowded (default all)")
    parser.add_argument("--sizes", default="full,4,16,large",
                        help="sizes to run: full, 4 (1/4 of the cells), 16 (1/16), large (A only: 4 x the cells)"
                             " (default all)")
    parser.add_argument("--tiles", default="1000",
                        help="batch sizes in tiles, comma-separated, such as 1000,100000 (default 1000)")
    parser.add_argument("--batch-runs", type=int, default=3, help="runs of each batch row (default 3)")
    parser.add_argument("--among", type=int, default=0,
                        help="batch: its folder also holds the inputs and outputs of this many tiles in all, as"
                             " near the end of a batch that large (default: none)")
    parser.add_argument("--without-harness", action="store_true",
                        help="batch: time groundzero and the floor only, not the harness alone (a third less time)")
    parser.add_argument("--crowd", type=int, default=100000,
                        help="unrelated files beside the crowded run (default 100000)")
    parser.add_argument("--crowded-runs", type=int, default=21, help="runs of each crowded row (default 21)")
    parser.add_argument("--work", default=os.path.join(HERE, "work"))
    parser.add_argument("--before", help="an earlier build of groundzero, timed beside the current one")
    parser.add_argument("--scale", action="store_true",
                        help="run the scale check instead: one large 32-bit raster under an address-space limit")
    parser.add_argument("--scale-size", type=int, default=20000, help="lines = columns of the scale raster (default 20000)")
    parser.add_argument("--scale-limit", type=int, default=64, help="address-space limit in MiB (default 64)")
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    if args.scale:
        return scale(args, exe)
    benchmark(args, exe)
    batch.report(args, exe)
    return 0


if __name__ == "__main__":
    sys.exit(main())
