"""The many-tile jobs: the README's batch recipe against its durable floor, and
one run in a crowded folder against one in an empty folder.

batch: N tiles of 256 x 256 16-bit samples in centimetres, in one folder,
through the README's GNU parallel recipe ("Many DEMs at once") with 2 workers,
as it stands there. The same recipe runs with `groundzero` on its PATH standing
for, in turn, the build, the floor (batch_floor.c: read the tile, write its
three outputs, sync each, rename them, sync the folder) and `true` (the
harness alone). Tiles past the first 1000 are hard links of those, so that
100,000 of them take seconds to make and little room.

crowded: one run of the sample tile with the README's answers, in a folder
holding nothing else, against the same run in a folder beside 100,000
unrelated empty files.
"""
import glob
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
TILE = 256  # lines = columns of a batch tile
DISTINCT = 1000  # tiles made; the others are hard links of these
RECIPE_SECTION = "## Many DEMs at once"
WORKERS = 2
GZ, FLOOR, HARNESS, BEFORE = ("groundzero", "floor (write, sync, rename, sync folder)", "harness alone (true)",
                              "groundzero before")
CROWD_ANSWERS = "demo hill 1 0 2 0 0 1 0 2\n"  # the README's sample session


def readme_recipe():
    """The first sh block of the README's section on many DEMs, as it stands."""
    block, lines = None, []
    with open(os.path.join(HERE, "..", "README.md")) as f:
        for line in f:
            line = line.rstrip("\n")
            if block is None and line.startswith(RECIPE_SECTION):
                block = False
            elif block is False and line == "```sh":
                block = True
            elif block and line == "```":
                return "\n".join(lines) + "\n"
            elif block:
                lines.append(line)
    sys.exit("bench: no sh block after %r in README.md" % RECIPE_SECTION)


def tile_samples(k):
    """Tile k: terrain in centimetres inside a zero collar, each tile its own."""
    y = (np.arange(TILE, dtype=np.float64) / TILE)[:, None]
    x = (np.arange(TILE, dtype=np.float64) / TILE)[None, :]
    px, py = (k * 0.37) % 1.0, (k * 0.61) % 1.0
    z = 300 + 180 * np.sin(5.1 * (x + px) + 1.3) * np.cos(3.7 * (y + py)) + 90 * np.exp(
        -((x - 0.6) ** 2 + (y - 0.4) ** 2) * 9)
    inside = ((x - 0.5) / 0.46) ** 2 + ((y - 0.5) / 0.43) ** 2 < 1.0
    return np.round(np.where(inside, z, 0.0) * 100).astype("<u2")


def make_tiles(root, count):
    """<root>/images/tiles/ with count tiles t000000 ... (and descriptors), made
    only where missing."""
    folder = os.path.join(root, "images", "tiles")
    os.makedirs(folder, exist_ok=True)
    for k in range(count):
        stem = os.path.join(folder, "t%06d_m2" % k)
        if os.path.exists(stem + ".txt"):
            continue
        if k < DISTINCT:
            samples = tile_samples(k)
            samples.tofile(stem + ".raw")
            with open(stem + ".txt", "wb") as out:
                out.write(b"%d\r\n%d\r\n2\r\n%d\r\n%d\r\n25\r\n" % (TILE, TILE, samples.min(), samples.max()))
        else:
            source = os.path.join(folder, "t%06d_m2" % (k % DISTINCT))
            for ext in (".raw", ".txt"):
                if os.path.exists(stem + ext):
                    os.remove(stem + ext)
                os.link(source + ext, stem + ext)
    return folder


def clear_outputs(root, folder):
    """What a run leaves goes before the next; dirty pages reach the disk
    before the clock starts."""
    with os.scandir(folder) as names:
        for entry in names:
            if "_new_base" in entry.name or entry.name.startswith("groundzero-"):
                os.remove(entry.path)
    shutil.rmtree(os.path.join(root, "logs"), ignore_errors=True)
    os.sync()


