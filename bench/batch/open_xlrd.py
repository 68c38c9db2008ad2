#!/usr/bin/env python3
"""Opens every .xls under a folder with xlrd in one process, as the peer of morvik-batch.

Usage: /usr/bin/python3 open_xlrd.py FOLDER
Prints how many workbooks were opened.
"""
import os
import sys

import xlrd


def main():
    folder = sys.argv[1]
    paths = sorted(
        os.path.join(root, name)
        for root, _, names in os.walk(folder)
        for name in names
        if name.lower().endswith(".xls")
    )
    for path in paths:
        xlrd.open_workbook(path)
    print("opened=%d" % len(paths))


if __name__ == "__main__":
    main()
