#!/usr/bin/python3
"""Writes examples/template.xlsx and examples/template.csv: empty measurement files to fill in.

Run with Debian's python3-openpyxl:  /usr/bin/python3 examples/make_templates.py
The landmark names come from compute/Landmarks.h, the program's own table, so the templates
list the landmarks in the order the program reads them. Both files come out byte for byte the
same on every run (fixed dates inside the workbook and its archive), so a change shows in git
only when the table changed.
"""
import datetime
import io
import os
import re
import zipfile

import openpyxl

here = os.path.dirname(os.path.abspath(__file__))
FIXED = datetime.datetime(2026, 1, 1)


def landmarks():
    """(abbreviation, Czech name, English name) of the 22 rows, from the program's table."""
    with open(os.path.join(here, "..", "compute", "Landmarks.h"), encoding="utf-8") as f:
        text = f.read()
    rows = re.findall(r'\{(\d+), "([^"]*)", "([^"]*)", "([^"]*)"\}', text)
    assert [int(r[0]) for r in rows] == list(range(1, 23)), "the landmark table changed shape"
    return [(abbr, cz.strip(), en.strip()) for _, abbr, cz, en in rows]


def label(cz, en):
    # Most names are the same word in either language; both only where they differ.
    return cz if cz.lower() == en.lower() else f"{cz} / {en}"


def write_csv(path, rows):
    # Semicolons, so that decimal commas can be typed; a byte order mark, so that a
    # spreadsheet opens the Czech names as UTF-8. The first line is all text: a header.
    lines = ["X;Y;Z;Bod / Landmark"]
    lines += [f";;;{label(cz, en)} ({abbr})" for abbr, cz, en in rows]
    with open(path, "wb") as f:
        f.write(b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8") + b"\r\n")


def write_xlsx(path, rows):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "Lebka"
    ws.append(["Bod / Landmark", "Zkratka / Abbreviation", "X", "Y", "Z"])
    for r, (abbr, cz, en) in enumerate(rows, start=2):
        ws.cell(row=r, column=1, value=label(cz, en))
        ws.cell(row=r, column=2, value=abbr)
    # Headings of the clouds only: the import reads each cloud down to its first empty X.
    for col, side in ((8, "dx"), (13, "sin")):
        for k, axis in enumerate("XYZ"):
            ws.cell(row=1, column=col + k, value=f"euryon {side} {axis}")
    ws.column_dimensions["A"].width = 36
    ws.column_dimensions["B"].width = 12
    ws.freeze_panes = "C2"
    wb.properties.creator = "MORVIK"
    wb.properties.created = FIXED
    wb.properties.modified = FIXED

    # openpyxl stamps the archive members with the time of writing; restamp them.
    raw = io.BytesIO()
    wb.save(raw)
    with zipfile.ZipFile(io.BytesIO(raw.getvalue())) as src, zipfile.ZipFile(
        path, "w", zipfile.ZIP_DEFLATED
    ) as out:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "docProps/core.xml":
                data = re.sub(
                    rb"(<dcterms:modified[^>]*>)[^<]*", rb"\g<1>2026-01-01T00:00:00Z", data
                )
            info = zipfile.ZipInfo(item.filename, date_time=FIXED.timetuple()[:6])
            info.compress_type = zipfile.ZIP_DEFLATED
            out.writestr(info, data)


def main():
    rows = landmarks()
    write_csv(os.path.join(here, "template.csv"), rows)
    write_xlsx(os.path.join(here, "template.xlsx"), rows)


if __name__ == "__main__":
    main()