def bin_folder(work, number, target):
    """A folder whose `groundzero` is target: the build, the floor or `true`."""
    folder = os.path.join(work, "bin", str(number))
    os.makedirs(folder, exist_ok=True)
    link = os.path.join(folder, "groundzero")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(target, link)
    return folder


def timed(cmd, cwd, env=None, stdin_text=None):
    """Wall seconds of cmd, and the processor seconds (user and system) of it
    and of every process it and they waited for."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    _, err = proc.communicate(stdin_text.encode() if stdin_text else None)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if proc.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (proc.returncode, " ".join(cmd), err.decode(errors="replace")[-2000:]))
    return wall, after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def check_batch(root, folder, count, label):
    """Every run of the recipe ended well and left the tile's three outputs."""
    with open(os.path.join(root, "logs", "jobs.tsv")) as log:
        rows = [line.split("\t") for line in log.read().splitlines()[1:]]
    good = sum(1 for row in rows if row[6] == "0" and row[7] == "0")
    made = len(glob.glob(os.path.join(folder, "*_new_base_m2.raw")))
    if good != count or (label != HARNESS and made != count):
        sys.exit("batch (%s): %d of %d runs ended well, %d outputs made" % (label, good, count, made))


def add_crowd(folder, count, among):
    """The inputs and outputs of among - count more tiles beside the batch, as
    a folder holds them near the end of a batch of among tiles: names the
    recipe doesn't list nor a run clears, hard links of the batch's tiles
    (spread over them all, each file's links stay few)."""
    for k in range(count, among):
        source = os.path.join(folder, "t%06d_m2" % (k % count))
        for name, ext in (("m3", ".raw"), ("m3", ".txt"), ("out_m3", ".raw"), ("out_m3", ".txt"), ("out_m3", ".hdr")):
            path = os.path.join(folder, "c%06d_%s%s" % (k, name, ext))
            if not os.path.exists(path):
                os.link(source + (".raw" if ext == ".raw" else ".txt"), path)


def batch(work, programs, count, runs, among):
    """Medians of wall and processor seconds of the batch of count tiles, for
    each row of programs (label: what stands for groundzero); with among above
    count, in a folder crowded as by a batch of among tiles."""
    root = os.path.join(work, "batch%d" % count if among <= count else "batch%d-among-%d" % (count, among))
    print("making %d tiles in %s where missing" % (count, root), flush=True)
    folder = make_tiles(root, count)
    add_crowd(folder, count, among)
    recipe = readme_recipe()
    samples = {label: [] for label in programs}
    for _ in range(runs):  # alternate the rows run by run
        for number, (label, target) in enumerate(programs.items()):
            clear_outputs(root, folder)
            env = dict(os.environ, PATH=bin_folder(work, number, target) + os.pathsep + os.environ["PATH"],
                       PARALLEL="-j%d" % WORKERS)
            samples[label].append(timed(["sh", "-c", recipe], root, env))
            check_batch(root, folder, count, label)
    clear_outputs(root, folder)
    return medians(samples)


def medians(samples):
    """label: [median wall, median processor seconds] of each label's runs."""
    return {label: [statistics.median(run[k] for run in taken) for k in range(2)] for label, taken in samples.items()}


def crowded(work, exe, crowd, runs):
    """Medians of the wall and processor seconds of one run in an empty folder
    and of one beside crowd unrelated files."""
    sample = os.path.join(HERE, "..", "sample", "images", "demo")
    roots = {"empty folder": os.path.join(work, "crowded-empty"),
             "beside %d files" % crowd: os.path.join(work, "crowded-%d" % crowd)}
    for label, root in roots.items():
        folder = os.path.join(root, "images", "demo")
        os.makedirs(folder, exist_ok=True)
        for name in ("hill_m2.raw", "hill_m2.txt"):
            shutil.copyfile(os.path.join(sample, name), os.path.join(folder, name))
        if label != "empty folder":
            print("making %d unrelated files in %s where missing" % (crowd, folder), flush=True)
            for k in range(crowd):
                path = os.path.join(folder, "survey%06d.dat" % k)
                if not os.path.exists(path):
                    os.close(os.open(path, os.O_CREAT | os.O_WRONLY, 0o644))
    samples = {label: [] for label in roots}
    for _ in range(runs):
        for label, root in roots.items():
            for path in glob.glob(os.path.join(root, "images", "demo", "hill_new_base*")):
                os.remove(path)
            os.sync()
            samples[label].append(timed([exe], root, stdin_text=CROWD_ANSWERS))
    return medians(samples)


