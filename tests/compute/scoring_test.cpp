#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "compute/Compute.h"
#include "text/Decimal.h"

namespace morvik {
namespace {

using test::SetLandmark;

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// Columns: "x" not in use (its constant is junk that must not be read), "E" in use with
// the whole column empty, else in use with that constant as its only cell, so the score.
TEST(EvaluateEquations, Votes) {
    struct Case {
        const char* lang;
        const char* columns;
        const char* labels;
        const char* verdict;
        Rgb color;
    };
    const Case cases[] = {
        {"cz", "x x x x x x x", "... ... ... ... ... ... ...", "NEURČITELNÉ", kBlack},
        {"en", "x x x x x x x", "... ... ... ... ... ... ...", "INDETERMINATE", kBlack},
        {"cz", "x x -0,004 x x x x", "... ... 0 ... ... ... ...", "Muž", kBlue},
        {"cz", "1,5 x x x x x -2", "1,5 ... ... ... ... ... -2", "Muž/Žena", kBlack},
        {"en", "1,5 x x x x x -2", "1,5 ... ... ... ... ... -2", "Male/Female", kBlack},
        {"cz", "-1 2 -0,3 0,7 -5 0,125 -0,006", "-1 2 -0,3 0,7 -5 0,13 -0,01", "Žena", kRed},
        {"de", "3 x x x x x x", "3 ... ... ... ... ... ...", "Male", kBlue},
        {"en", "0 x x x x x x", "0 ... ... ... ... ... ...", "Male", kBlue},
        // A column with no coefficient and no constant has nothing to score and no vote.
        {"en", "E x x x x x x", "... ... ... ... ... ... ...", "INDETERMINATE", kBlack},
        {"cz", "E E -1,2 x x x x", "... ... -1,2 ... ... ... ...", "Žena", kRed},
    };
    for (const Case& c : cases) {
        Workspace ws;
        ws.lang = c.lang;
        ws.Label1 = {"before", kBlue};
        const auto columns = Words(c.columns), labels = Words(c.labels);
        for (std::size_t i = 0; i < kEquationCount; ++i) {
            const int k = static_cast<int>(i) + 1;
            ws.cb[i] = columns[i] != "x";
            if (columns[i] != "E") ws.sg.SetCell(k, kConstantRow, ws.cb[i] ? columns[i] : "junk");
            ws.result[i] = {"old", kRed};
        }
        EvaluateEquations(ws);
        for (std::size_t i = 0; i < kEquationCount; ++i) {
            EXPECT_EQ(ws.result[i].text, labels[i]) << c.columns << ", column " << i + 1;
            EXPECT_EQ(ws.result[i].color, labels[i].front() == '-' ? kRed : kBlack) << c.columns;
        }
        EXPECT_EQ(ws.Label1.text, c.verdict) << c.columns;
        EXPECT_EQ(ws.Label1.color, c.color) << c.columns;
    }
}

TEST(EvaluateEquations, BadConstantKeepsLaterLabelsColoursAndVerdict) {
    Workspace ws;
    for (int k = 1; k <= kEquationCount; ++k) {
        ws.sg.SetCell(k, kConstantRow, "-1");
        ws.result[static_cast<std::size_t>(k - 1)] = {"old", kBlue};
    }
    ws.sg.SetCell(3, kConstantRow, "x1");
    ws.Label1 = {"previous", kBlue};
    try {
        EvaluateEquations(ws);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot read the constant of equation 7 ('x1' is not a valid floating point "
                     "value).");
    }
    EXPECT_EQ(ws.result[0].text, "-1");
    EXPECT_EQ(ws.result[1].text, "-1");
    for (const LabelState& label : ws.result) EXPECT_EQ(label.color, kBlue);
    for (std::size_t i = 2; i < ws.result.size(); ++i) EXPECT_EQ(ws.result[i].text, "old");
    EXPECT_EQ(ws.Label1.text, "previous");
}

TEST(Calculate, FailureInDimensionsLeavesResultsAlone) {
    Workspace ws;
    ws.sg.SetCell(1, 1, "1");
    ws.sg.SetCell(1, 3, "1");
    ws.pom.SetCell(5, 5, "stale");
    for (int row : {1, 8, 9, 21}) SetLandmark(ws, row, {0, 0, 0});
    ws.sgImput.SetCell(2, 8, "?");
    ws.result[0] = {"4,2", kBlack};
    ws.Label1 = {"Muž", kBlue};
    EXPECT_THROW(Calculate(ws), EConvertError);
    EXPECT_EQ(ws.pom.Cell(5, 5), "");  // emptied before the failure
    EXPECT_EQ(ws.pom.Cell(1, 1), "0");
    EXPECT_EQ(ws.result[0].text, "4,2");
    EXPECT_EQ(ws.Label1.text, "Muž");
}

TEST(Calculate, ScoresFromRoundedProducts) {
    Workspace ws;
    ws.lang = "en";
    SetLandmark(ws, 1, {0, 0, 0});
    SetLandmark(ws, 21, {0, 0, 1.0000004});
    SetLandmark(ws, 8, {0, 0, 0});
    SetLandmark(ws, 9, {0, 0, 1.0000004});
    ws.sg.SetCell(1, 1, "1");
    ws.sg.SetCell(1, 3, "1");
    ws.sg.SetCell(1, kConstantRow, "-2,000001");
    ws.cb = {true, false, false, false, false, false, false};
    Calculate(ws);
    // Each product is written as 1 (six decimals), so the score is -0,000001 and reads 0.
    EXPECT_EQ(ws.pom.Cell(1, 1), "1");
    EXPECT_NEAR(EquationScore(ws, 1), -0.000001, 1e-12);
    EXPECT_EQ(ws.result[0].text, "0");
    EXPECT_EQ(ws.Label1.text, "Male");
}

TEST(CalculateFromDimensions, UsesTheShownAptAptText) {
    Workspace ws;
    SetLandmark(ws, 6, {0, 0, 0});
    SetLandmark(ws, 7, {25.456, 0, 0});
    ws.sg.SetCell(1, 7, "2");
    Calculate(ws);
    EXPECT_EQ(ws.pom.Cell(1, 7), "50,912");
    const std::string landmark = ws.sgImput.Cell(2, 7);
    CalculateFromDimensions(ws);
    EXPECT_EQ(ws.pom.Cell(1, 7), "50,92");
    EXPECT_EQ(ws.sgRozmery.Cell(1, 7), "25,46");
    EXPECT_EQ(ws.sgImput.Cell(2, 7), landmark);
}

TEST(CalculateFromDimensions, ReadsOnlyDimensionsThatAreUsed) {
    Workspace ws;
    ws.sgRozmery.SetCell(1, 2, "junk");
    ws.sgRozmery.SetCell(1, 1, "180,5");
    ws.sg.SetCell(6, 1, "0,1");
    ws.cb.fill(false);
    CalculateFromDimensions(ws);
    EXPECT_EQ(ws.pom.Cell(6, 1), "18,05");

    ws.sg.SetCell(2, 2, "1");
    try {
        CalculateFromDimensions(ws);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot read the dimension EU-EU ('junk' is not a valid floating point "
                     "value).");
    }
    EXPECT_EQ(ws.pom.Cell(6, 1), "18,05");  // written again before the failing row
}

}  // namespace
}  // namespace morvik
