#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "xls/PtgParser.h"

namespace morvik::xls {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Byte builders for the tokens the cases need; every field is spelled out at the call site.
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Num(double v) {
    std::uint8_t raw[8];
    std::memcpy(raw, &v, 8);  // the test host is little-endian like the file
    return Cat({{0x1F}, Bytes(raw, raw + 8)});
}

// Reference entries: EXTERNSHEET rows (supporting book, first sheet, last sheet).
const std::vector<std::string> kSheets = {"Sheet1", "Data", "Čísla"};
const std::vector<Bytes> kRefs = {
    {0x00, 0x00, 0x01, 0x00, 0x01, 0x00},  // 0: Data
    {0x00, 0x00, 0x00, 0x00, 0x02, 0x00},  // 1: Sheet1 (range of sheets: only the first is used)
    {0x00, 0x00, 0x07, 0x00, 0x07, 0x00},  // 2: sheet 7 does not exist
    {0x00, 0x00, 0x02, 0x00, 0x02, 0x00},  // 3: Čísla
    {0x00, 0x00},                          // 4: truncated entry
};

std::optional<std::string> Render(const Bytes& bytes, std::uint16_t row = 0, std::uint8_t col = 0,
                                  char separator = '.') {
    TPtgListLookup lookup(kSheets, kRefs);
    const TPtgContext context{row, col, &lookup, separator};
    std::vector<TPtgToken> tokens;
    std::string text;
    if (!DecodePtgs(bytes, context, tokens) || !RenderPtgs(tokens, text)) return std::nullopt;
    return text;
}

struct TextCase {
    const char* what;
    Bytes tokens;
    const char* expected;
};

class PtgText : public testing::TestWithParam<TextCase> {};

TEST_P(PtgText, Renders) {
    const auto& c = GetParam();
    const auto text = Render(c.tokens);
    ASSERT_TRUE(text.has_value()) << c.what;
    EXPECT_EQ(*text, c.expected) << c.what;
}

// Cells: tRef row (2), column (1), flags (1: 0x80 row relative, 0x40 column relative).
const Bytes kA1 = {0x24, 0x00, 0x00, 0x00, 0xC0};
const Bytes kB2 = {0x44, 0x01, 0x00, 0x01, 0xC0};  // value class of the same token
// tArea: first row, last row, first column + flags, last column + flags.
const Bytes kA1B2 = {0x25, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01, 0xC0};
const Bytes kInt0 = {0x1E, 0x00, 0x00};
const Bytes kInt1 = {0x1E, 0x01, 0x00};
const Bytes kInt2 = {0x1E, 0x02, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Operators, PtgText,
    testing::Values(TextCase{"no parentheses token: none written",
                             Cat({kA1, kB2, kInt2, {0x05}, {0x03}}), "A1+B2*2"},
                    TextCase{"parentheses token wraps the top",
                             Cat({kA1, kB2, kInt2, {0x05}, {0x15}, {0x03}}), "A1+(B2*2)"},
                    TextCase{"left operand comes first", Cat({kA1, kB2, {0x04}, kInt2, {0x06}}),
                             "A1-B2/2"},
                    TextCase{"nested parentheses", Cat({kA1, {0x15}, {0x15}}), "((A1))"},
                    TextCase{"<", Cat({kA1, kB2, {0x09}}), "A1<B2"},
                    TextCase{"<=", Cat({kA1, kB2, {0x0A}}), "A1<=B2"},
                    TextCase{"=", Cat({kA1, kB2, {0x0B}}), "A1=B2"},
                    TextCase{">=", Cat({kA1, kB2, {0x0C}}), "A1>=B2"},
                    TextCase{">", Cat({kA1, kB2, {0x0D}}), "A1>B2"},
                    TextCase{"<>", Cat({kA1, kB2, {0x0E}}), "A1<>B2"},
                    TextCase{"empty token string", {}, ""},
                    TextCase{"only a space attribute", {0x19, 0x40, 0x00, 0x02}, ""}));

INSTANTIATE_TEST_SUITE_P(
    Functions, PtgText,
    testing::Values(
        TextCase{"variable SUM, count 1", Cat({kA1B2, {0x22, 0x01, 0x04, 0x00}}), "SUM(A1:B2)"},
        TextCase{"sum attribute", Cat({kA1B2, {0x19, 0x10, 0x00, 0x00}}), "SUM(A1:B2)"},
        TextCase{"IF with its if and goto attributes dropped",
                 Cat({kA1,
                      kInt0,
                      {0x0D},
                      {0x19, 0x02, 0x08, 0x00},  // attribute if, jump 8
                      kInt1,
                      {0x19, 0x08, 0x07, 0x00},  // attribute goto
                      kInt2,
                      {0x19, 0x08, 0x03, 0x00},    // attribute goto
                      {0x42, 0x03, 0x01, 0x00}}),  // IF, 3 arguments, value class
                 "IF(A1>0;1;2)"},
        TextCase{"fixed ROUND", Cat({kA1, kInt2, {0x21, 0x1B, 0x00}}), "ROUND(A1;2)"},
        TextCase{"fixed, array class", Cat({kA1, {0x61, 0x18, 0x00}}), "ABS(A1)"},
        TextCase{"fixed, no arguments", {0x21, 0x4A, 0x00}, "NOW()"},
        TextCase{"variable, no arguments", {0x22, 0x00, 0x07, 0x00}, "MAX()"},
        TextCase{"fixed 4 arguments", Cat({kA1, kA1B2, kInt2, {0x1D, 0x00}, {0x41, 0x66, 0x00}}),
                 "VLOOKUP(A1;A1:B2;2;FALSE)"},
        TextCase{"function inside an operator",
                 Cat({kA1B2, {0x22, 0x01, 0x05, 0x00}, kInt2, {0x05}}), "AVERAGE(A1:B2)*2"},
        TextCase{"volatile attribute dropped", Cat({{0x19, 0x01, 0x00, 0x00}, {0x21, 0xDD, 0x00}}),
                 "TODAY()"},
        TextCase{"last table row", Cat({kA1B2, {0x21, 0x5B, 0x01}}), "COUNTBLANK(A1:B2)"}));

INSTANTIATE_TEST_SUITE_P(
    Operands, PtgText,
    testing::Values(
        TextCase{"absolute first corner",
                 {0x25, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0xC0},
                 "$A$1:B2"},
        TextCase{"column absolute only", {0x24, 0x02, 0x00, 0x02, 0x80}, "$C3"},
        TextCase{"row absolute only", {0x24, 0x02, 0x00, 0x02, 0x40}, "C$3"},
        TextCase{"last column and row", {0x24, 0xFF, 0xFF, 0xFF, 0xC0}, "IV65536"},
        TextCase{"Z and AA", {0x65, 0x00, 0x00, 0x00, 0x00, 0x19, 0xC0, 0x1A, 0xC0}, "Z1:AA1"},
        TextCase{"8-bit string is Windows-1250",
                 {0x17, 0x05, 0x00, 0x50, 0xF8, 0xED, 0x6C, 0x9A},  // "Přílš"
                 "\"Přílš\""},
        TextCase{"16-bit string",
                 {0x17, 0x02, 0x01,         // 2 characters, 16-bit
                  0x59, 0x01, 0xB1, 0x03},  // ř, Greek alpha (outside the 8-bit page)
                 "\"řα\""},
        TextCase{"empty string", {0x17, 0x00, 0x00}, "\"\""},
        TextCase{"empty 16-bit string", {0x17, 0x00, 0x01}, "\"\""},
        TextCase{"quotes are not doubled", {0x17, 0x03, 0x00, 0x61, 0x22, 0x62}, "\"a\"b\""},
        TextCase{"TRUE", {0x1D, 0x01}, "TRUE"}, TextCase{"FALSE", {0x1D, 0x00}, "FALSE"},
        TextCase{"other boolean byte is FALSE", {0x1D, 0x02}, "FALSE"},
        TextCase{"integer is unsigned", {0x1E, 0xFF, 0xFF}, "65535"},
        TextCase{"number", Num(1.5), "1.5"},
        TextCase{"3-D cell", {0x3A, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0}, "'Data'!A1"},
        TextCase{"3-D area, first sheet of a range",
                 {0x5B, 0x01, 0x00,  // reference 1
                  0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x02, 0xC0},
                 "'Sheet1'!$A$1:C10"},
        TextCase{
            "3-D name with diacritics", {0x7A, 0x03, 0x00, 0x04, 0x00, 0x01, 0x00}, "'Čísla'!$B$5"},
        TextCase{"string into a function",
                 Cat({{0x17, 0x02, 0x00, 0x61, 0x62}, kInt1, {0x21, 0x73, 0x00}}),
                 "LEFT(\"ab\";1)"}));

struct NumberCase {
    double value;
    const char* expected;
};

TEST(PtgNumber, GeneralFormatFifteenDigits) {
    const NumberCase cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-2.25, "-2.25"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {100.0, "100"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {123456789012345678.0, "1.23456789012346E17"},
        {0.00001, "0.00001"},
        {0.000012345, "0.000012345"},
        {0.000001, "1E-6"},
        {-1.25e-7, "-1.25E-7"},
        {1.7976931348623157e308, "1.79769313486232E308"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatPtgNumber(c.value, '.'), c.expected) << c.expected;
    EXPECT_EQ(FormatPtgNumber(1.5e-7, ','), "1,5E-7");
}

TEST(PtgNumber, SeparatorReachesTheText) {
    EXPECT_EQ(Render(Cat({kA1, Num(0.25), {0x05}}), 0, 0, ','), "A1*0,25");
}

struct SharedCase {
    const char* what;
    Bytes tokens;
    const char* expected;
};

// Relative tokens of shared formulas, read for the cell at row 5, column 2 (C6).
TEST(PtgShared, RelativeReferencesResolveAgainstTheCell) {
    const SharedCase cases[] = {
        {"one down, one right", {0x2C, 0x01, 0x00, 0x01, 0xC0}, "D7"},
        {"offset 0xFFFF is one row up", {0x2C, 0xFF, 0xFF, 0x00, 0xC0}, "C5"},
        {"column offset 0xFF is one left", {0x4C, 0x00, 0x00, 0xFF, 0xC0}, "B6"},
        {"absolute parts as stored", {0x2C, 0x03, 0x00, 0x03, 0x00}, "$D$4"},
        {"row relative only", {0x2C, 0x01, 0x00, 0x03, 0x80}, "$D7"},
        {"wraps past the last column", {0x2C, 0x00, 0x00, 0xFE, 0xC0}, "A6"},
        {"area",
         {0x2D, 0xFB, 0xFF, 0x00, 0x00,  // rows -5 (relative), 0 (absolute)
          0xFE, 0xC0, 0x05, 0x40},       // columns -2 (relative), 5 (column relative)
         "A1:H$1"},
        {"ordinary references are not moved", {0x24, 0x01, 0x00, 0x01, 0xC0}, "B2"},
        {"3-D references are not moved", {0x3A, 0x00, 0x00, 0x01, 0x00, 0x01, 0xC0}, "'Data'!B2"},
    };
    for (const auto& c : cases) EXPECT_EQ(Render(c.tokens, 5, 2), c.expected) << c.what;
}

// SHRFMLA payload: first row, last row (2 each), first and last column (1 each), 4 unused
// bytes, then the tokens.
Bytes ShrFmla(std::uint16_t firstRow, std::uint16_t lastRow, std::uint8_t firstCol,
              std::uint8_t lastCol, const Bytes& tokens) {
    Bytes p = {static_cast<std::uint8_t>(firstRow),
               static_cast<std::uint8_t>(firstRow >> 8),
               static_cast<std::uint8_t>(lastRow),
               static_cast<std::uint8_t>(lastRow >> 8),
               firstCol,
               lastCol,
               0x00,
               0x03,
               static_cast<std::uint8_t>(tokens.size()),
               0x00};
    return Cat({p, tokens});
}

TEST(PtgShared, ParseFindsTheCoveringFormula) {
    std::vector<std::string> names = {"A", "B"};
    std::vector<Bytes> refs;
    TPtgParser parser(names, refs);
    parser.SetDecimalSeparator('.');
    auto& shared = parser.SharedFormulas();
    // Row above times 2, for C2:D4 of sheet 0.
    shared.Add(0, ShrFmla(1, 3, 2, 3, {0x2C, 0xFF, 0xFF, 0x00, 0xC0, 0x1E, 0x02, 0x00, 0x05}));
    // An overlapping later formula never wins over the first.
    shared.Add(0, ShrFmla(1, 1, 2, 2, {0x1E, 0x07, 0x00}));
    // The same area on sheet 1 holds a different formula.
    shared.Add(1, ShrFmla(1, 3, 2, 3, {0x1D, 0x01}));
    shared.Add(1, Bytes{0x01, 0x00, 0x01});  // too short to describe anything
    ASSERT_EQ(shared.Count(), 3u);

    struct Case {
        std::uint16_t sheet, row;
        std::uint8_t col;
        const char* expected;
    };
    const Case cases[] = {
        {0, 1, 2, "C1*2"}, {0, 3, 3, "D3*2"}, {1, 2, 2, "TRUE"}, {0, 0, 2, ""},
        {0, 4, 2, ""},     {0, 2, 1, ""},     {0, 2, 4, ""},     {2, 2, 2, ""},
    };
    const Bytes ignored = {0x07};  // would be unrecognized if it were read
    for (const auto& c : cases) {
        EXPECT_EQ(parser.Parse(c.sheet, c.row, ignored, 0x08, c.col), TPtgParser::kOk);
        EXPECT_EQ(parser.Result(), c.expected) << c.sheet << " " << c.row << " " << int{c.col};
    }
    // Without the shared bit the given tokens are read.
    EXPECT_EQ(parser.Parse(0, 1, Bytes{0x1E, 0x05, 0x00}, 0x00, 2), TPtgParser::kOk);
    EXPECT_EQ(parser.Result(), "5");
}

// The one sweep a load asks for all its cells answers what the walk answers for each, with
// formulas overlapping at random, empty and inverted ranges, and cells on other sheets.
TEST(PtgShared, FindAllAnswersAsFindDoes) {
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    for (int round = 0; round < 20; ++round) {
        TXLSSharedFormulas shared;
        const int formulas = 1 + static_cast<int>(next(60));
        for (int i = 0; i < formulas; ++i) {
            const auto r1 = next(40), r2 = next(40), c1 = next(256), c2 = next(256);
            shared.Add(static_cast<std::uint16_t>(next(3)),
                       ShrFmla(static_cast<std::uint16_t>(r1), static_cast<std::uint16_t>(r2),
                               static_cast<std::uint8_t>(c1), static_cast<std::uint8_t>(c2),
                               {0x1E, static_cast<std::uint8_t>(i), 0x00}));
        }
        std::vector<TXLSSharedFormulas::TCellQuery> cells;
        for (int k = 0; k < 300; ++k) {
            cells.push_back({static_cast<std::uint16_t>(next(4)),
                             static_cast<std::uint16_t>(next(45)),
                             static_cast<std::uint8_t>(next(256))});
        }
        const std::vector<std::int32_t> all = shared.FindAll(cells);
        ASSERT_EQ(all.size(), cells.size());
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const auto one = shared.Find(cells[k].Sheet, cells[k].Row, cells[k].Col);
            const auto viaAll = all[k] < 0
                                    ? std::span<const std::uint8_t>{}
                                    : std::span<const std::uint8_t>(
                                          shared.Item(static_cast<std::size_t>(all[k])).Tokens);
            EXPECT_TRUE(one.data() == viaAll.data() && one.size() == viaAll.size())
                << "round " << round << " cell " << k;
        }
    }
}

TEST(PtgShared, SharedFormulaWithBadTokensIsUnrecognized) {
    std::vector<std::string> names;
    std::vector<Bytes> refs;
    TPtgParser parser(names, refs);
    parser.SharedFormulas().Add(0, ShrFmla(0, 0, 0, 0, {0x2C, 0x00}));  // truncated reference
    EXPECT_EQ(parser.Parse(0, 0, {}, 0x08, 0), TPtgParser::kUnrecognized);
    EXPECT_EQ(parser.Result(), "");
}

// Lookups of the reader's kind and of any other kind answer the same way.
class FakeSheets : public TPtgSheetLookup {
  public:
    std::map<std::uint16_t, std::string> names;
    std::optional<std::string> SheetOfReference(std::uint16_t index) const override {
        auto it = names.find(index);
        if (it == names.end()) return std::nullopt;
        return it->second;
    }
};

TEST(PtgParser, ThreeDReferencesThroughAnyLookup) {
    FakeSheets sheets;
    sheets.names[300] = "Jiný list";
    TPtgParser parser(sheets);
    EXPECT_EQ(parser.Parse(0, 0, Bytes{0x3A, 0x2C, 0x01, 0x00, 0x00, 0x00, 0x00}, 0, 0),
              TPtgParser::kOk);
    EXPECT_EQ(parser.Result(), "'Jiný list'!$A$1");
    EXPECT_EQ(parser.Parse(0, 0, Bytes{0x3A, 0x2D, 0x01, 0x00, 0x00, 0x00, 0x00}, 0, 0),
              TPtgParser::kUnrecognized);
}

struct FailCase {
    const char* what;
    Bytes tokens;
};

class PtgUnrecognized : public testing::TestWithParam<FailCase> {};

TEST_P(PtgUnrecognized, GivesStatusAndEmptyText) {
    const auto& c = GetParam();
    EXPECT_EQ(Render(c.tokens), std::nullopt) << c.what;

    TPtgListLookup lookup(kSheets, kRefs);
    TPtgParser parser(lookup);
    ASSERT_EQ(parser.Parse(0, 0, kA1, 0, 0), TPtgParser::kOk);
    EXPECT_EQ(parser.Parse(0, 0, c.tokens, 0, 0), TPtgParser::kUnrecognized) << c.what;
    EXPECT_EQ(parser.Status(), TPtgParser::kUnrecognized);
    EXPECT_EQ(parser.Result(), "") << c.what;
    // Nothing carries over to the next formula.
    EXPECT_EQ(parser.Parse(0, 0, kB2, 0, 0), TPtgParser::kOk);
    EXPECT_EQ(parser.Result(), "B2");
}

INSTANTIATE_TEST_SUITE_P(
    UnknownTokens, PtgUnrecognized,
    testing::Values(
        FailCase{"power", Cat({kA1, kInt2, {0x07}})},
        FailCase{"concatenation", Cat({kA1, kB2, {0x08}})},
        FailCase{"unary minus", Cat({kA1, {0x13}})}, FailCase{"percent", Cat({kA1, {0x14}})},
        FailCase{"range operator", Cat({kA1, kB2, {0x11}})}, FailCase{"missing argument", {0x16}},
        FailCase{"error constant", {0x1C, 0x07}},
        FailCase{"defined name", {0x23, 0x01, 0x00, 0x00, 0x00}},
        FailCase{"array constant", {0x20, 0, 0, 0, 0, 0, 0, 0}},
        FailCase{"shared formula pointer", {0x01, 0x00, 0x00, 0x00, 0x00}},
        FailCase{"code 0x00", {0x00}},
        FailCase{"code above the classes", {0x84, 0x00, 0x00, 0x00, 0xC0}},
        FailCase{"choose attribute", Cat({kInt1, kA1, {0x19, 0x04, 0x01, 0x00, 0x04, 0x00}})},
        FailCase{"attribute without flags", Cat({kA1, {0x19, 0x00, 0x00, 0x00}})},
        FailCase{"unknown fixed function", Cat({kA1, {0x21, 0x64, 0x00}})},
        FailCase{"fixed token for a variable function", Cat({kA1, {0x21, 0x04, 0x00}})},
        FailCase{"unknown variable function", Cat({kA1, {0x22, 0x01, 0xFF, 0x00}})},
        FailCase{"command-equivalent bit", Cat({kA1, {0x22, 0x01, 0x04, 0x80}})},
        FailCase{"infinite number", Num(std::numeric_limits<double>::infinity())},
        FailCase{"3-D reference index outside the list",
                 {0x3A, 0x05, 0x00, 0x00, 0x00, 0x00, 0xC0}},
        FailCase{"3-D sheet index outside the list", {0x3A, 0x02, 0x00, 0x00, 0x00, 0x00, 0xC0}},
        FailCase{"3-D reference entry too short", {0x3A, 0x04, 0x00, 0x00, 0x00, 0x00, 0xC0}}));

INSTANTIATE_TEST_SUITE_P(
    Truncated, PtgUnrecognized,
    testing::Values(FailCase{"reference", {0x24, 0x00, 0x00, 0x00}},
                    FailCase{"area", {0x25, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01}},
                    FailCase{"3-D area",
                             {0x3B, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01}},
                    FailCase{"integer", {0x1E, 0x01}},
                    FailCase{"number", {0x1F, 0, 0, 0, 0, 0, 0, 0xF0}}, FailCase{"boolean", {0x1D}},
                    FailCase{"attribute", Cat({kA1, {0x19, 0x10, 0x00}})},
                    FailCase{"fixed function", Cat({kA1, {0x21, 0x18}})},
                    FailCase{"variable function", Cat({kA1, {0x22, 0x01, 0x04}})},
                    FailCase{"string header", {0x17, 0x01}},
                    FailCase{"8-bit string characters", {0x17, 0x03, 0x00, 0x61, 0x62}},
                    FailCase{"16-bit string characters", {0x17, 0x02, 0x01, 0x61, 0x00, 0x62}},
                    FailCase{"string longest count", {0x17, 0xFF, 0x01, 0x61, 0x00}}));

INSTANTIATE_TEST_SUITE_P(
    BadStack, PtgUnrecognized,
    testing::Values(FailCase{"operator alone", {0x03}},
                    FailCase{"operator with one operand", Cat({kA1, {0x05}})},
                    FailCase{"parentheses alone", {0x15}},
                    FailCase{"function short of arguments", Cat({kA1, {0x22, 0x02, 0x04, 0x00}})},
                    FailCase{"fixed function short of arguments", Cat({kA1, {0x21, 0x1B, 0x00}})},
                    FailCase{"sum attribute with nothing", {0x19, 0x10, 0x00, 0x00}},
                    FailCase{"count byte beyond the stack", Cat({kA1, {0x22, 0xFF, 0x04, 0x00}})},
                    FailCase{"two operands left over", Cat({kA1, kB2})},
                    FailCase{"operand left under a function",
                             Cat({kA1, kB2, {0x21, 0x18, 0x00}})}));

// A formula cut anywhere inside a token must never be read as a shorter formula.
TEST(PtgParser, EveryCutInsideATokenIsUnrecognized) {
    const Bytes formula = Cat({kA1,
                               {0x3B, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01, 0xC0},
                               {0x17, 0x02, 0x01, 0x61, 0x00, 0x62, 0x00},
                               Num(2.5),
                               {0x22, 0x04, 0x07, 0x00}});
    ASSERT_EQ(Render(formula), "MAX(A1;'Data'!A1:B2;\"ab\";2.5)");
    const std::size_t tokenEnds[] = {0, 5, 16, 24, 33, formula.size()};
    for (std::size_t cut = 1; cut < formula.size(); ++cut) {
        if (std::find(std::begin(tokenEnds), std::end(tokenEnds), cut) != std::end(tokenEnds)) {
            continue;  // a whole-token prefix is a (mostly unbalanced) formula of its own
        }
        EXPECT_EQ(Render(Bytes(formula.begin(), formula.begin() + static_cast<long>(cut))),
                  std::nullopt)
            << "cut at " << cut;
    }
}

TEST(PtgFunctionTable, EveryRowRendersByItsNumber) {
    for (const auto& f : kXLSFunctions) {
        const auto number = static_cast<std::uint16_t>(f.Number);
        const Bytes call = {0x22, 0x00, static_cast<std::uint8_t>(number),
                            static_cast<std::uint8_t>(number >> 8)};
        EXPECT_EQ(Render(call), std::string(f.Name) + "()");
        ASSERT_EQ(FindXLSFunction(f.Number), &f) << f.Name << ": number used twice";
    }
}

}  // namespace
}  // namespace morvik::xls
