#!/usr/bin/python3
"""Writes crafted workbooks whose load cost once grew faster than their size, one per case,
so that the reader's time and memory can be measured on them before and after a change:

    make_hostile.py OUT_DIR [CASE...]
    /usr/bin/time -v build/release/tools/xlsdump --summary OUT_DIR/CASE.xls

Every record respects the 8,224-byte limit; each file is a valid compound file (512-byte
sectors, no mini stream) holding one "Workbook" stream.
"""
import struct
import sys

# ---- compound file -------------------------------------------------------------------------

SECTOR = 512
END, FREE, FATSECT, DIFSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFC


def compound_file(stream, name="Workbook"):
    stream = stream + b"\0" * (-len(stream) % SECTOR)
    if len(stream) < 4096:  # below the cutoff a stream would live in the mini stream
        stream += b"\0" * (4096 - len(stream))
    data_sectors = len(stream) // SECTOR
    per_fat = SECTOR // 4
    fat_count = 1
    while True:
        difat_count = 0 if fat_count <= 109 else -(-(fat_count - 109) // (per_fat - 1))
        total = fat_count + difat_count + 1 + data_sectors  # + one directory sector
        if total <= fat_count * per_fat:
            break
        fat_count += 1
    fat = [FREE] * (fat_count * per_fat)
    fat_sectors = list(range(fat_count))
    difat_sectors = list(range(fat_count, fat_count + difat_count))
    dir_sector = fat_count + difat_count
    first_data = dir_sector + 1
    for s in fat_sectors:
        fat[s] = FATSECT
    for s in difat_sectors:
        fat[s] = DIFSECT
    fat[dir_sector] = END
    for i in range(data_sectors):
        fat[first_data + i] = first_data + i + 1 if i + 1 < data_sectors else END

    header = bytearray(512)
    header[0:8] = bytes([0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1])
    struct.pack_into("<HHHHH", header, 24, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<III", header, 44, fat_count, dir_sector, 0)
    struct.pack_into("<IIII", header, 56, 4096, END, 0, difat_sectors[0] if difat_sectors else END)
    struct.pack_into("<I", header, 72, difat_count)
    difat = fat_sectors[:109] + [FREE] * (109 - min(109, fat_count))
    struct.pack_into("<109I", header, 76, *difat)

    out = bytearray(header)
    out += struct.pack("<%dI" % len(fat), *fat)
    rest = fat_sectors[109:]
    for k, s in enumerate(difat_sectors):
        chunk = rest[k * (per_fat - 1):(k + 1) * (per_fat - 1)]
        chunk += [FREE] * (per_fat - 1 - len(chunk))
        nxt = difat_sectors[k + 1] if k + 1 < len(difat_sectors) else END
        out += struct.pack("<%dI" % per_fat, *(chunk + [nxt]))

    def entry(name, kind, child, start, size):
        e = bytearray(128)
        units = name.encode("utf-16-le")
        e[0:len(units)] = units
        struct.pack_into("<HBB", e, 64, len(units) + 2, kind, 1)
        struct.pack_into("<III", e, 68, FREE, FREE, child)
        struct.pack_into("<IQ", e, 116, start, size)
        return e

    directory = entry("Root Entry", 5, 1, END, 0) + entry(name, 2, FREE, first_data, len(stream))
    directory += entry("", 0, FREE, END, 0) * 2
    out += directory
    out += stream
    return bytes(out)


# ---- BIFF records ----------------------------------------------------------------------------

def rec(rid, payload=b""):
    assert len(payload) <= 8224, (hex(rid), len(payload))
    return struct.pack("<HH", rid, len(payload)) + payload


def bof(kind):
    return rec(0x0809, struct.pack("<HHHHII", 0x0600, kind, 0x0DBB, 0x07CC, 0, 6))


EOF = rec(0x000A)


def font():
    return rec(0x0031, struct.pack("<HHHHHBBBB", 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0) + b"\x05\x00Arial")


def xf(fmt=0, font_index=0):
    return rec(0x00E0, struct.pack("<HHHHHHHIH", font_index, fmt, 1, 0x20, 0, 0, 0, 0, 0x20C0))


def fmt(code, pattern):
    raw = pattern.encode("latin-1")
    return rec(0x041E, struct.pack("<HHB", code, len(raw), 0) + raw)


def boundsheet(name, offset=0):
    raw = name.encode("latin-1")
    return rec(0x0085, struct.pack("<IHBB", offset, 0, len(raw), 0) + raw)


def number(row, col, xf_index, value):
    return rec(0x0203, struct.pack("<HHHd", row, col, xf_index, value))


def formula(row, col, tokens, options=0, xf_index=0):
    return rec(0x0006, struct.pack("<HHHdHIH", row, col, xf_index, 0.0, options, 0, len(tokens)) + tokens)


def shrfmla(first_row, last_row, first_col, last_col, tokens):
    return rec(0x04BC, struct.pack("<HHBBBBH", first_row, last_row, first_col, last_col, 0, 1, len(tokens)) + tokens)


def externsheet(entries):
    return rec(0x0017, struct.pack("<H", len(entries)) + b"".join(struct.pack("<HHH", *e) for e in entries))


def workbook(globals_records, sheets):
    """`sheets`: list of (name, records); BOUNDSHEET offsets point at each sheet's BOF."""
    head = bof(0x0005) + font() + b"".join(globals_records)
    bounds_size = sum(len(boundsheet(name)) for name, _ in sheets)
    offset = len(head) + bounds_size + len(EOF)
    bounds, bodies = b"", b""
    for name, records in sheets:
        bounds += boundsheet(name, offset)
        body = bof(0x0010) + b"".join(records) + EOF
        bodies += body
        offset += len(body)
    return head + bounds + EOF + bodies


# ---- the cases -------------------------------------------------------------------------------

def ref3d(row, col):
    return struct.pack("<BHHH", 0x3A, 0, row, col | 0xC000)


def case_formula3d():
    # A shared formula of 3-D references to a sheet with a 255-character name: about 770 text
    # bytes per 8 token bytes, in every cell that uses it.
    name = "S" * 255
    refs = 30
    tokens = ref3d(0, 0) + b"".join(ref3d(i, 0) + b"\x03" for i in range(1, refs))
    cells = [shrfmla(0, 3599, 0, 0, tokens)]
    cells += [formula(r, 0, struct.pack("<BHH", 0x01, 0, 0), options=0x08) for r in range(3600)]
    return workbook([externsheet([(0, 0, 0)])], [(name, cells)])


def case_formula3dbig():
    # The same with 590 references: 155,000 characters per cell, beyond the 8,192 allowed.
    name = "S" * 255
    tokens = ref3d(0, 0) + b"".join(ref3d(i % 30, 0) + b"\x03" for i in range(1, 590))
    cells = [shrfmla(0, 3599, 0, 0, tokens)]
    cells += [formula(r, 0, struct.pack("<BHH", 0x01, 0, 0), options=0x08) for r in range(3600)]
    return workbook([externsheet([(0, 0, 0)])], [(name, cells)])


def case_numfmt():
    # Long number patterns shown for a few cells: commas that scale, zeros of fractions.
    patterns = ["0" + "," * 8000, "h:mm:ss." + "0" * 8000]
    g = [xf()]
    for k, p in enumerate(patterns):
        g += [fmt(200 + k, p), xf(200 + k)]
    cells = [number(r, 7, 1 + (r % len(patterns)), 1234.5 + r) for r in range(30)]
    return workbook(g, [("S", cells)])


def case_xfs():
    return workbook([xf() for _ in range(250000)], [("S", [number(0, 0, 0, 1.0)])])


def case_formats():
    g = [fmt(code, "0.%d" % code) for code in range(50, 65536)]
    g += [xf(50 + (k * 7919) % 65000) for k in range(130000)]
    return workbook(g, [("S", [number(0, 0, 0, 1.0)])])


def case_sheets():
    return workbook([], [("S%05d" % k, []) for k in range(50000)])


def case_longsheets():
    return workbook([], [("%05d" % k + "x" * 250, []) for k in range(20000)])


def case_shared():
    # Many one-cell shared formulas, each cell found in a list of all of them.
    n = 30000
    cells = []
    for r in range(n):
        cells.append(formula(r, 0, struct.pack("<BHH", 0x01, r, 0), options=0x08))
        cells.append(shrfmla(r, r, 0, 0, struct.pack("<BH", 0x1E, r & 0x7FFF)))
    return workbook([], [("S", cells)])


def case_xfdates():
    # XF and NUMBER records in turn, the XFs naming a long date pattern.
    pattern = "yyyy-mm-dd" + ' "x"' * 2000
    g = [xf(), fmt(300, pattern)]
    cells = []
    for k in range(25000):
        cells.append(xf(300))
        cells.append(number(k % 65536, 0, 1 + k, 45000.0))
    # XF records inside the sheet's substream: the reader takes them where they stand.
    return workbook(g, [("S", cells)])


def case_mulblank():
    # Formatted blank cells at two bytes each: a whole cell in memory for each.
    filled = rec(0x00E0, struct.pack("<HHHHHHHIH", 0, 0, 1, 0x20, 0, 0, 0, 1 << 26, 0x20C0))
    rows = [rec(0x00BE, struct.pack("<HH", r, 0) + struct.pack("<H", 1) * 256 + struct.pack("<H", 255))
            for r in range(4000)]
    return workbook([xf(), filled], [("S", rows)])


def case_labelsst():
    # One 8,000-character shared string named by 70,000 cells, each of which copies it.
    sst = rec(0x00FC, struct.pack("<IIHB", 1, 1, 8000, 0) + b"x" * 8000)
    cells = [rec(0x00FD, struct.pack("<HHHI", r % 65536, r // 65536, 0, 0)) for r in range(70000)]
    return workbook([xf(), sst], [("S", cells)])


def case_merged():
    # One merged area of 1,024 whole rows in a file of a few kilobytes.
    merged = rec(0x00E5, struct.pack("<HHHHH", 1, 0, 1023, 0, 255))
    return workbook([xf()], [("S", [merged])])


def case_colinfo():
    # COLINFO records naming all 256 columns with seven outline levels, 16 bytes each.
    records = [rec(0x007D, struct.pack("<HHHHHH", 0, 255, 2560 + k % 7, 0, 0x0700, 0)) for k in range(100000)]
    return workbook([xf()], [("S", records)])


CASES = {
    "formula3d": case_formula3d,
    "formula3dbig": case_formula3dbig,
    "numfmt": case_numfmt,
    "xfs": case_xfs,
    "formats": case_formats,
    "sheets": case_sheets,
    "longsheets": case_longsheets,
    "shared": case_shared,
    "xfdates": case_xfdates,
    "mulblank": case_mulblank,
    "labelsst": case_labelsst,
    "merged": case_merged,
    "colinfo": case_colinfo,
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "/tmp/hostile"
    names = sys.argv[2:] or list(CASES)
    import os
    os.makedirs(out, exist_ok=True)
    for name in names:
        data = compound_file(CASES[name]())
        with open(os.path.join(out, name + ".xls"), "wb") as f:
            f.write(data)
        print("%-12s %9d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
