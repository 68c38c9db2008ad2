// Sheets, cells and values: the pending-cell rule, registration, values, attributes, names.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "xls/NumberFormat.h"
#include "xls/XLSError.h"
#include "xls/XLSWorkbook.h"

namespace morvik::xls {
namespace {

template <class F>
void ExpectXLSError(F&& f, std::uint8_t code, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no EXLSError, expected code " << int(code);
    } catch (const EXLSError& e) {
        EXPECT_EQ(e.Code(), code);
        EXPECT_EQ(std::string(e.what()), message);
    }
}

template <class F>
void ExpectRangeError(F&& f, const std::string& message) {
    try {
        f();
        ADD_FAILURE() << "no range error, expected " << message;
    } catch (const EListIndexError& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
}

class CellsTest : public ::testing::Test {
  protected:
    TWorkbook wb;
    TSheet& sheet = wb.Sheets().Items(0);
    TCells& cells = sheet.Cells();
};

TEST_F(CellsTest, AbsentCellIsEmptyAndDoesNotGrowTheSheet) {
    TCell& c = cells.Cell(3, 255);
    EXPECT_TRUE(c.Value().IsEmpty());
    EXPECT_EQ(c.DisplayText(), "");
    EXPECT_EQ(c.Formula(), "");
    EXPECT_FALSE(c.Registered());
    EXPECT_EQ(cells.Count(), 0);
    for (int r = 0; r < 100; ++r) cells.Cell(r, r % 256);
    EXPECT_EQ(cells.Count(), 0);
    EXPECT_EQ(cells.Find(3, 255), nullptr);
}

TEST_F(CellsTest, AddressesOutsideTheSheetAreRefused) {
    const std::pair<int, int> bad[] = {{3, 256}, {0, -1}, {-1, 0}, {65536, 0}, {0, 100000}};
    for (auto [row, col] : bad) {
        SCOPED_TRACE(std::to_string(row) + "," + std::to_string(col));
        ExpectXLSError([&] { cells.Cell(row, col); }, 5, "Invalid row or column number");
    }
    EXPECT_NO_THROW(cells.Cell(65535, 255));
    EXPECT_EQ(cells.Count(), 0);
}

TEST_F(CellsTest, StoredCellIsRegisteredOnceAndFoundAgain) {
    TCell& c = cells.Cell(1, 1);
    c.SetValue(2.5);
    EXPECT_TRUE(c.Registered());
    EXPECT_EQ(cells.Count(), 1);
    EXPECT_EQ(&cells.Cell(1, 1), &c);
    EXPECT_EQ(&cells.Cell(1, 1), &c);
    EXPECT_EQ(&cells.Items(0), &c);
    EXPECT_EQ(cells.Find(1, 1), &c);
    EXPECT_EQ(cells.IndexOf(c), 0);
    // The same value again still counts as a store.
    c.SetValue(2.5);
    EXPECT_EQ(cells.Count(), 1);
}

TEST_F(CellsTest, EachAbsentLookupReplacesThePendingCell) {
    TCell* first = &cells.Cell(0, 0);
    EXPECT_EQ(cells.Pending(), first);
    TCell* second = &cells.Cell(0, 1);
    EXPECT_EQ(cells.Pending(), second);
    EXPECT_EQ(second->Row(), 0);
    EXPECT_EQ(second->Col(), 1);
    // A registered hit leaves the pending cell alone.
    cells.Cell(5, 5).SetValue(1);
    EXPECT_EQ(cells.Pending(), nullptr);
    TCell* third = &cells.Cell(6, 6);
    cells.Cell(5, 5);
    EXPECT_EQ(cells.Pending(), third);
}

TEST_F(CellsTest, ItemsKeepRegistrationOrderAndCheckTheOrdinal) {
    const std::pair<int, int> order[] = {{9, 3}, {0, 0}, {4, 200}, {0, 1}};
    for (auto [r, c] : order) cells.Cell(r, c).SetValue(r * 1000 + c);
    ASSERT_EQ(cells.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cells.Items(i).Row(), order[i].first);
        EXPECT_EQ(cells.Items(i).Col(), order[i].second);
    }
    ExpectRangeError([&] { cells.Items(4); }, "List index (4) out of bounds");
    ExpectRangeError([&] { cells.Items(-1); }, "List index (-1) out of bounds");
}

TEST_F(CellsTest, LargeSheetFindsEveryCellInOrder) {
    // Enough cells to make the index grow several times.
    constexpr int kRows = 9000, kCols = 12;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) cells.Cell(r, c).SetValue(r * kCols + c);
    ASSERT_EQ(cells.Count(), kRows * kCols);
    for (int r = 0; r < kRows; r += 7) {
        for (int c = 0; c < kCols; ++c) {
            const TCell& cell = cells.Cell(r, c);
            ASSERT_TRUE(cell.Registered());
            ASSERT_EQ(*cell.Value().As<std::int32_t>(), r * kCols + c);
            ASSERT_EQ(cells.IndexOf(cell), r * kCols + c);
        }
    }
    EXPECT_EQ(cells.Count(), kRows * kCols);
}

