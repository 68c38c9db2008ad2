// What was never measured: a landmark with an empty coordinate cell, a euryon cloud without
// a point, and the dimensions that read them. An empty cell is not 0; 0 is a coordinate.
#pragma once

#include <bitset>

#include "Workspace.h"

namespace morvik {

// Bit r-1 for landmark row r (1..22) of sgImput.
using LandmarkSet = std::bitset<kLandmarkCount>;
// Bit r-1 for dimension row r (1..17).
using DimensionSet = std::bitset<kDimensionCount>;

// Landmarks any of whose X, Y, Z cells holds the empty text.
LandmarkSet MissingLandmarks(const Workspace& ws);

// Points of a euryon cloud (sgImput2, sgImput3): rows 1 down to the first empty Y cell. X and
// Z do not end a cloud, and rows after the gap are not part of it.
int CloudPointCount(const TextTable& cloud);

// A cloud without a point (CloudPointCount is 0): its first Y cell is empty.
bool CloudIsMissing(const TextTable& cloud);

// Dimensions that read a missing landmark (EU-EU: either cloud missing).
DimensionSet MissingDimensions(const Workspace& ws);

}  // namespace morvik
