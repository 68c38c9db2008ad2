#!/usr/bin/env python3
"""Writes multisheet.xls: the shared benchmark's big workbook cut down to 8 sheets of
8,000 rows x 12 columns (about 770,000 cells), which xlwt writes in seconds.

Usage: /usr/bin/python3 make_multisheet.py SHARED_BENCH_DIR OUT_DIR
"""
import os
import sys
import tempfile

sys.path.insert(0, sys.argv[1])
import make_bench_files as mbf  # noqa: E402

mbf.BIG_ROWS = 8000
out = sys.argv[2]
os.makedirs(out, exist_ok=True)
with tempfile.TemporaryDirectory() as work:
    mbf.write_with_xlwt("bigbook", out, work)
os.replace(os.path.join(out, "bigbook.xls"), os.path.join(out, "multisheet.xls"))