TEST(ItemIndex, KeepsAddingOrderThroughGrowth) {
    for (bool growing : {true, false}) {
        SCOPED_TRACE(growing ? "growing" : "fixed");
        TItemIndex index(7, growing);
        // Addresses that all share one bucket of 7, plus a duplicate key added later.
        std::vector<std::string> keys;
        for (int i = 0; i < 40; ++i) {
            const int linear = i * 7;
            const int row = linear >> 8, col = linear & 0xFF;
            keys.push_back(std::string{char(row & 0xFF), char(row >> 8), char(col), 0});
        }
        for (std::size_t i = 0; i < keys.size(); ++i) index.Add(keys[i]);
        index.Add(keys[3]);
        for (std::size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(index.Search(keys[i]), static_cast<int>(i));
        EXPECT_EQ(index.Search(std::string("\x01\x00\x00\x00", 4)), -1);
        EXPECT_EQ(index.Search("ab"), -1);  // another length is another key
        EXPECT_THROW(index.Add("ab"), EModelLimitError);
        EXPECT_EQ(index.BucketCount() > 7, growing);
    }
}

TEST(ItemIndex, ReserveKeepsOrderFirstMatchAndTheGrownBucketCount) {
    std::vector<std::string> keys;
    for (int i = 0; i < 40; ++i) {
        const int linear = i * 7;
        keys.push_back(std::string{char((linear >> 8) & 0xFF), 0, char(linear & 0xFF), 0});
    }
    // Reserving before the first key, midway with a duplicate already in, or not at all
    // (a fixed index ignores it) must answer alike.
    struct Case {
        const char* name;
        bool growing;
        int reserveAfter;
    };
    for (const Case& c :
         {Case{"before", true, 0}, Case{"midway", true, 21}, Case{"fixed", false, 0}}) {
        SCOPED_TRACE(c.name);
        TItemIndex grown(7), index(7, c.growing);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (static_cast<int>(i) == c.reserveAfter) index.Reserve(keys.size() + 1);
            if (i == 20) {
                grown.Add(keys[3]);
                index.Add(keys[3]);
            }
            grown.Add(keys[i]);
            index.Add(keys[i]);
            if (static_cast<int>(i) >= c.reserveAfter && c.growing) {
                EXPECT_EQ(index.BucketCount(), 63u);  // 7, 15, 31, 63: where growth ends for 41
            }
        }
        index.Reserve(3);  // smaller than the count: no effect
        ASSERT_EQ(index.Count(), grown.Count());
        if (c.growing) {
            EXPECT_EQ(index.BucketCount(), grown.BucketCount());
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const int expected = i < 20 ? static_cast<int>(i) : static_cast<int>(i) + 1;
            EXPECT_EQ(index.Search(keys[i]), i == 3 ? 3 : expected);
            EXPECT_EQ(index.Search(keys[i]), grown.Search(keys[i]));
        }
    }
}

