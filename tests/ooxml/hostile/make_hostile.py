#!/usr/bin/env python3
"""Writes the crafted packages and CSV files whose cost or whose silently wrong values the
package readers once suffered, one per fault, into a folder (default /tmp/hostile-inputs):

    /usr/bin/python3 tests/ooxml/hostile/make_hostile.py [OUT_DIR]

Each file is small; what it costs to read is measured with
    /usr/bin/time -v build/release/tools/xlsdump --summary FILE
The gtest cases in tests/ooxml/hostile_test.cpp build the same shapes in memory, smaller."""
import os
import random
import struct
import sys
import zipfile
import zlib

OUT = sys.argv[1] if len(sys.argv) > 1 else "/tmp/hostile-inputs"
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG = "http://schemas.openxmlformats.org/package/2006/relationships"
rng = random.Random(23)


def noise(size):
    """Incompressible text in a comment: lifts a part under the 250:1 ratio rule."""
    return "<!--" + "".join(rng.choice("abcdefghijklmnopqrstuvwxyz0123456789") for _ in range(size)) + "-->"


def rels(items):
    return (f"<Relationships xmlns='{PKG}'>" +
            "".join(f"<Relationship Id='{i}' Type='{REL}/{t}' Target='{g}'/>" for i, t, g in items) +
            "</Relationships>")


def workbook(sheets):
    return (f"<workbook xmlns='{MAIN}' xmlns:r='{REL}'><sheets>" +
            "".join(f"<sheet name='{n}' sheetId='{k + 1}' r:id='{r}'/>" for k, (n, r) in enumerate(sheets)) +
            "</sheets></workbook>")


def worksheet(cells, extra=""):
    return f"<worksheet xmlns='{MAIN}'>{extra}<sheetData>{cells}</sheetData></worksheet>"


def xlsx(name, parts, sheets=None, workbook_rels=None):
    """parts: {name: xml}; sheets: [(sheet name, part)] (default one sheet, sheet1.xml)."""
    sheets = sheets or [("Skull", "worksheets/sheet1.xml")]
    base = {
        "[Content_Types].xml": "<Types/>",
        "_rels/.rels": rels([("r1", "officeDocument", "xl/workbook.xml")]),
        "xl/workbook.xml": workbook([(n, f"s{k}") for k, (n, _) in enumerate(sheets)]),
        "xl/_rels/workbook.xml.rels": workbook_rels or rels(
            [(f"s{k}", "worksheet", p) for k, (_, p) in enumerate(sheets)] +
            [("st", "sharedStrings", "sharedStrings.xml")]),
    }
    base.update(parts)
    with zipfile.ZipFile(os.path.join(OUT, name), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for part, xml in base.items():
            z.writestr(part, xml)


def cd_names_one_header(name, count, xml):
    """One local header and its data, named `count` times by the central directory."""
    data = zlib.compress(xml.encode(), 9)[2:-4]
    crc = zlib.crc32(xml.encode())
    entries = [("[Content_Types].xml", "<Types/>"),
               ("_rels/.rels", rels([("r1", "officeDocument", "xl/workbook.xml")])),
               ("xl/workbook.xml", workbook([(f"S{k}", f"s{k}") for k in range(count)])),
               ("xl/_rels/workbook.xml.rels",
                rels([(f"s{k}", "worksheet", f"worksheets/s{k}.xml") for k in range(count)]))]
    out, directory = bytearray(), bytearray()

    def local(nm, raw, comp, c):
        off = len(out)
        out.extend(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, c, len(comp), len(raw),
                               len(nm), 0) + nm + comp)
        return off

    def central(nm, raw_len, comp_len, c, off):
        directory.extend(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, c,
                                     comp_len, raw_len, len(nm), 0, 0, 0, 0, 0, off) + nm)

    for nm, x in entries:
        raw = x.encode()
        comp = zlib.compress(raw, 9)[2:-4]
        c = zlib.crc32(raw)
        central(nm.encode(), len(raw), len(comp), c, local(nm.encode(), raw, comp, c))
    shared = local(b"xl/worksheets/s0.xml", xml.encode(), data, crc)
    for k in range(count):
        central(f"xl/worksheets/s{k}.xml".encode(), len(xml.encode()), len(data), crc, shared)
    n = len(entries) + count
    out_off = len(out)
    out.extend(directory)
    out.extend(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, n & 0xFFFF, n & 0xFFFF, len(directory),
                           out_off, 0))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