def batch_label(count, among):
    return "batch, %d tiles" % count + (" among %d" % among if among > count else "")


def build_floor(work):
    """Compiles the floor program into <work>/bin/."""
    path = os.path.join(work, "bin", "batch_floor")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["cc", "-O2", "-o", path, os.path.join(HERE, "batch_floor.c")], check=True)
    return path


def report(args, exe):
    """Runs the chosen many-tile jobs; prints their table and targets."""
    jobs = [j for j in args.jobs.split(",") if j in ("batch", "crowded")]
    rows, targets, notes = [], [], []
    if "batch" in jobs:
        programs = {GZ: exe, FLOOR: build_floor(args.work)}
        if not args.without_harness:
            programs[HARNESS] = shutil.which("true")
        if args.before:
            programs[BEFORE] = os.path.abspath(args.before)
        for count in [int(t) for t in args.tiles.split(",") if t]:
            med = batch(args.work, programs, count, args.batch_runs, args.among)
            gz, floor_wall = med[GZ][0], med[FLOOR][0]
            for label in programs:
                wall, cpu = med[label]
                ratio = "" if label == GZ else "%.3f" % (gz / wall)
                rows.append((batch_label(count, args.among), label, wall, 1000 * wall / count, 1000 * cpu / count, ratio))
            for k, kind in enumerate(("wall", "CPU") if HARNESS in programs else ()):
                extra = [1000 * (med[label][k] - med[HARNESS][k]) / count for label in (GZ, FLOOR)]
                notes.append("%s, %s time above the harness alone: groundzero %.2f ms a tile, the floor"
                             " %.2f ms a tile (%s)" % (batch_label(count, args.among), kind, extra[0], extra[1],
                                                       "%.2f x" % (extra[0] / extra[1]) if extra[1] > 0
                                                       else "within the noise"))
            targets.append(("%s: batch tile at most 2 x the durable floor" % batch_label(count, args.among),
                            "%.3f x (%.2f ms / %.2f ms a tile)" % (
                                gz / floor_wall, 1000 * gz / count, 1000 * floor_wall / count),
                            gz <= 2.0 * floor_wall))
    if "crowded" in jobs:
        med = crowded(args.work, exe, args.crowd, args.crowded_runs)
        (empty_label, (empty, empty_cpu)), (full_label, (full, full_cpu)) = med.items()
        rows.append(("crowded", "groundzero, " + empty_label, empty, 1000 * empty, 1000 * empty_cpu, ""))
        rows.append(("crowded", "groundzero, " + full_label, full, 1000 * full, 1000 * full_cpu,
                     "%.3f" % (full / empty)))
        targets.append(("crowded: one run %s at most 1.2 x one in an empty folder" % full_label,
                        "%.3f x (%.2f ms / %.2f ms)" % (full / empty, 1000 * full, 1000 * empty), full <= 1.2 * empty))
    if not rows:
        return
    print()
    print("Medians of %d batch run%s, %d crowded runs." % (args.batch_runs, "" if args.batch_runs == 1 else "s",
                                                           args.crowded_runs))
    print()
    print("| job | tool | wall s | wall ms a tile | CPU ms a tile | ratio |")
    print("|---|---|---:|---:|---:|---:|")
    for job, label, wall, per_tile, cpu, ratio in rows:
        print("| %s | %s | %.3f | %.3f | %.3f | %s |" % (job, label, wall, per_tile, cpu, ratio))
    print()
    for note in notes:
        print(note)
    if notes:
        print()
    print("| target | measured | result |")
    print("|---|---|---|")
    for label, measured, ok in targets:
        print("| %s | %s | %s |" % (label, measured, "met" if ok else "NOT MET"))