TEST_F(CellsTest, ReserveRegistersNothingAndKeepsOrderAndLookups) {
    cells.Cell(5, 5).SetValue(1);
    cells.Reserve(100000);
    EXPECT_EQ(cells.Count(), 1);
    EXPECT_FALSE(cells.Cell(0, 0).Registered());  // a lookup still makes only a pending cell
    EXPECT_EQ(cells.Count(), 1);
    for (int r = 0; r < 300; ++r)
        for (int c = 0; c < 100; ++c)
            if (r != 5 || c != 5) cells.Cell(r, c).SetValue(r * 100 + c);
    ASSERT_EQ(cells.Count(), 300 * 100);
    EXPECT_EQ(cells.Items(0).Row(), 5);
    EXPECT_EQ(cells.Items(1).Row(), 0);
    EXPECT_EQ(cells.Items(1).Col(), 0);
    EXPECT_EQ(cells.IndexOf(cells.Cell(5, 5)), 0);
    EXPECT_EQ(cells.IndexOf(cells.Cell(299, 99)), cells.Count() - 1);
    EXPECT_EQ(*cells.Find(120, 7)->Value().As<std::int32_t>(), 120 * 100 + 7);
}

struct RegistrationCase {
    const char* name;
    std::function<void(TCell&)> op;
    bool registers;
};

TEST_F(CellsTest, OperationsRegisterAPendingCellOnlyWhenTheyStoreSomething) {
    const RegistrationCase cases[] = {
        {"fill colour neutral", [](TCell& c) { c.SetFillColor(58); }, false},
        {"fill colour", [](TCell& c) { c.SetFillColor(3); }, true},
        {"fill colour RGB red", [](TCell& c) { c.SetFillColorRGB(RGBColor(255, 0, 0)); }, true},
        {"pattern colour neutral", [](TCell& c) { c.SetPatternColor(57); }, false},
        {"pattern colour", [](TCell& c) { c.SetPatternColor(10); }, true},
        {"fill pattern none", [](TCell& c) { c.SetFillPattern(0); }, false},
        {"fill pattern solid", [](TCell& c) { c.SetFillPattern(1); }, true},
        {"horizontal align general", [](TCell& c) { c.SetHorizAlign(0); }, false},
        {"horizontal align centre", [](TCell& c) { c.SetHorizAlign(2); }, true},
        // The default vertical alignment is 2: 0 changes it but is neutral, 2 changes nothing.
        {"vertical align to 0", [](TCell& c) { c.SetVertAlign(0); }, false},
        {"vertical align unchanged", [](TCell& c) { c.SetVertAlign(2); }, false},
        {"vertical align top", [](TCell& c) { c.SetVertAlign(1); }, true},
        {"merged off", [](TCell& c) { c.SetMerged(false); }, false},
        {"merged on", [](TCell& c) { c.SetMerged(true); }, true},
        {"wrap off", [](TCell& c) { c.SetWrapText(false); }, false},
        {"wrap on", [](TCell& c) { c.SetWrapText(true); }, true},
        {"rotation 0", [](TCell& c) { c.SetRotation(0); }, false},
        {"rotation 90", [](TCell& c) { c.SetRotation(90); }, true},
        {"indent 0", [](TCell& c) { c.SetIndent(0); }, false},
        {"indent 3", [](TCell& c) { c.SetIndent(3); }, true},
        {"border colour unchanged", [](TCell& c) { c.SetBorderColor(kSideLeft, 58); }, true},
        {"border style unchanged", [](TCell& c) { c.SetBorderStyle(kSideAll, 0); }, true},
        {"border style bad side", [](TCell& c) { c.SetBorderStyle(5, 1); }, false},
        {"number format 0", [](TCell& c) { c.SetNumberFormat(0); }, false},
        {"number format 2", [](TCell& c) { c.SetNumberFormat(2); }, true},
        {"bold off", [](TCell& c) { c.SetFontBold(false); }, false},
        {"bold on", [](TCell& c) { c.SetFontBold(true); }, true},
        {"italic on", [](TCell& c) { c.SetFontItalic(true); }, true},
        {"strike-out on", [](TCell& c) { c.SetFontStrikeOut(true); }, true},
        {"underline style", [](TCell& c) { c.SetFontUnderlineStyle(2); }, true},
        {"script", [](TCell& c) { c.SetFontScript(1); }, true},
        {"font name unchanged", [](TCell& c) { c.SetFontName(u"Arial"); }, false},
        {"font name", [](TCell& c) { c.SetFontName(u"Tahoma"); }, true},
        {"font colour unchanged", [](TCell& c) { c.SetFontColor(57); }, false},
        {"font colour RGB always", [](TCell& c) { c.SetFontColorRGB(RGBColor(0, 0, 0)); }, true},
        {"font height unchanged", [](TCell& c) { c.SetFontHeight(10); }, false},
        {"font height", [](TCell& c) { c.SetFontHeight(12); }, true},
        {"XF index unchanged", [](TCell& c) { c.SetXFIndex(0); }, false},
        {"XF index", [](TCell& c) { c.SetXFIndex(1); }, true},
        {"formula empty", [](TCell& c) { c.SetFormula(""); }, false},
        {"formula", [](TCell& c) { c.SetFormula("SUM(A1:A2)"); }, true},
        {"hyperlink empty", [](TCell& c) { c.SetHyperlink(u""); }, false},
        {"hyperlink", [](TCell& c) { c.SetHyperlink(u"http://a.b"); }, true},
    };
    int row = 0;
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const int before = cells.Count();
        TCell& c = cells.Cell(row++, 0);
        tc.op(c);
        EXPECT_EQ(c.Registered(), tc.registers);
        EXPECT_EQ(cells.Count(), before + (tc.registers ? 1 : 0));
        EXPECT_EQ(cells.Pending() == &c, !tc.registers);
    }
}

