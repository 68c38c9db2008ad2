// Rows, columns, ranges, rectangles and column letters.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "xls/XLSError.h"
#include "xls/XLSRects.h"
#include "xls/XLSWorkbook.h"

namespace morvik::xls {
namespace {

class RowColTest : public ::testing::Test {
  protected:
    TWorkbook wb;
    TSheet& sheet = wb.Sheets().Items(0);
};

TEST_F(RowColTest, NewRowsAndColumnsHaveTheDefaultSizesAt96Ppi) {
    ASSERT_EQ(wb.Metrics().PixelsPerInch, 96);
    TRow& row = sheet.Rows().Row(0);
    EXPECT_EQ(row.SizePixels(), 17);
    EXPECT_DOUBLE_EQ(row.Size(), 12.75);
    TColumn& col = sheet.Columns().Column(0);
    EXPECT_EQ(col.SizePixels(), 64);
    EXPECT_DOUBLE_EQ(col.Size(), 59.0 / 7.0);
    EXPECT_FALSE(row.Modified());
    EXPECT_FALSE(col.CustomSize());
    EXPECT_EQ(row.OutlineLevel(), 0);
}

struct ResizeCase {
    const char* name;
    std::function<TCustomRowCol&(TSheet&)> resize;
    double size;
    int pixels;
    bool registers;
};

TEST_F(RowColTest, ResizingConvertsBetweenUnitsAndRegisters) {
    const ResizeCase cases[] = {
        {"row 15 pt",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(1);
             r.SetHeightPoints(15);
             return r;
         },
         15, 20, true},
        // 2.5 and 3.5 pixels: halves go to the even neighbour.
        {"row 1.875 pt",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(2);
             r.SetHeightPoints(1.875);
             return r;
         },
         1.875, 2, true},
        {"row 2.625 pt",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(3);
             r.SetHeightPoints(2.625);
             return r;
         },
         2.625, 4, true},
        {"row hidden",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(4);
             r.SetHeightPixels(0);
             return r;
         },
         0, 0, true},
        {"row default again",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(5);
             r.SetHeightPoints(12.75);
             return r;
         },
         12.75, 17, false},
        {"row same pixels",
         [](TSheet& s) -> TCustomRowCol& {
             auto& r = s.Rows().Row(6);
             r.SetHeightPixels(17);
             return r;
         },
         12.75, 17, false},
        {"column from file 2340",
         [](TSheet& s) -> TCustomRowCol& {
             auto& c = s.Columns().Column(1);
             c.SetWidthChars(ColumnWidthFromFile(2340, s.Workbook().Metrics()));
             return c;
         },
         ColumnWidthFromFile(2340, ScreenMetricsFor(96)), 64, true},
        {"column 100 px",
         [](TSheet& s) -> TCustomRowCol& {
             auto& c = s.Columns().Column(2);
             c.SetWidthPixels(100);
             return c;
         },
         95.0 / 7.0, 100, true},
        {"column hidden",
         [](TSheet& s) -> TCustomRowCol& {
             auto& c = s.Columns().Column(3);
             c.SetWidthPixels(0);
             return c;
         },
         -5.0 / 7.0, 0, true},
        {"column 10 chars",
         [](TSheet& s) -> TCustomRowCol& {
             auto& c = s.Columns().Column(4);
             c.SetWidthChars(10);
             return c;
         },
         10, 75, true},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        TCustomRowCol& item = tc.resize(sheet);
        EXPECT_DOUBLE_EQ(item.Size(), tc.size);
        EXPECT_EQ(item.SizePixels(), tc.pixels);
        EXPECT_EQ(item.Registered(), tc.registers);
        EXPECT_EQ(item.Modified(), tc.registers);
        EXPECT_EQ(item.CustomSize(), tc.registers);
    }
}

TEST_F(RowColTest, ClearCustomHeightTouchesOnlyTheFlag) {
    TRow& row = sheet.Rows().Row(7);
    row.SetHeightPoints(30);
    row.ClearCustomHeight();
    EXPECT_FALSE(row.CustomSize());
    EXPECT_TRUE(row.Modified());
    EXPECT_EQ(row.SizePixels(), 40);
}

