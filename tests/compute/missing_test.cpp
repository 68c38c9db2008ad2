#include "compute/Missing.h"

#include <gtest/gtest.h>

#include <string>

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

namespace morvik {
namespace {

// A skull with every landmark and both clouds, no three landmarks on a line.
void FillSkull(Workspace& ws) {
    for (int r = 1; r <= kLandmarkCount; ++r) {
        ws.sgImput.SetCell(2, r, std::to_string(r * 3 % 17 + r));
        ws.sgImput.SetCell(3, r, std::to_string(r * r % 11 - 5));
        ws.sgImput.SetCell(4, r, std::to_string(r * 7 % 13 + 2 * r));
    }
    ws.sgImput2.SetCell(0, 1, "70");
    ws.sgImput2.SetCell(1, 1, "0");
    ws.sgImput2.SetCell(2, 1, "0");
    ws.sgImput3.SetCell(0, 1, "-70");
    ws.sgImput3.SetCell(1, 1, "0");
    ws.sgImput3.SetCell(2, 1, "0");
}

// Each equation has a coefficient of 0 on one dimension, so that its score is its constant:
// columns 1..6 read G-OP, EU-EU, horizontal flexure dx, orbital size dx, horizontal flexure
// sin and ZYG-ZYG; column 7 has its constant only.
void SetEquations(Workspace& ws) {
    const int dims[] = {1, 2, 9, 16, 10, 3};
    const char* constants[] = {"1", "1", "-1", "-1", "1", "1", "-1"};
    for (int k = 1; k <= kEquationCount; ++k) {
        if (k <= 6) ws.sg.SetCell(k, dims[k - 1], "0");
        ws.sg.SetCell(k, kConstantRow, constants[k - 1]);
    }
}

// A dimension that reads a landmark never measured casts no vote; 0 is a coordinate; the
// remaining equations vote as before, and with no vote left the verdict is indeterminate.
TEST(MissingData, EquationsOnMissingDimensionsCastNoVote) {
    struct Case {
        const char* name;
        void (*change)(Workspace&);
        const char* labels;
        const char* verdict;
        Rgb color;
        const char* missingLandmarks;  // bit 21 first (basion) .. bit 0 (glabela)
        const char* leftOut;           // bit 6 first (column 7) .. bit 0
    };
    const Case cases[] = {
        {"complete", [](Workspace&) {}, "1 1 -1 -1 1 1 -1", "Muž", kBlue, "0000000000000000000000",
         "0000000"},
        {"zero is a coordinate", [](Workspace& ws) { ws.sgImput.SetCell(2, 1, "0"); },
         "1 1 -1 -1 1 1 -1", "Muž", kBlue, "0000000000000000000000", "0000000"},
        {"right orbit missing",
         [](Workspace& ws) {
             for (int r = 12; r <= 15; ++r)
                 for (int c = 2; c <= 4; ++c) ws.sgImput.ClearCell(c, r);
         },
         "1 1 ... ... 1 1 -1", "Muž", kBlue, "0000000111100000000000", "0001100"},
        {"one empty Z of zygion sin", [](Workspace& ws) { ws.sgImput.ClearCell(4, 9); },
         "1 1 -1 -1 1 ... -1", "Muž/Žena", kBlack, "0000000000000100000000", "0100000"},
        {"left cloud missing", [](Workspace& ws) { ws.sgImput3.ClearCell(1, 1); },
         "1 ... -1 -1 1 1 -1", "Muž/Žena", kBlack, "0000000000000000000000", "0000010"},
        {"nothing measured, the constant-only equation not in use",
         [](Workspace& ws) {
             ws.sgImput = Workspace{}.sgImput;
             ws.sgImput2 = Workspace{}.sgImput2;
             ws.sgImput3 = Workspace{}.sgImput3;
             ws.cb[6] = false;
         },
         "... ... ... ... ... ... ...", "NEURČITELNÉ", kBlack, "1111111111111111111111", "0111111"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workspace ws;
        FillSkull(ws);
        SetEquations(ws);
        for (int r = 1; r <= kDimensionCount; ++r) ws.sgRozmery.SetCell(1, r, "stale");
        c.change(ws);
        const CalculationGaps gaps = Calculate(ws);
        std::string labels;
        for (const LabelState& label : ws.result) {
            labels += (labels.empty() ? "" : " ") + label.text;
            EXPECT_EQ(label.color, label.text.front() == '-' ? kRed : kBlack) << label.text;
        }
        EXPECT_EQ(labels, c.labels);
        EXPECT_EQ(ws.Label1.text, c.verdict);
        EXPECT_EQ(ws.Label1.color, c.color);
        EXPECT_EQ(gaps.landmarks.to_string(), c.missingLandmarks);
        EXPECT_EQ(gaps.leftOut.to_string(), c.leftOut);
        EXPECT_TRUE(ws.resultCurrent);
        // A missing dimension shows an empty cell and has no products.
        const DimensionSet missing = MissingDimensions(ws);
        for (int r = 1; r <= kDimensionCount; ++r) {
            const bool gap = missing.test(static_cast<std::size_t>(r - 1));
            EXPECT_EQ(ws.sgRozmery.Cell(1, r).empty(), gap) << "row " << r;
            for (int k = 1; k <= kEquationCount; ++k) {
                if (gap) {
                    EXPECT_EQ(ws.pom.Cell(k, r), "") << "row " << r;
                }
            }
        }
    }
}

// From measurements an empty dimension cell is missing: 16 empty of 17 leave one vote.
TEST(MissingData, EmptyDimensionCellsCastNoVoteFromMeasurements) {
    Workspace ws;
    SetEquations(ws);
    ws.sgRozmery.SetCell(1, 1, "180");
    const CalculationGaps gaps = CalculateFromDimensions(ws);
    EXPECT_TRUE(gaps.fromMeasurements);
    EXPECT_EQ(gaps.leftOut.to_string(), "0111110");
    DimensionSet needed;
    for (int r : {2, 3, 9, 10, 16}) needed.set(static_cast<std::size_t>(r - 1));
    EXPECT_EQ(gaps.dimensions, needed);
    EXPECT_EQ(ws.result[0].text, "1");
    EXPECT_EQ(ws.result[1].text, "...");
    EXPECT_EQ(ws.Label1.text, "Muž/Žena");  // G-OP's equation against the constant-only one

    ws.sgRozmery.SetCell(1, 1, "   ");  // blanks are a value that cannot be read, not a gap
    EXPECT_THROW(CalculateFromDimensions(ws), ECellValueError);
    EXPECT_FALSE(ws.resultCurrent);
}

// Every change the window makes stale goes back to the start state.
TEST(MissingData, ClearResultRestoresTheStartState) {
    for (const char* lang : {"cz", "en"}) {
        Workspace ws;
        ws.lang = lang;
        FillSkull(ws);
        SetEquations(ws);
        Calculate(ws);
        ASSERT_TRUE(ws.resultCurrent);
        ClearResult(ws);
        EXPECT_FALSE(ws.resultCurrent);
        for (const LabelState& label : ws.result) {
            EXPECT_EQ(label.text, "...");
            EXPECT_EQ(label.color, kBlack);
        }
        EXPECT_EQ(ws.Label1.text, std::string(lang) == "en" ? "Male / Female" : "Muž / Žena");
        EXPECT_EQ(ws.Label1.color, kBlack);
    }
}

}  // namespace
}  // namespace morvik