TEST_F(CellsTest, StyleValuesAreStoredAsTheGettersReadThem) {
    TCell& c = cells.Cell(0, 0);
    c.SetIndent(40);
    EXPECT_EQ(c.Indent(), 15);
    c.SetBorderStyle(kSideAll, 2);
    c.SetBorderColor(kSideTop, 3);
    for (std::uint8_t side = 0; side < 4; ++side) EXPECT_EQ(c.BorderStyle(side), 2);
    EXPECT_EQ(c.BorderColor(kSideTop), 3);
    EXPECT_EQ(c.BorderColor(kSideLeft), 58);
    EXPECT_EQ(c.BorderColor(kSideAll), 58);
    EXPECT_EQ(c.BorderStyle(kSideAll), 0);
    c.SetFillColorRGB(RGBColor(255, 0, 0));
    EXPECT_EQ(c.FillColor(), 3);
    c.SetFontName(u"Tahoma");
    c.SetFontHeight(14);
    EXPECT_EQ(c.FontName(), u"Tahoma");
    EXPECT_EQ(c.FontHeight(), 14);
    EXPECT_FALSE(c.FontBold());
}

TEST_F(CellsTest, EqualFormattingSharesOneEntryAndChangesAreCopyOnWrite) {
    TCell& a = cells.Cell(0, 0);
    a.SetFillPattern(1);
    TCell& b = cells.Cell(0, 1);
    b.SetFillPattern(1);
    EXPECT_EQ(wb.XFs().Count(), 2);
    EXPECT_EQ(a.XFIndex(), 1);
    EXPECT_EQ(b.XFIndex(), 1);
    a.SetFillPattern(0);
    EXPECT_EQ(a.XFIndex(), 0);
    EXPECT_EQ(b.XFIndex(), 1);
    EXPECT_EQ(b.FillPattern(), 1);
    // Fonts go the same way, one level down.
    a.SetFontBold(true);
    b.SetFontBold(true);
    EXPECT_EQ(a.FontIndex(), b.FontIndex());
    EXPECT_EQ(wb.Fonts().Count(), 2);
    a.SetFontBold(false);
    EXPECT_EQ(a.FontIndex(), 0);
    EXPECT_TRUE(b.FontBold());
}

struct ValueCase {
    const char* name;
    TCellValue value;
    TVarType kind;
};

