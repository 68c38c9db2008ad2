#!/usr/bin/python3
"""Loads every cell of an .xlsx with openpyxl in read-only mode (Debian python3-openpyxl) and
prints the line `xlsdump --summary` prints: cells=<cells with a value> numsum=<sum of numbers
that are not dates>."""
import datetime
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1], read_only=True, data_only=True)
cells, total = 0, 0.0
for sheet in book.worksheets:
    for row in sheet.iter_rows(values_only=True):
        for v in row:
            if v is None:
                continue
            cells += 1
            if isinstance(v, (int, float)) and not isinstance(v, bool):
                total += v
print("cells=%d numsum=%.6f" % (cells, total))
