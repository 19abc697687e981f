#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode())


def provider_string(s):
    # FuzzedDataProvider::ConsumeRandomLengthString: "\\" is one backslash,
    # a backslash followed by anything else ends the string.
    return s.replace(b"\\", b"\\\\") + b"\\x"


def dialogue(name, answers, descriptor, raw, asc, sixteen=True, with_descriptor=True):
    # Strings come from the front; the two flags are taken from the back, last byte first.
    data = (provider_string(answers.encode()) + provider_string(descriptor.encode()) +
            provider_string(raw) + asc.encode() + bytes([int(sixteen), int(with_descriptor)]))
    put("dialogue", name, data)


u16 = lambda *v: struct.pack("<%dH" % len(v), *v)
i32 = lambda *v: struct.pack("<%di" % len(v), *v)
grid = "ncols 3\nnrows 2\nxllcorner 500000\nyllcorner 4000000\ncellsize 30\nnodata_value -9999\n"

dialogue("raster_to_raster", "1 0 2 0 0 1 0 2", "2\n3\n2\n0\n433\n25\n", u16(0, 0, 412, 0, 405, 433), "")
dialogue("raster32_to_ascii", "1 1 0 0 0 0 500000 4000000", "1\n5\n4\n0\n0\n10\n", i32(0, 0, 5, 3, -2), "",
         sixteen=False)
dialogue("created_descriptor", "1 0 2 3 0.5 40 1 0 0 1 1 3", "", u16(1, 2, 3, 4, 5, 6), "", with_descriptor=False)
dialogue("ascii_to_ascii", "0 0 1 b 0 12.5", "", b"", grid + "1.5 0 -2\r\n3 0 4\r\n")
dialogue("ascii_to_raster", "0 0 0 1 0 3 5", "", b"", grid + "0.3 70 nan inf -inf 1e300\n")
dialogue("short_body", "0 0 0 0 5", "", b"", grid + "1 2 3")
dialogue("no_and_negative", "1 0 0 5 1", "1 2 2 0 0 10", u16(0, 7), "")
dialogue("huge_descriptor", "1 1 0", "2000000000 2000000000 4 0 0 1", i32(1, 2), "", sixteen=False)

for name, text in [("six_lines", "2\r\n3\r\n2\r\n0\r\n5\r\n25\r\n"), ("one_line", "2 3 2 0 5 25"),
                   ("three_lines", "2\n3\n2\n"), ("non_integer", "2\n3\n2.5\n0\n5\n30\n"),
                   ("ctrl_z", "2\n3\n\x1a" "2\n"), ("huge", "99999999999999 -2147483649 4 0 0 1")]:
    put("descriptor", name, text)

for name, text in [("writer_form", grid + "1.5\t0\t-2\t3\t0\t4\t"), ("crlf_lines", (grid + "1 2 3\n4 5 6\n").replace("\n", "\r\n")),
                   ("short", grid + "1 2"), ("nan_inf_hex_plus", grid + "nan -nan inf -inf 0x1p3 +2"),
                   ("long_keyword", "k" * 300 + " 1\nnrows 1\nx 0\ny 0\nc 1\nn 0\n7"),
                   ("negative", "ncols -3\nnrows 2\nx 0\ny 0\nc 1\nn 0\n"), ("bad_header", "ncols three\n")]:
    put("ascii_reader", name, text)

for name, text in [("int", "-2147483649"), ("tie", "0.0078125"), ("hex", "0x1.8p+3"), ("inf", "-Infinity"),
                   ("nan", "nan(123)"), ("exp", "1e-400"), ("mixed", "12abc"), ("double_bits", struct.pack("<d", 613.9))]:
    put("numbers", name, text)