TEST_F(CellsTest, SetValueStoresEveryKindAndRegisters) {
    const ValueCase cases[] = {
        {"smallint", TCellValue(std::int16_t{-7}), TVarType::Smallint},
        {"integer", TCellValue(123456), TVarType::Integer},
        {"single", TCellValue(1.5f), TVarType::Single},
        {"double", TCellValue(2.5), TVarType::Double},
        {"currency", TCellValue(TCurrency{12345}), TVarType::Currency},
        {"date", TCellValue(TDateTime{45000.5}), TVarType::Date},
        {"utf-16", TCellValue(u"\u017dluťoučký"), TVarType::OleStr},
        {"boolean", TCellValue(true), TVarType::Boolean},
        {"byte", TCellValue(std::uint8_t{200}), TVarType::Byte},
        {"8-bit", TCellValue::String8("abc\xFF"), TVarType::String},
    };
    int col = 0;
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        TCell& c = cells.Cell(0, col++);
        c.SetValue(tc.value);
        EXPECT_TRUE(c.Registered());
        EXPECT_EQ(c.Value().Kind(), tc.kind);
        EXPECT_EQ(static_cast<int>(c.Value().Kind()), static_cast<int>(tc.kind));
        EXPECT_EQ(c.Value(), tc.value);
    }
    EXPECT_EQ(cells.Count(), static_cast<int>(std::size(cases)));
}

TEST_F(CellsTest, RefusedValuesLeaveTheCellAsItWas) {
    TCell& pending = cells.Cell(2, 2);
    ExpectXLSError([&] { pending.SetValue(TCellValue()); }, 3, "Invalid cell value or type");
    EXPECT_FALSE(pending.Registered());
    EXPECT_EQ(cells.Pending(), &pending);

    TCell& c = cells.Cell(3, 3);
    c.SetValue(1.0);
    const TCellValue tooLong[] = {TCellValue(std::u16string(65536, u'x')),
                                  TCellValue::String8(std::string(65536, 'x'))};
    for (const auto& v : tooLong) {
        ExpectXLSError([&] { c.SetValue(v); }, 3, "Invalid cell value or type");
        EXPECT_EQ(c.Value(), TCellValue(1.0));
    }
    EXPECT_NO_THROW(c.SetValue(TCellValue(std::u16string(65535, u'x'))));
    EXPECT_NO_THROW(c.SetValue(TCellValue::String8(std::string(65535, 'x'))));
}

TEST_F(CellsTest, DateGetsTheDateFormatOnlyWhereThereIsNone) {
    struct Case {
        const char* name;
        std::function<void(TCell&)> prepare;
        std::uint16_t expectedFormat;
    };
    const Case cases[] = {
        {"general cell", [](TCell&) {}, kDefaultDateFormat},
        {"number format kept", [](TCell& c) { c.SetNumberFormat(2); }, 2},
        {"time format kept", [](TCell& c) { c.SetNumberFormat(19); }, 19},
        // A cell that already holds a date was formatted on purpose.
        {"already a date",
         [](TCell& c) {
             c.SetValue(TDateTime{1});
             c.SetNumberFormat(0);
         },
         0},
    };
    int row = 0;
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        TCell& c = cells.Cell(row++, 0);
        tc.prepare(c);
        c.SetValue(TDateTime{45000});
        EXPECT_EQ(c.NumberFormat(), tc.expectedFormat);
    }
    // A number into a general cell keeps the general format.
    TCell& n = cells.Cell(10, 0);
    n.SetValue(45000.0);
    EXPECT_EQ(n.NumberFormat(), 0);
}

TEST_F(CellsTest, AttributesKeepFormulaAndHyperlinkApart) {
    TCell& c = cells.Cell(0, 0);
    // Bytes that used to frame entries, in both attributes.
    const std::string formula = std::string(
        "\xFF"
        "F\xFF"
        "1\xFF\xFE",
        7);
    const std::u16string link = u"\u00FF\uFF00\u00FEx\uFFFF";
    c.SetFormula(formula);
    c.SetHyperlink(link);
    EXPECT_EQ(c.Formula(), formula);
    EXPECT_EQ(c.Hyperlink(), link);
    c.SetFormula("A1+1");
    EXPECT_EQ(c.Formula(), "A1+1");
    EXPECT_EQ(c.Hyperlink(), link);
    c.SetFormula("");
    EXPECT_EQ(c.Formula(), "");
    EXPECT_EQ(c.Attribute("F"), "");
    EXPECT_EQ(c.Hyperlink(), link);
    c.SetAttribute("H", "");
    EXPECT_EQ(c.Hyperlink(), u"");
}