TEST_F(RowColTest, OtherResolutionsUseTheLargerMetricsOfTheirOwnWorkbook) {
    TReaderSettings settings;
    settings.PixelsPerInch = 120;
    TWorkbook other(1, settings);
    TRow& row = other.Sheets().Items(0).Rows().Row(0);
    TColumn& col = other.Sheets().Items(0).Columns().Column(0);
    EXPECT_DOUBLE_EQ(row.Size(), 22 * 0.6);
    EXPECT_EQ(col.SizePixels(), 80);
    row.SetHeightPoints(15);
    EXPECT_EQ(row.SizePixels(), 25);
    col.SetWidthChars(ColumnWidthFromFile(2560, other.Metrics()));
    EXPECT_EQ(col.SizePixels(), 90);
    // The workbook of 96 ppi beside it keeps its own metrics.
    EXPECT_EQ(sheet.Rows().Row(0).SizePixels(), 17);
    EXPECT_EQ(sheet.Columns().Column(0).SizePixels(), 64);
}

TEST_F(RowColTest, GroupingStopsAtLevelSeven) {
    TRow& row = sheet.Rows().Row(0);
    for (int i = 0; i < 8; ++i) row.Group();
    EXPECT_EQ(row.OutlineLevel(), 7);
    EXPECT_TRUE(row.Modified());
    EXPECT_FALSE(row.CustomSize());

    sheet.GroupRows(5, 4);
    EXPECT_EQ(sheet.Rows().Count(), 1);
    sheet.GroupRows(2, 4);
    sheet.GroupRows(3, 3);
    EXPECT_EQ(sheet.Rows().Count(), 4);
    const int expected[] = {0, 0, 1, 2, 1};
    for (int i = 2; i <= 4; ++i) EXPECT_EQ(sheet.Rows().Row(i).OutlineLevel(), expected[i]) << i;

    sheet.GroupColumns(250, 255);
    EXPECT_EQ(sheet.Columns().Count(), 6);
    EXPECT_EQ(sheet.Columns().Column(255).OutlineLevel(), 1);
}

TEST_F(RowColTest, LookupsAreRefusedOutsideSixteenBits) {
    EXPECT_THROW(sheet.Rows().Row(65536), EXLSError);
    EXPECT_THROW(sheet.Columns().Column(-1), EXLSError);
    EXPECT_EQ(sheet.Rows().Find(70000), nullptr);
}

struct ReachCase {
    const char* name;
    std::function<void(TCustomXLSItem&)> op;
    std::function<bool(const TCell&)> has;
};

TEST_F(RowColTest, StyleOfARowOrColumnReachesItsRegisteredCells) {
    const ReachCase cases[] = {
        {"bold", [](TCustomXLSItem& i) { i.SetFontBold(true); },
         [](const TCell& c) { return c.FontBold(); }},
        {"fill", [](TCustomXLSItem& i) { i.SetFillPattern(1); },
         [](const TCell& c) { return c.FillPattern() == 1; }},
        {"border", [](TCustomXLSItem& i) { i.SetBorderStyle(kSideAll, 2); },
         [](const TCell& c) { return c.BorderStyle(kSideBottom) == 2; }},
        {"number format", [](TCustomXLSItem& i) { i.SetNumberFormat(2); },
         [](const TCell& c) { return c.NumberFormat() == 2; }},
        {"font colour RGB", [](TCustomXLSItem& i) { i.SetFontColorRGB(RGBColor(255, 0, 0)); },
         [](const TCell& c) { return c.FontColor() == 3; }},
        {"font name", [](TCustomXLSItem& i) { i.SetFontName(u"Courier New"); },
         [](const TCell& c) { return c.FontName() == u"Courier New"; }},
    };
    for (bool byRow : {true, false}) {
        for (const auto& tc : cases) {
            SCOPED_TRACE(std::string(byRow ? "row " : "column ") + tc.name);
            TWorkbook w;
            TSheet& s = w.Sheets().Items(0);
            // Line 3 is row 3 or column 3; (4, 4) lies on neither.
            auto at = [byRow](int along) {
                return byRow ? std::pair{3, along} : std::pair{along, 3};
            };
            for (int along : {0, 5})
                s.Cells().Cell(at(along).first, at(along).second).SetValue(1.0);
            s.Cells().Cell(4, 4).SetValue(1.0);
            TCustomXLSItem& line = byRow ? static_cast<TCustomXLSItem&>(s.Rows().Row(3))
                                         : static_cast<TCustomXLSItem&>(s.Columns().Column(3));
            tc.op(line);
            EXPECT_TRUE(tc.has(*s.Cells().Find(at(0).first, at(0).second)));
            EXPECT_TRUE(tc.has(*s.Cells().Find(at(5).first, at(5).second)));
            EXPECT_FALSE(tc.has(*s.Cells().Find(4, 4)));
            // A cell first looked up afterwards inherits it and stays pending.
            TCell& later = s.Cells().Cell(at(9).first, at(9).second);
            EXPECT_TRUE(tc.has(later));
            EXPECT_FALSE(later.Registered());
            EXPECT_EQ(s.Cells().Count(), 3);
        }
    }
}

