"""The program's dialogue as a script gives it: the answers, and the figures
read back from its console text. No QGIS here."""
import re

# How the input's values are stored: (label, sample width answer, unit answer);
# no width for an ASCII grid of decimal metres.
UNITS = ["metres", "decimetres", "centimetres", "millimetres"]
STORAGES = [("decimal metres", None, 0)] + [
    (f"{bits}-bit integers in {unit}", width, unit_answer)
    for width, bits in ((0, 16), (1, 32))
    for unit_answer, unit in enumerate(UNITS)
]
FORMS = ["ASCII grid of decimal metres", "raw raster of integers"]  # the program's 0 and 1
WIDTHS = ["16 bits, unsigned", "32 bits, signed"]

MINIMUM = re.compile(r"Min = (\S+)   Max\. = (\S+) ")
COUNT = re.compile(r"number of pixels with min value = (-?\d+) ")
BASE = re.compile(r"Recalculated minimum altitude value = (\S+) ")


def answers(folder, name, storage, form, width, unit, pixel, corner):
    """The answers for a DEM in c:\\images\\<folder>\\<name>, stored as STORAGES[storage]:
    raise its collar, keep its name, write it in the form (and width and unit)
    given. A raw input's descriptor gives no pixel size, so it is asked first.
    The output stage asks it again where the program keeps no whole metres of
    it: always for an ASCII input, for a raw one when the cell is under 1 m (or
    in degrees). An ASCII output from a raw input asks for the lower-left corner."""
    sample_width, sample_unit = STORAGES[storage][1:]
    raw_input = sample_width is not None
    size = repr(float(pixel))
    words = [folder, name]
    words += ["1", str(sample_width), size, str(sample_unit)] if raw_input else ["0"]
    words += ["0", "0", str(form)]  # replace: yes; the generic name
    if form == 1:
        words += [str(width), str(unit)]
    if not raw_input or not 1 <= pixel < 2**31:
        words.append(size)
    if form == 0 and raw_input:
        words += [repr(float(corner[0])), repr(float(corner[1]))]
    return " ".join(words) + "\n"


def figures(console):
    """The lowest elevation (m), how many cells hold it, and the base level (m)."""
    found = MINIMUM.search(console), COUNT.search(console), BASE.search(console)
    if None in found:
        return None
    return float(found[0].group(1)), int(found[1].group(1)), float(found[2].group(1))