TEST_F(CellsTest, AttributesSurviveRewritesRemovalsAndGrowthOfTheirNeighbours) {
    // Keys that are prefixes of one another, values that grow past any first allocation,
    // shrink, vanish and come back, with zero bytes inside; checked after every step.
    const std::string keys[] = {"F", "FF", "", "H", std::string("\0F", 2)};
    std::map<std::string, std::string> expected;
    TCell& c = cells.Cell(4, 4);
    std::uint32_t state = 12345;
    for (int step = 0; step < 3000; ++step) {
        state = state * 1103515245u + 12345u;
        const std::string& key = keys[(state >> 8) % std::size(keys)];
        const std::size_t length =
            (state >> 16) % 7 == 0 ? 0 : (state >> 12) % ((state >> 20) % 3 == 0 ? 700 : 20);
        std::string value(length, static_cast<char>('a' + step % 26));
        if (length > 2) value[1] = '\0';
        c.SetAttribute(key, value);
        if (value.empty())
            expected.erase(key);
        else
            expected[key] = value;
        for (const std::string& k : keys) {
            const auto it = expected.find(k);
            ASSERT_EQ(c.Attribute(k), it == expected.end() ? "" : it->second) << "step " << step;
        }
    }
    // A value handed back in is stored as it was.
    c.SetFormula("A1*2");
    c.SetAttribute("G", c.Attribute("F"));
    c.SetFormula(c.Formula() + "+3");
    EXPECT_EQ(c.Attribute("G"), "A1*2");
    EXPECT_EQ(c.Formula(), "A1*2+3");
}

TEST_F(CellsTest, NewCellsFollowTheirRowAsItIsRegisteredAndChangedBetweenThem) {
    cells.Cell(3, 0).SetValue(1.0);  // row 3 not registered yet
    EXPECT_EQ(cells.Cell(3, 1).FillColor(), 58);
    sheet.Rows().Row(3).SetFillColor(3);  // registers the row
    EXPECT_EQ(cells.Cell(3, 2).FillColor(), 3);
    sheet.Rows().Row(3).SetFillColor(5);  // the same row, changed again
    EXPECT_EQ(cells.Cell(3, 3).FillColor(), 5);
    EXPECT_EQ(cells.Cell(4, 3).FillColor(), 58);
    EXPECT_EQ(cells.Cell(3, 4).FillColor(), 5);
}

TEST_F(CellsTest, HyperlinkBecomesTheValueOnlyOfAnEmptyCell) {
    TCell& empty = cells.Cell(0, 0);
    empty.SetHyperlink(u"http://x.cz");
    EXPECT_EQ(*empty.Value().As<std::u16string>(), u"http://x.cz");
    EXPECT_EQ(empty.FontColor(), 5);
    EXPECT_TRUE(empty.FontUnderline());

    TCell& filled = cells.Cell(0, 1);
    filled.SetValue(3.0);
    filled.SetHyperlink(u"http://y.cz");
    EXPECT_EQ(filled.Value(), TCellValue(3.0));
    EXPECT_EQ(filled.Hyperlink(), u"http://y.cz");
}

struct DisplayCase {
    const char* name;
    TCellValue value;
    int formatPosition;  // -1: leave the format the value gives
    const char* text;
};

TEST_F(CellsTest, DisplayTextFollowsTheNumberFormat) {
    const int custom = wb.FormatStrings().SetFormat(164, "0.000");
    const DisplayCase cases[] = {
        {"true", TCellValue(true), -1, "TRUE"},
        {"false", TCellValue(false), -1, "FALSE"},
        {"double general", TCellValue(1234.5), -1, "1234.5"},
        {"percent", TCellValue(0.125), 9, "12.50%"},
        {"whole percent", TCellValue(0.5), 8, "50%"},
        {"integer ignores the pattern", TCellValue(7), 2, "7"},
        {"integer percent", TCellValue(7), 8, "700%"},
        {"smallint", TCellValue(std::int16_t{-12}), 3, "-12"},
        {"byte", TCellValue(std::uint8_t{255}), -1, "255"},
        {"single", TCellValue(1.5f), 2, "1.50"},
        {"currency", TCellValue(TCurrency{12345}), 2, "1.23"},
        {"thousands", TCellValue(1234567.891), 26, "1,234,567.89"},
        {"red negative section dropped", TCellValue(-5.0), 30, "-5.00"},
        {"file's own format", TCellValue(3.14159), custom, "3.142"},
        {"date", TCellValue(TDateTime{45000}), -1, "03/15/23"},
        {"date and time", TCellValue(TDateTime{45000.75}), 21, "03/15/23 18:00"},
        {"format outside the table", TCellValue(2.5), 500, "2.5"},
        {"utf-16", TCellValue(u"\u017dlut\u00e9"), 2, "\u017dlut\u00e9"},
        {"8-bit", TCellValue::String8("caf\xE9"), -1, "caf\u00e9"},
    };
    int row = 0;
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        TCell& c = cells.Cell(row++, 0);
        c.SetValue(tc.value);
        if (tc.formatPosition >= 0)
            c.SetNumberFormat(static_cast<std::uint16_t>(tc.formatPosition));
        EXPECT_EQ(c.DisplayText(), tc.text);
    }
}

