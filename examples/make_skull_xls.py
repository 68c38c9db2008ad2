#!/usr/bin/python3
"""Writes examples/skull.xls: the sample skull of skull.txt with two euryon point clouds.

Run with Debian's python3-xlwt:  /usr/bin/python3 examples/make_skull_xls.py
The clouds are invented surface patches around each side's widest point of the vault,
so that the sample exercises the workbook import and the EU-EU dimension.
"""
import math
import os
import random

import xlwt

here = os.path.dirname(os.path.abspath(__file__))


def read_landmarks():
    rows = []
    with open(os.path.join(here, "skull.txt"), encoding="cp1250") as f:
        for line in f:
            cells = line.rstrip("\r\n").split("\t")
            if len(cells) >= 3:
                rows.append([float(c.replace(",", ".")) for c in cells[:3]])
    return rows[:22]


def cloud(side, count, rng):
    # A patch of an ellipsoidal vault (half-axes 72, 95, 80 mm, centre 0, -8, 48) around
    # the lateral-most point of one side.
    points = []
    for _ in range(count):
        theta = rng.uniform(-0.35, 0.35)  # around the vertical axis
        phi = rng.uniform(-0.30, 0.30)    # up and down
        x = side * 72.0 * math.cos(theta) * math.cos(phi)
        y = -8.0 + 95.0 * math.sin(theta) * math.cos(phi)
        z = 48.0 + 80.0 * math.sin(phi)
        points.append((round(x, 3), round(y, 3), round(z, 3)))
    return points


def main():
    rng = random.Random(20261207)
    book = xlwt.Workbook()
    sheet = book.add_sheet("skull")
    for col, text in enumerate(["landmark", "", "X", "Y", "Z"]):
        sheet.write(0, col, text)
    for i, (x, y, z) in enumerate(read_landmarks()):
        sheet.write(i + 1, 2, x)
        sheet.write(i + 1, 3, y)
        sheet.write(i + 1, 4, z)
    for first_col, side, count in ((7, -1, 300), (12, 1, 280)):
        for col, text in enumerate(["X", "Y", "Z"]):
            sheet.write(0, first_col + col, text)
        for i, point in enumerate(cloud(side, count, rng)):
            for col, value in enumerate(point):
                sheet.write(i + 1, first_col + col, value)
    book.save(os.path.join(here, "skull.xls"))


if __name__ == "__main__":
    main()
