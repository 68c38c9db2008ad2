#!/usr/bin/python3
"""Writes a demonstration reference model as JSON to stdout, from a SYNTHETIC sample.

    /usr/bin/python3 examples/make_reference_model.py > model.json     (Debian's python3-numpy)

SYNTHETIC DATA, NOT FOR CASEWORK: the "reference sample" is drawn from normal distributions
with a fixed seed. Its means and standard deviations are invented to look like adult crania
(and to fit the sample skull in examples/skull.txt); no real skull was measured. Every number
written here describes those draws and nothing else.

Written: (a) the sample's summary statistics: the sizes n_M and n_F, each sex's mean of the
17 dimensions and the pooled within-sex covariance matrix S (ν = n_M + n_F − 2); (b) seven
equations, one per equation column of the set "Univerzální" in examples/Settings.ini, each the
linear discriminant of the sample on the dimensions that column has a coefficient on:
a = S_VV⁻¹(μ_M − μ_F)_V scaled so that the score's within-sex standard deviation aᵀS_VV a is 1,
constant −aᵀ(μ_M + μ_F)_V/2 (priors ½, ½: a score of 0 is even odds), male positive. The same
seed gives the same output, byte for byte, with the same NumPy.
"""
import json
import math
import os
import sys

import numpy as np

SEED = 19_0017
N_MALE, N_FEMALE = 120, 110
SET = "Univerzální"
SETTINGS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Settings.ini")

# Dimension rows 1..17 in the program's order: name, male mean, female mean, within-sex SD.
# Millimetres for distances and centroid sizes, cosines for the flexures and orbit angles.
DIMENSIONS = [
    ("G-OP", 187.0, 178.0, 6.5),
    ("EU-EU", 142.0, 137.0, 5.5),
    ("ZYG-ZYG", 131.0, 122.0, 5.0),
    ("N-P", 70.0, 65.0, 4.0),
    ("RH-NS", 26.0, 24.0, 2.9),
    ("B-BA", 136.0, 130.0, 4.9),
    ("APT-APT", 25.0, 24.0, 1.9),
    ("EKT-EKT", 64.0, 60.5, 2.9),
    ("Horizontal flexure dx", -0.890, -0.905, 0.025),
    ("Horizontal flexure sin", -0.895, -0.910, 0.025),
    ("Vertical flexure dx", -0.915, -0.900, 0.020),
    ("Vertical flexure sin", -0.920, -0.905, 0.020),
    ("Lateral flexure", -0.540, -0.580, 0.050),
    ("FMO-D/D-FMO", -0.585, -0.605, 0.040),
    ("ZOR-D/D-ZOR", -0.750, -0.730, 0.040),
    ("Orbital size dx", 38.5, 37.0, 1.5),
    ("Orbital size sin", 38.7, 37.2, 1.5),
]


def correlations():
    """Within-sex correlations: size measures go together, left and right sides closely."""
    r = np.eye(17)

    def put(i, j, v):
        r[i, j] = r[j, i] = v

    size = range(0, 8)
    for i in size:
        for j in size:
            if i < j:
                put(i, j, 0.30)
    put(0, 1, 0.20)  # length and breadth: the cranial index varies widely
    put(2, 7, 0.50)  # facial breadths
    put(3, 4, 0.50)  # facial and nasal heights
    put(3, 6, 0.35)
    put(8, 9, 0.70)  # right and left flexures
    put(10, 11, 0.70)
    for i in (8, 9):
        for j in (10, 11):
            put(i, j, 0.25)
    for i in range(8, 12):
        put(i, 12, 0.30)
    put(13, 14, 0.50)
    put(15, 16, 0.85)  # right and left orbit sizes
    for i in (15, 16):
        put(i, 3, 0.30)
        put(i, 7, 0.25)
    np.linalg.cholesky(r)  # fails loudly if the table above is not a correlation matrix
    return r


def equation_dimensions():
    """Dimension rows (0-based) each equation column of the set has a coefficient on."""
    with open(SETTINGS, encoding="cp1250") as f:
        lines = f.read().splitlines()
    section, cells = None, {}
    for line in lines:
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif section == SET and "=" in line:
            key, value = line.split("=", 1)
            cells[key] = value.strip()
    return [[r - 1 for r in range(1, 18) if cells.get("sg_%d_%d" % (k, r), "")] for k in range(1, 8)]


def main():
    names = [d[0] for d in DIMENSIONS]
    mean_m = np.array([d[1] for d in DIMENSIONS])
    mean_f = np.array([d[2] for d in DIMENSIONS])
    sd = np.array([d[3] for d in DIMENSIONS])
    cov = np.outer(sd, sd) * correlations()

    rng = np.random.default_rng(SEED)
    males = rng.multivariate_normal(mean_m, cov, size=N_MALE, method="cholesky")
    females = rng.multivariate_normal(mean_f, cov, size=N_FEMALE, method="cholesky")

    mu_m = males.mean(axis=0)
    mu_f = females.mean(axis=0)
    nu = N_MALE + N_FEMALE - 2
    s = ((N_MALE - 1) * np.cov(males, rowvar=False) + (N_FEMALE - 1) * np.cov(females, rowvar=False)) / nu
    s = (s + s.T) / 2

    equations = []
    for column, dims in enumerate(equation_dimensions(), start=1):
        if not dims:
            continue
        ix = np.ix_(dims, dims)
        delta = mu_m[dims] - mu_f[dims]
        raw = np.linalg.solve(s[ix], delta)
        distance = math.sqrt(delta @ raw)
        a = raw / distance
        k = -a @ (mu_m[dims] + mu_f[dims]) / 2  # priors ½, ½
        equations.append({
            "column": column,
            "coefficients": {names[j]: float(v) for j, v in zip(dims, a)},
            "dimension_rows": [j + 1 for j in dims],
            "constant": float(k),
            "centroid_male": float(a @ mu_m[dims] + k),
            "centroid_female": float(a @ mu_f[dims] + k),
            "mahalanobis_distance": distance,
            "expected_correct_rate": 0.5 * math.erfc(-distance / 2 / math.sqrt(2)),  # Φ(Δ/2)
        })

    out = {
        "note": "SYNTHETIC demonstration sample made by examples/make_reference_model.py "
                "(seeded normal draws, invented means and SDs): not real data, not for casework.",
        "synthetic": True,
        "seed": SEED,
        "numpy": np.__version__,
        "set": SET,
        "dimensions": names,
        "n_male": N_MALE,
        "n_female": N_FEMALE,
        "degrees_of_freedom": nu,
        "prior_male": 0.5,
        "prior_female": 0.5,
        "mean_male": [float(v) for v in mu_m],
        "mean_female": [float(v) for v in mu_f],
        "pooled_covariance": [[float(v) for v in row] for row in s],
        "equations": equations,
    }
    json.dump(out, sys.stdout, ensure_ascii=False, indent=1)
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
