#!/usr/bin/python3
"""Writes examples/Settings-model.ini: the demonstration settings with a reference model.

    /usr/bin/python3 examples/make_model_settings.py        (Debian's python3-numpy)

SYNTHETIC DATA, NOT FOR CASEWORK. The file is examples/Settings.ini with its set
"Univerzální" replaced by the seven linear discriminants of the synthetic sample that
examples/make_reference_model.py draws, and with that sample's summary statistics as the
set's reference model ([Univerzální model]): sizes, means, pooled covariance, priors ½ and
½, and a posterior threshold of 0.9. The other three sets stay as they are, without a model.
Coefficients and constants are written to 6 decimals, the model to full precision; the file
is Windows-1250 with CR LF, as the program writes it.
"""
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "Settings.ini")
TARGET = os.path.join(HERE, "Settings-model.ini")
SET = "Univerzální"
THRESHOLD = 0.9


def number(value):
    return repr(float(value))


def row(values):
    return "; ".join(number(v) for v in values)


def main():
    model = json.loads(subprocess.check_output(
        [sys.executable, os.path.join(HERE, "make_reference_model.py")]))
    assert model["synthetic"]
    coefficients = {}
    for eq in model["equations"]:
        k = eq["column"]
        for name, value in eq["coefficients"].items():
            r = model["dimensions"].index(name) + 1
            coefficients[(k, r)] = f"{value:.6f}"
        coefficients[(k, 18)] = f"{eq['constant']:.6f}"

    with open(SOURCE, encoding="cp1250", newline="") as f:
        lines = f.read().split("\r\n")
    out, section = [], None
    out.append("; SYNTHETIC demonstration: the set Univerzální holds the linear discriminants of a")
    out.append("; synthetic sample (examples/make_reference_model.py) and that sample's reference")
    out.append("; model. Written by examples/make_model_settings.py. Not real data, not for casework.")
    for line in lines:
        if line.startswith("["):
            section = line.strip("[]")
        if section == SET and line.startswith("sg_"):
            key = line.split("=", 1)[0]
            _, k, r = key.split("_")
            value = coefficients.get((int(k), int(r)), "")
            out.append(f"{key}={value.replace('.', ',')}")
            continue
        out.append(line)
    while out and out[-1] == "":
        out.pop()
    out += [
        f"[{SET} model]",
        "population=SYNTHETIC demonstration sample of 120 male and 110 female crania drawn by "
        "examples/make_reference_model.py (seed %d): not real data, not for casework" % model["seed"],
        "source=examples/make_reference_model.py (synthetic; cite your own reference sample)",
        f"n_M={model['n_male']}",
        f"n_F={model['n_female']}",
        f"prior_M={number(model['prior_male'])}",
        f"prior_F={number(model['prior_female'])}",
        f"threshold={THRESHOLD}",
        f"mean_M={row(model['mean_male'])}",
        f"mean_F={row(model['mean_female'])}",
    ]
    for r, values in enumerate(model["pooled_covariance"], start=1):
        out.append(f"S_{r}={row(values)}")
    with open(TARGET, "w", encoding="cp1250", newline="") as f:
        f.write("\r\n".join(out) + "\r\n")


if __name__ == "__main__":
    main()
