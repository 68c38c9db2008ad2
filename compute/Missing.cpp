#include "Missing.h"

#include "Compute.h"

namespace morvik {

namespace {
constexpr int kCloudYCol = 1;
}  // namespace

LandmarkSet MissingLandmarks(const Workspace& ws) {
    LandmarkSet missing;
    for (int row = 1; row <= kLandmarkCount; ++row) {
        for (int col = 2; col <= 4; ++col) {
            if (ws.sgImput.IsEmpty(col, row)) missing.set(static_cast<std::size_t>(row - 1));
        }
    }
    return missing;
}

int CloudPointCount(const TextTable& cloud) {
    int n = 0;
    while (!cloud.IsEmpty(kCloudYCol, n + 1)) ++n;
    return n;
}

// Without counting: the window asks this while it paints a cloud's first row.
bool CloudIsMissing(const TextTable& cloud) { return cloud.IsEmpty(kCloudYCol, 1); }

DimensionSet MissingDimensions(const Workspace& ws) {
    const LandmarkSet landmarks = MissingLandmarks(ws);
    DimensionSet missing;
    for (std::size_t d = 0; d < kDimensionRows.size(); ++d) {
        const DimensionRow& dim = kDimensionRows[d];
        if (dim.kind == DimensionKind::Euryon) {
            if (CloudIsMissing(ws.sgImput2) || CloudIsMissing(ws.sgImput3)) missing.set(d);
            continue;
        }
        for (int row : dim.landmarks) {
            if (row > 0 && landmarks.test(static_cast<std::size_t>(row - 1))) missing.set(d);
        }
    }
    return missing;
}

}  // namespace morvik
