#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "Compute.h"
#include "Decimal.h"
#include "TestSupport.h"

namespace morvik {
namespace {

using test::SetLandmark;

// One equation column as the voting sees it: in use or not, and its constant (the only
// cell set, so the score is the constant); nullptr leaves the whole column empty.
struct Column {
    bool used;
    const char* constant;
};

struct VoteCase {
    const char* name;
    std::array<Column, kEquationCount> columns;
    const char* lang;
    std::array<const char*, kEquationCount> labels;
    const char* verdict;
    Rgb verdictColor;
};

constexpr Column kOff{false, "not a number"};  // never read when not in use
constexpr Column kEmpty{true, nullptr};

TEST(EvaluateEquations, Votes) {
    const std::vector<VoteCase> cases = {
        {"nothing in use",
         {kOff, kOff, kOff, kOff, kOff, kOff, kOff},
         "cz",
         {"...", "...", "...", "...", "...", "...", "..."},
         "NEURČITELNÉ",
         kBlack},
        {"nothing in use, English",
         {kOff, kOff, kOff, kOff, kOff, kOff, kOff},
         "en",
         {"...", "...", "...", "...", "...", "...", "..."},
         "INDETERMINATE",
         kBlack},
        {"score rounding to zero is a male vote",
         {kOff, kOff, Column{true, "-0,004"}, kOff, kOff, kOff, kOff},
         "cz",
         {"...", "...", "0", "...", "...", "...", "..."},
         "Muž",
         kBlue},
        {"tie",
         {Column{true, "1,5"}, kOff, kOff, kOff, kOff, kOff, Column{true, "-2"}},
         "cz",
         {"1,5", "...", "...", "...", "...", "...", "-2"},
         "Muž/Žena",
         kBlack},
        {"tie, English",
         {Column{true, "1,5"}, kOff, kOff, kOff, kOff, kOff, Column{true, "-2"}},
         "en",
         {"1,5", "...", "...", "...", "...", "...", "-2"},
         "Male/Female",
         kBlack},
        {"four female against three male",
         {Column{true, "-1"}, Column{true, "2"}, Column{true, "-0,3"}, Column{true, "0,7"},
          Column{true, "-5"}, Column{true, "0,125"}, Column{true, "-0,006"}},
         "cz",
         {"-1", "2", "-0,3", "0,7", "-5", "0,13", "-0,01"},
         "Žena",
         kRed},
        {"unknown language speaks English",
         {Column{true, "3"}, kOff, kOff, kOff, kOff, kOff, kOff},
         "de",
         {"3", "...", "...", "...", "...", "...", "..."},
         "Male",
         kBlue},
        // A column with no coefficient and no constant has nothing to score.
        {"empty column casts no vote",
         {kEmpty, kOff, kOff, kOff, kOff, kOff, kOff},
         "en",
         {"...", "...", "...", "...", "...", "...", "..."},
         "INDETERMINATE",
         kBlack},
        {"empty column beside a female vote",
         {kEmpty, kEmpty, Column{true, "-1,2"}, kOff, kOff, kOff, kOff},
         "cz",
         {"...", "...", "-1,2", "...", "...", "...", "..."},
         "Žena",
         kRed},
        // Blanks are a value that fails to read, not an empty cell; a blank constant of an
        // unused column is not read at all.
        {"constant of zero still votes male",
         {Column{true, "0"}, kOff, kOff, kOff, kOff, kOff, Column{false, "   "}},
         "en",
         {"0", "...", "...", "...", "...", "...", "..."},
         "Male",
         kBlue},
    };
    for (const VoteCase& c : cases) {
        Workspace ws;
        ws.lang = c.lang;
        ws.Label1 = {"before", kBlue};
        for (int k = 1; k <= kEquationCount; ++k) {
            const Column& col = c.columns[static_cast<std::size_t>(k - 1)];
            ws.cb[static_cast<std::size_t>(k - 1)] = col.used;
            if (col.constant) ws.sg.SetCell(k, kConstantRow, col.constant);
            ws.result[static_cast<std::size_t>(k - 1)] = {"old", kRed};
        }
        EvaluateEquations(ws);
        for (int k = 1; k <= kEquationCount; ++k) {
            const LabelState& label = ws.result[static_cast<std::size_t>(k - 1)];
            const std::string expected = c.labels[static_cast<std::size_t>(k - 1)];
            EXPECT_EQ(label.text, expected) << c.name << ", column " << k;
            EXPECT_EQ(label.color, expected.front() == '-' ? kRed : kBlack)
                << c.name << ", column " << k;
        }
        EXPECT_EQ(ws.Label1.text, c.verdict) << c.name;
        EXPECT_EQ(ws.Label1.color, c.verdictColor) << c.name;
    }
}

TEST(EquationScore, SumsWrittenProductsAndConstant) {
    Workspace ws;
    ws.pom.SetCell(2, 1, "1,25");
    ws.pom.SetCell(2, 9, "-0,5");
    ws.pom.SetCell(2, 17, "0,000001");
    ws.pom.SetCell(3, 1, "100");  // another column
    ws.sg.SetCell(2, kConstantRow, "2");
    EXPECT_NEAR(EquationScore(ws, 2), 2.750001, 1e-12);
    EXPECT_DOUBLE_EQ(EquationScore(ws, 4), 0.0);
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
        EXPECT_STREQ(e.what(), "'x1' is not a valid floating point value");
    }
    EXPECT_EQ(ws.result[0].text, "-1");
    EXPECT_EQ(ws.result[1].text, "-1");
    for (const LabelState& label : ws.result) EXPECT_EQ(label.color, kBlue);
    for (std::size_t i = 2; i < ws.result.size(); ++i) EXPECT_EQ(ws.result[i].text, "old");
    EXPECT_EQ(ws.Label1.text, "previous");
}

TEST(Button2Click, FailureInDimensionsLeavesResultsAlone) {
    Workspace ws;
    ws.sg.SetCell(1, 1, "1");
    ws.sg.SetCell(1, 3, "1");
    ws.pom.SetCell(5, 5, "stale");
    ws.sgImput.SetCell(2, 8, "?");
    ws.result[0] = {"4,2", kBlack};
    ws.Label1 = {"Muž", kBlue};
    EXPECT_THROW(Button2Click(ws), EConvertError);
    EXPECT_EQ(ws.pom.Cell(5, 5), "");  // emptied before the failure
    EXPECT_EQ(ws.pom.Cell(1, 1), "0");
    EXPECT_EQ(ws.result[0].text, "4,2");
    EXPECT_EQ(ws.Label1.text, "Muž");
}

TEST(Button2Click, ScoresFromRoundedProducts) {
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
    Button2Click(ws);
    // Each product is written as 1 (six decimals), so the score is -0,000001 and reads 0.
    EXPECT_EQ(ws.pom.Cell(1, 1), "1");
    EXPECT_NEAR(EquationScore(ws, 1), -0.000001, 1e-12);
    EXPECT_EQ(ws.result[0].text, "0");
    EXPECT_EQ(ws.Label1.text, "Male");
}

TEST(Button5Click, EmptyDimensionsScoreTheConstants) {
    Workspace ws;
    for (int k = 1; k <= kEquationCount; ++k) {
        test::UseAllDimensions(ws, k, "0,5");
        ws.sg.SetCell(k, kConstantRow, k % 2 ? "1,25" : "-3");
    }
    Button5Click(ws);
    for (int k = 1; k <= kEquationCount; ++k) {
        EXPECT_EQ(ws.pom.Cell(k, 4), "0");
        EXPECT_EQ(ws.result[static_cast<std::size_t>(k - 1)].text, k % 2 ? "1,25" : "-3");
    }
    EXPECT_EQ(ws.Label1.text, "Muž");  // four against three
}

TEST(Button5Click, UsesTheShownAptAptText) {
    Workspace ws;
    SetLandmark(ws, 6, {0, 0, 0});
    SetLandmark(ws, 7, {25.456, 0, 0});
    ws.sg.SetCell(1, 7, "2");
    Button2Click(ws);
    EXPECT_EQ(ws.pom.Cell(1, 7), "50,912");
    const std::string landmark = ws.sgImput.Cell(2, 7);
    Button5Click(ws);
    EXPECT_EQ(ws.pom.Cell(1, 7), "50,92");
    EXPECT_EQ(ws.sgRozmery.Cell(1, 7), "25,46");
    EXPECT_EQ(ws.sgImput.Cell(2, 7), landmark);
}

TEST(Button5Click, ReadsOnlyDimensionsThatAreUsed) {
    Workspace ws;
    ws.sgRozmery.SetCell(1, 2, "junk");
    ws.sgRozmery.SetCell(1, 1, "180,5");
    ws.sg.SetCell(6, 1, "0,1");
    ws.cb.fill(false);
    Button5Click(ws);
    EXPECT_EQ(ws.pom.Cell(6, 1), "18,05");

    ws.sg.SetCell(2, 2, "1");
    try {
        Button5Click(ws);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'junk' is not a valid floating point value");
    }
    EXPECT_EQ(ws.pom.Cell(6, 1), "18,05");  // written again before the failing row
}

TEST(DimensionRows, TableMatchesTheSheetLayout) {
    EXPECT_EQ(kDimensionRows[6].nameEn, "APT-APT");
    for (std::size_t i = 0; i < kDimensionRows.size(); ++i)
        EXPECT_EQ(kDimensionRows[i].decimals, i == 6 ? 2 : 6) << i;
}

}  // namespace
}  // namespace morvik
