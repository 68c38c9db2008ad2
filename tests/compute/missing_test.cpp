#include "compute/Missing.h"

#include <gtest/gtest.h>

#include "compute/Compute.h"

namespace morvik {
namespace {

void FillLandmarks(Workspace& ws) {
    for (int r = 1; r <= kLandmarkCount; ++r) {
        for (int c = 2; c <= 4; ++c) ws.sgImput.SetCell(c, r, "0");
    }
    for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
        for (int c = 0; c < 3; ++c) cloud->SetCell(c, 1, "1");
    }
}

TEST(Missing, EmptyCellsNotZerosMakeLandmarksAndTheirDimensionsMissing) {
    Workspace ws;
    FillLandmarks(ws);
    EXPECT_TRUE(MissingLandmarks(ws).none());
    EXPECT_TRUE(MissingDimensions(ws).none());

    // Right orbit (rows 12-15): one empty Z of the supraorbital notch.
    ws.sgImput.ClearCell(4, 13);
    EXPECT_EQ(MissingLandmarks(ws).to_string(), "0000000001000000000000");
    DimensionSet expected;
    for (int dim : {9, 11, 13, 16}) expected.set(static_cast<std::size_t>(dim - 1));
    EXPECT_EQ(MissingDimensions(ws), expected);

    // A cloud without its first Y loses EU-EU only.
    FillLandmarks(ws);
    ws.sgImput3.ClearCell(1, 1);
    EXPECT_TRUE(MissingLandmarks(ws).none());
    EXPECT_EQ(MissingDimensions(ws).to_string(), "00000000000000010");
}

}  // namespace
}  // namespace morvik