def ods(name, cells, mimetype="application/vnd.oasis.opendocument.spreadsheet"):
    content = ("<office:document-content xmlns:office='urn:oasis:names:tc:opendocument:xmlns:office:1.0' "
               "xmlns:table='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
               "xmlns:text='urn:oasis:names:tc:opendocument:xmlns:text:1.0'><office:body>"
               "<office:spreadsheet><table:table table:name='Skull'>" + cells +
               "</table:table></office:spreadsheet></office:body></office:document-content>")
    with zipfile.ZipFile(os.path.join(OUT, name), "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), mimetype)
        z.writestr("content.xml", content)


def main():
    os.makedirs(OUT, exist_ok=True)
    sheet = worksheet("<row r='1'><c r='A1'><v>185.9</v></c></row>")
    # 1. One part of just under 1 MiB named by 4,096 sheets; 4,096 names of one entry's data.
    padded = worksheet("<row r='1'><c r='A1'><v>1</v></c></row>" + "<row/>" * 170000)
    xlsx("c01_one_part_many_sheets.xlsx", {"xl/worksheets/sheet1.xml": padded},
         sheets=[(f"S{k}", "worksheets/sheet1.xml") for k in range(4096)])
    cd_names_one_header("c01_names_share_one_header.xlsx", 4096, padded)
    # 2. A workbook part read whole: a 100 MB attribute, lifted under the ratio rule.
    xlsx("c02_workbook_long_attribute.xlsx",
         {"xl/workbook.xml": f"<workbook xmlns='{MAIN}' xmlns:r='{REL}' a='" + "x" * (100 << 20) +
          "'>" + noise(700_000) + "<sheets><sheet name='Skull' r:id='s0'/></sheets></workbook>",
          "xl/worksheets/sheet1.xml": sheet})
    # 3. Attributes by the million on one cell.
    attrs = "".join(f" a{k}='1'" for k in range(2_000_000))
    xlsx("c03_many_attributes.xlsx",
         {"xl/worksheets/sheet1.xml": worksheet(f"<row><c{attrs}><v>1</v></c></row>")})
    # 4. "<text:s text:c='65535'/>" in thousands of cells.
    ods("c04_ods_spaces.ods", ("<table:table-row>" + "<table:table-cell office:value-type='string'>"
        "<text:p><text:s text:c='65535'/></text:p></table:table-cell>" * 200 + "</table:table-row>") * 40)
    # 5. One inline string of 60 MB of runs.
    runs = "".join(f"<r><t>{rng.randrange(10**6)}</t></r>" for _ in range(200_000))
    xlsx("c05_long_inline_string.xlsx",
         {"xl/worksheets/sheet1.xml": worksheet(
             "<row><c r='A1' t='inlineStr'><is>" + runs * 15 + "</is></c></row>")})
    # 6. Cells without references filling the model's whole sheet.
    row = "<row>" + "<c><v>1</v></c>" * 256 + "</row>"
    xlsx("c06_whole_sheet.xlsx",
         {"xl/worksheets/sheet1.xml": worksheet(row * 65536, noise(900_000))})
    # 7. Millions of empty shared strings; thousands of styles on one long number format;
    #    blank sheet names among names "SheetN".
    xlsx("c07_empty_shared_strings.xlsx",
         {"xl/sharedStrings.xml": f"<sst xmlns='{MAIN}'>" + noise(120_000) + "<si/>" * 4_000_000 + "</sst>",
          "xl/worksheets/sheet1.xml": sheet})
    fmt = "0" + "\\ " * 50_000
    styles = (f"<styleSheet xmlns='{MAIN}'><numFmts><numFmt numFmtId='200' formatCode='{fmt}'/></numFmts>"
              "<cellXfs>" + "<xf numFmtId='200'/>" * 9000 + "</cellXfs></styleSheet>")
    xlsx("c07_styles_long_format.xlsx", {"xl/styles.xml": styles, "xl/worksheets/sheet1.xml": sheet},
         workbook_rels=rels([("s0", "worksheet", "worksheets/sheet1.xml"), ("y", "styles", "styles.xml")]))
    parts = {f"xl/worksheets/p{k}.xml": sheet for k in range(2)}
    wb = (f"<workbook xmlns='{MAIN}' xmlns:r='{REL}'><sheets>" +
          "".join(f"<sheet name='Sheet{k}' r:id='c'/>" for k in range(2, 2049)) +
          "<sheet name=' ' r:id='c'/>" * 2000 + "<sheet name='Skull' r:id='w'/></sheets></workbook>")
    xlsx("c07_blank_sheet_names.xlsx", {**parts, "xl/workbook.xml": wb},
         workbook_rels=rels([("c", "chartsheet", "charts/c.xml"), ("w", "worksheet", "worksheets/p0.xml")]))
    # 8.-10. Values that are not what they claim; references that name no cell; broken links.
    for tag, cell in [("inf", "<c r='B1'><v>inf</v></c>"), ("nan", "<c r='B1'><v>NaN</v></c>"),
                      ("huge", "<c r='B1'><v>1e400</v></c>"), ("trailing", "<c r='B1'><v>0.4abc</v></c>"),
                      ("sst_negative", "<c r='B1' t='s'><v>-1</v></c>"),
                      ("sst_text", "<c r='B1' t='s'><v>x</v></c>"),
                      ("ref_a0", "<c r='A0'><v>765.2</v></c>"), ("ref_xfe", "<c r='XFE1'><v>765.2</v></c>"),
                      ("ref_empty", "<c r=''><v>765.2</v></c>"), ("ref_twice", "<c r='B1' r='Z99'><v>1</v></c>")]:
        xlsx(f"c08_{tag}.xlsx", {"xl/worksheets/sheet1.xml": worksheet(
            "<row r='1'><c r='A1'><v>185.9</v></c>" + cell + "</row>"),
            "xl/sharedStrings.xml": f"<sst xmlns='{MAIN}'><si><t>a</t></si></sst>"})
    with zipfile.ZipFile(os.path.join(OUT, "c08_not_utf8.xlsx"), "w") as z:
        xlsx_tmp = {"[Content_Types].xml": "<Types/>",
                    "_rels/.rels": rels([("r1", "officeDocument", "xl/workbook.xml")]),
                    "xl/workbook.xml": workbook([("Skull", "s0")]),
                    "xl/_rels/workbook.xml.rels": rels([("s0", "worksheet", "worksheets/sheet1.xml")])}
        for p, x in xlsx_tmp.items():
            z.writestr(p, x)
        z.writestr("xl/worksheets/sheet1.xml", worksheet("<row r='1'><c r='A1' t='inlineStr'><is><t>").encode()
                   .replace(b"</sheetData></worksheet>", b"") + b"\xe9</t></is></c></row></sheetData></worksheet>")
    xlsx("c10_link_to_styles.xlsx", {"xl/styles.xml": f"<styleSheet xmlns='{MAIN}'/>"},
         sheets=[("Skull", "styles.xml")])
    xlsx("c10_undeclared_prefix.xlsx", {"xl/worksheets/sheet1.xml": worksheet("<row><x:c><v>1</v></x:c></row>")})
    # 11. CSV: decimal commas where commas separate; one ';' line; a NUL byte.
    with open(os.path.join(OUT, "c11_decimal_commas.csv"), "wb") as f:
        f.write(b"185,9,12,3,45,6\n186,2,13,46,1\n")
    with open(os.path.join(OUT, "c11_one_semicolon_line.csv"), "wb") as f:
        f.write(b"1.5,2,3\n" * 10 + b"4;5;6\n" + b"1.5,2,3\n" * 11)
    with open(os.path.join(OUT, "c11_nul.csv"), "wb") as f:
        f.write(b"1,2\x00x,3\n")
    # 12. An encoding declared other than UTF-8; an .ods that says it is a text document;
    #     100,001 entries with a 16-bit count; a damaged signature.
    xlsx("c12_windows1250.xlsx", {"xl/worksheets/sheet1.xml": "<?xml version='1.0' encoding='windows-1250'?>" + sheet})
    ods("c12_odt_mimetype.ods", "<table:table-row><table:table-cell office:value-type='float' office:value='1'/>"
        "</table:table-row>", "application/vnd.oasis.opendocument.text")
    with zipfile.ZipFile(os.path.join(OUT, "c12_many_entries.xlsx"), "w") as z:
        for p, x in {"[Content_Types].xml": "<Types/>",
                     "_rels/.rels": rels([("r1", "officeDocument", "xl/workbook.xml")]),
                     "xl/workbook.xml": workbook([("Skull", "s0")]),
                     "xl/_rels/workbook.xml.rels": rels([("s0", "worksheet", "worksheets/sheet1.xml")]),
                     "xl/worksheets/sheet1.xml": sheet}.items():
            z.writestr(p, x)
        for k in range(100_001):
            z.writestr(f"pad/{k}", "")
    # Python writes a zip64 end record past 65,535 entries: take it out, as some writers do.
    path = os.path.join(OUT, "c12_many_entries.xlsx")
    data = bytearray(open(path, "rb").read())
    end = data.rfind(b"PK\x05\x06")
    loc = data.rfind(b"PK\x06\x07")
    z64 = data.rfind(b"PK\x06\x06")
    if loc > 0 and z64 > 0:
        count = struct.unpack_from("<Q", data, z64 + 32)[0]
        size = struct.unpack_from("<Q", data, z64 + 40)[0]
        offset = struct.unpack_from("<Q", data, z64 + 48)[0]
        tail = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count & 0xFFFF, count & 0xFFFF, size, offset, 0)
        data = data[:z64] + tail
    open(path, "wb").write(data)
    good = bytearray(open(os.path.join(OUT, "c08_inf.xlsx"), "rb").read())
    good[0:4] = b"PX\x03\x04"
    open(os.path.join(OUT, "c12_damaged_signature.xlsx"), "wb").write(good)


main()
