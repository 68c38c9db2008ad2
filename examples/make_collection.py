#!/usr/bin/python3
"""Writes a SYNTHETIC reference collection: skull files of known sex and their truth table.

    /usr/bin/python3 examples/make_collection.py OUT_FOLDER [--males N] [--females N] [--seed S]

SYNTHETIC DATA, NOT FOR CASEWORK. No skull was measured. Each "skull" is the sample skull of
examples/skull.txt taken as a male template, or a female template made from it (smaller
overall, a less projecting glabella, narrower zygomatic arches and relatively larger orbits),
scaled by a size factor drawn for the skull (SD 3.5 %) and with every landmark moved by normal
digitizing-and-shape noise (SD 1.5 mm per axis). The dimensions then differ by sex roughly as
real ones do, and overlap as real ones do; their values describe these draws and nothing else.
Every tenth skull or so lacks one landmark (an empty line), as damaged crania do.

Written: OUT_FOLDER/skull-0001.txt ... (Windows-1250 text, TAB separated, decimal comma,
CR LF, one landmark a line, as the program reads them), OUT_FOLDER/truth.csv (file,sex,note:
the columns morvik-batch --truth reads; note says "synthetic") and OUT_FOLDER/README.md.
The same arguments give the same files, byte for byte (Python's own random module, no NumPy).
"""
import argparse
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
CENTRE_OF_ORBIT = {"dx": (12, 13, 14, 15), "sin": (16, 17, 18, 19)}  # landmark rows


def read_template():
    rows = []
    with open(os.path.join(HERE, "skull.txt"), encoding="cp1250") as f:
        for line in f:
            cells = line.rstrip("\r\n").split("\t")
            if len(cells) >= 3 and cells[0]:
                rows.append([float(c.replace(",", ".")) for c in cells[:3]])
    assert len(rows) == 22
    return rows


def female_template(male):
    centre = [sum(p[a] for p in male) / len(male) for a in range(3)]
    female = [[centre[a] + 0.965 * (p[a] - centre[a]) for a in range(3)] for p in male]
    female[0][1] -= 2.5  # glabella (row 1) less projecting: back along the Y axis
    for row in (8, 9):  # zygia: narrower arches
        female[row - 1][0] *= 0.97
    for rows in CENTRE_OF_ORBIT.values():  # orbits relatively larger
        c = [sum(female[r - 1][a] for r in rows) / 4 for a in range(3)]
        for r in rows:
            female[r - 1] = [c[a] + 1.05 * (female[r - 1][a] - c[a]) for a in range(3)]
    return female


def skull(template, rng):
    size = rng.gauss(1.0, 0.035)
    points = [[size * v + rng.gauss(0, 1.5) for v in p] for p in template]
    if rng.random() < 0.1:
        points[rng.randrange(22)] = None
    return points


def text(points):
    lines = []
    for p in points:
        if p is None:
            lines.append("\t\t")
        else:
            lines.append("\t".join(("%.2f" % v).replace(".", ",") for v in p))
    return "\r\n".join(lines) + "\r\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder")
    parser.add_argument("--males", type=int, default=100)
    parser.add_argument("--females", type=int, default=100)
    parser.add_argument("--seed", type=int, default=20261208)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    male = read_template()
    female = female_template(male)
    sexes = ["M"] * args.males + ["F"] * args.females
    rng.shuffle(sexes)
    os.makedirs(args.folder, exist_ok=True)
    truth = ["file,sex,note"]
    for i, sex in enumerate(sexes, start=1):
        name = "skull-%04d.txt" % i
        with open(os.path.join(args.folder, name), "w", encoding="cp1250", newline="") as f:
            f.write(text(skull(male if sex == "M" else female, rng)))
        truth.append("%s,%s,synthetic" % (name, sex))
    with open(os.path.join(args.folder, "truth.csv"), "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(truth) + "\n")
    with open(os.path.join(args.folder, "README.md"), "w", encoding="utf-8", newline="") as f:
        f.write("SYNTHETIC collection written by examples/make_collection.py (seed %d): %d male "
                "and %d female skulls drawn around two templates. Not real data, not for "
                "casework.\n" % (args.seed, args.males, args.females))


if __name__ == "__main__":
    main()
