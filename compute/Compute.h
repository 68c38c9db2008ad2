// Dimensions from landmarks, products, scores and the sex verdict.
#pragma once

#include "Workspace.h"

namespace morvik {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

double Distance3D(const Point3& a, const Point3& b);

// Empties the product cells (1..7, 1..17) of pom.
void ClearIntermediate(Workspace& ws);

// Computes the 17 dimensions from sgImput, sgImput2 and sgImput3 and writes sgRozmery
// and the products of pom for every equation that uses a dimension.
void ComputeDimensions(Workspace& ws);

// Score of equation column k (1..7): sum of its products in pom plus its constant.
double EquationScore(const Workspace& ws, int k);

// Fills the seven result labels and the verdict from pom, sg and the use flags.
void EvaluateEquations(Workspace& ws);

// The Calculate action: ClearIntermediate, ComputeDimensions, EvaluateEquations.
void Button2Click(Workspace& ws);

// The Calculate-from-measurements action: products from the dimensions table.
void Button5Click(Workspace& ws);

}  // namespace morvik