TEST(Cells, DisplayTextUsesTheSeparatorsOfItsWorkbook) {
    TReaderSettings settings;
    settings.Format.DecimalSeparator = ",";
    settings.Format.ThousandSeparator = ".";
    settings.Format.DateSeparator = ".";
    TWorkbook wb(1, settings);
    TWorkbook plain;
    TCells& cells = wb.Sheets().Items(0).Cells();
    TCell& percent = cells.Cell(0, 0);
    percent.SetValue(0.125);
    percent.SetNumberFormat(9);
    TCell& grouped = cells.Cell(0, 1);
    grouped.SetValue(1234.5);
    grouped.SetNumberFormat(26);
    TCell& date = cells.Cell(0, 2);
    date.SetValue(TDateTime{45000});
    EXPECT_EQ(percent.DisplayText(), "12,50%");
    EXPECT_EQ(grouped.DisplayText(), "1.234,50");
    EXPECT_EQ(date.DisplayText(), "03.15.23");
    TCell& same = plain.Sheets().Items(0).Cells().Cell(0, 0);
    same.SetValue(1234.5);
    same.SetNumberFormat(26);
    EXPECT_EQ(same.DisplayText(), "1,234.50");
}

// ---------------------------------------------------------------------------------------------

class SheetsTest : public ::testing::Test {
  protected:
    TWorkbook wb;
    TSheets& sheets = wb.Sheets();
};

TEST_F(SheetsTest, WorkbookStartsWithNumberedSheets) {
    TWorkbook three(3);
    ASSERT_EQ(three.Sheets().Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(three.Sheets().Items(i).Index(), i);
        EXPECT_EQ(three.Sheets().Items(i).NameUtf8(), "Sheet" + std::to_string(i + 1));
    }
    ExpectRangeError([&] { three.Sheets().Items(3); }, "List index (3) out of bounds !");
    ExpectRangeError([&] { three.Sheets().Items(-1); }, "List index (-1) out of bounds !");
}

TEST_F(SheetsTest, AddValidatesTheName) {
    struct Case {
        const char* name;
        std::u16string sheetName;
        std::uint8_t code;
    };
    const Case cases[] = {
        {"empty", u"", 7},
        {"256 units", std::u16string(256, u'a'), 7},
        {"255 units", std::u16string(255, u'a'), 0},
        {"blanks", u"   ", 6},
        {"control characters", u"\t\r\n ", 6},
        {"existing", u"Sheet1", 6},
        {"leading blank", u" Sheet1", 0},
        {"other case", u"sheet1", 0},
        {"non-ASCII", u"Měření", 0},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const int before = sheets.Count();
        EXPECT_EQ(sheets.ValidateName(tc.sheetName), tc.code);
        if (tc.code == 0) {
            TSheet& s = sheets.Add(tc.sheetName);
            EXPECT_EQ(s.Name(), tc.sheetName);
            EXPECT_EQ(s.Index(), before);
            EXPECT_EQ(sheets.FindByName(tc.sheetName), &s);
        } else {
            const std::string message = tc.code == 7 ? "Sheet name must have a length 1..255"
                                                     : "Invalid or duplicated sheet name";
            ExpectXLSError([&] { sheets.Add(tc.sheetName); }, tc.code, message);
            EXPECT_EQ(sheets.Count(), before);
        }
    }
}