TEST_F(RowColTest, MergedFlagOfARowStaysOnTheRow) {
    sheet.Cells().Cell(3, 0).SetValue(1.0);
    TRow& row = sheet.Rows().Row(3);
    row.SetMerged(true);
    EXPECT_TRUE(row.Merged());
    EXPECT_FALSE(sheet.Cells().Cell(3, 0).Merged());
}

TEST_F(RowColTest, MergeRegistersEveryCellOfItsAreas) {
    TRange& range = sheet.Ranges().Add();
    range.AddRect(0, 1, 0, 1);
    range.AddRect(5, 4, 0, 0);  // upside down: no cells
    range.AddRect(7, 7, 2, 1);
    range.Merge();
    EXPECT_TRUE(range.Merged());
    ASSERT_EQ(sheet.Cells().Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(sheet.Cells().Items(i).Merged());
        EXPECT_LE(sheet.Cells().Items(i).Row(), 1);
        EXPECT_LE(sheet.Cells().Items(i).Col(), 1);
    }
    EXPECT_EQ(&sheet.Ranges().Items(0), &range);
}

TEST_F(RowColTest, RangeNamesWithBlanksAreRefused) {
    TRange& range = sheet.Ranges().Add();
    range.SetName("Data");
    try {
        range.SetName("my range");
        ADD_FAILURE() << "no error";
    } catch (const EXLSError& e) {
        EXPECT_EQ(e.Code(), 11);
        EXPECT_STREQ(e.what(), "Invalid range name: my range");
    }
    EXPECT_EQ(range.Name(), "Data");
    EXPECT_THROW(sheet.Ranges().Items(1), EListIndexError);
}

TEST(RangeRects, AddGetAndAssignAppend) {
    TRangeRects a;
    EXPECT_EQ(a.AddRect(1, 2, 3, 4), 0);
    EXPECT_EQ(a.AddRect(65535, 65535, 255, 255), 1);
    EXPECT_EQ(a.Get(1), (TRangeRect{65535, 65535, 255, 255}));
    TRangeRects b;
    b.AddRect(9, 9, 9, 9);
    b.Assign(a);
    ASSERT_EQ(b.Count(), 3);
    EXPECT_EQ(b.Get(0), (TRangeRect{9, 9, 9, 9}));
    EXPECT_EQ(b.Get(2), a.Get(1));
    b.Assign(b);
    EXPECT_EQ(b.Count(), 6);
    try {
        b.Get(6);
        ADD_FAILURE() << "no error";
    } catch (const EListIndexError& e) {
        EXPECT_STREQ(e.what(), "List index (6) out of bounds");
    }
}

TEST(ColumnNames, LettersOfColumnNumbers) {
    const std::pair<int, const char*> cases[] = {
        {0, "A"}, {1, "B"}, {25, "Z"}, {26, "AA"}, {51, "AZ"}, {52, "BA"}, {254, "IU"}, {255, "IV"},
    };
    for (auto [col, name] : cases) EXPECT_EQ(ColumnName(col), name) << col;
}

TEST(PageSetup, StartsWithTheSheetDefaults) {
    TWorkbook wb;
    TSheet& s = wb.Sheets().Items(0);
    const TPageSetup& p = s.PageSetup();
    EXPECT_EQ(&p.Sheet(), &s);
    EXPECT_EQ(p.PrintArea.Count(), 0);
    EXPECT_DOUBLE_EQ(p.LeftMargin, 0.8);
    EXPECT_DOUBLE_EQ(p.RightMargin, 0.8);
    EXPECT_EQ(p.StartPage, -1);
    EXPECT_TRUE(p.UseScale);
    EXPECT_TRUE(p.Portrait);
    EXPECT_EQ(s.Zoom, 100);
    EXPECT_TRUE(s.ShowGridlines);
}

}  // namespace
}  // namespace morvik::xls