TEST_F(SheetsTest, RenameChecksFirstSoTheOwnNameFails) {
    TSheet& first = sheets.Items(0);
    sheets.Add(u"Data");
    ExpectXLSError([&] { first.SetName(u"Sheet1"); }, 6, "Invalid or duplicated sheet name");
    ExpectXLSError([&] { first.SetName(u"Data"); }, 6, "Invalid or duplicated sheet name");
    ExpectXLSError([&] { first.SetName(u""); }, 7, "Sheet name must have a length 1..255");
    EXPECT_EQ(first.Name(), u"Sheet1");
    first.SetName(u"Výsledky");
    EXPECT_EQ(first.NameUtf8(), "Výsledky");
    EXPECT_EQ(sheets.FindByName(u"Sheet1"), nullptr);
}

TEST_F(SheetsTest, ClearDropsSheetsAndResetsFormatsAndFonts) {
    sheets.Items(0).Cells().Cell(0, 0).SetFontBold(true);
    wb.FormatStrings().SetFormat(164, "0.000");
    ASSERT_EQ(wb.Fonts().Count(), 2);
    const int xfCount = wb.XFs().Count();
    wb.Clear();
    EXPECT_EQ(sheets.Count(), 0);
    EXPECT_EQ(wb.FormatStrings().Count(), kBuiltinFormatCount);
    EXPECT_EQ(wb.Fonts().Count(), 1);
    EXPECT_EQ(wb.XFs().Count(), xfCount);
    // Items made afterwards work on the new tables.
    TCell& c = sheets.Add(u"A").Cells().Cell(0, 0);
    c.SetFontItalic(true);
    EXPECT_TRUE(c.FontItalic());
    EXPECT_EQ(wb.Fonts().Count(), 2);
    EXPECT_EQ(sheets.Items(0).Index(), 0);
}

// ---------------------------------------------------------------------------------------------

TEST(StyleInheritance, NewCellTakesItsRowAndColumnFormat) {
    TWorkbook wb;
    TSheet& s = wb.Sheets().Items(0);
    TRow& row = s.Rows().Row(2);
    row.SetFontBold(true);
    row.SetFillColor(3);
    TColumn& col = s.Columns().Column(1);
    col.SetFontItalic(true);
    col.SetFillColor(4);
    col.SetFillPattern(1);
    col.SetFontName(u"Tahoma");
    ASSERT_TRUE(row.Registered());
    ASSERT_TRUE(col.Registered());

    // Row only: the row's entry as it is.
    TCell& rowOnly = s.Cells().Cell(2, 7);
    EXPECT_EQ(rowOnly.XFIndex(), row.XFIndex());
    EXPECT_FALSE(rowOnly.Registered());
    // Column only.
    TCell& colOnly = s.Cells().Cell(9, 1);
    EXPECT_EQ(colOnly.XFIndex(), col.XFIndex());
    // Both: the row wins unless its value is the neutral one; flags combine.
    TCell& both = s.Cells().Cell(2, 1);
    EXPECT_FALSE(both.Registered());
    EXPECT_EQ(s.Cells().Count(), 0);
    EXPECT_TRUE(both.FontBold());
    EXPECT_TRUE(both.FontItalic());
    EXPECT_EQ(both.FillColor(), 3);
    EXPECT_EQ(both.FillPattern(), 1);
    EXPECT_EQ(both.FontName(), u"Tahoma");
    EXPECT_EQ(both.VertAlign(), 2);
    // Neither.
    EXPECT_EQ(s.Cells().Cell(5, 5).XFIndex(), 0);
}

TEST(StyleInheritance, PendingRowsDoNotCount) {
    TWorkbook wb;
    TSheet& s = wb.Sheets().Items(0);
    TRow& row = s.Rows().Row(4);
    row.SetVertAlign(0);  // changes the format, but to the neutral value: stays pending
    ASSERT_FALSE(row.Registered());
    ASSERT_NE(row.XFIndex(), 0);
    EXPECT_EQ(s.Cells().Cell(4, 0).XFIndex(), 0);
    EXPECT_EQ(s.Rows().Count(), 0);
}

}  // namespace
}  // namespace morvik::xls
