// Display text under number formats as files write them, and cells whose format entries point
// at fonts the font table does not hold.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "xls/XLSFormatStr.h"
#include "xls/XLSWorkbook.h"

namespace morvik::xls {
namespace {

TEST(CleanFormat, GeneralStaysWhereItMarksTheNumber) {
    struct Case {
        std::string_view pattern;
        std::string_view clean;
    };
    const Case cases[] = {
        {"General", ""},
        {"_(General_)", ""},
        {"General;[Red]-General", ""},
        {"[Red]General", "[Red]General"},
        {"[$-405]General", "[$-405]General"},
        {R"(General" kg")", R"(General" kg")"},
        {R"("Total: "GENERAL)", R"("Total: "GENERAL)"},
        {R"(0.00" general")", R"(0.00" general")"},
        {R"(0.0\%)", R"(0.0"%")"},
        {R"(0\%\%)", R"(0"%""%")"},
        {R"("a\%"0)", R"("a%"0)"},
        {R"(0\\%)", R"(0%)"},
        {"0.0%", "0.0%"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanFormat(c.pattern), c.clean) << c.pattern;
}

TEST(DisplayText, FileFormatsKeepTheNumber) {
    struct Case {
        std::string pattern;
        double value;
        std::string text;
    };
    const Case cases[] = {
        {"[Red]General", 5.25, "5.25"},
        {"[$-405]General", -2.5, "-2.5"},
        {R"(General" kg")", 5.25, "5.25 kg"},
        {R"("Total: "General)", 3, "Total: 3"},
        {R"(0.0\%)", 5.25, "5.3%"},
        {"0.0%", 0.0525, "5.3%"},
        {"General", 0.5, "0.5"},
    };
    TWorkbook wb;
    TCells& cells = wb.Sheets().Items(0).Cells();
    std::uint16_t code = 164;
    for (const Case& c : cases) {
        const int position = wb.FormatStrings().SetFormat(code++, c.pattern);
        TCell& cell = cells.Cell(0, 0);
        cell.SetValue(c.value);
        cell.SetNumberFormat(static_cast<std::uint16_t>(position));
        EXPECT_EQ(cell.DisplayText(), c.text) << c.pattern;
    }
}

// XF entries as a file's records give them: 1 solid fill on font 0, 2 wrapped on font 50 (beyond
// the font table), 3 italic font 1 (valid) with indent 2.
class DanglingFontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TVirtualFontTable& fonts = wb.Fonts();
        fonts.BeginLoad();
        fonts.AppendScratch();
        fonts.Scratch().Italic = 1;
        fonts.AppendScratch();
        TVirtualXFTable& xfs = wb.XFs();
        xfs.BeginLoad();
        xfs.AppendScratch();
        xfs.Scratch().FillPattern = 1;
        xfs.AppendScratch();
        TXFEntry& wrapped = xfs.Scratch();
        wrapped.FontIndex = 50;
        wrapped.WrapText = 1;
        xfs.AppendScratch();
        TXFEntry& italic = xfs.Scratch();
        italic.FontIndex = 1;
        italic.Indent = 2;
        xfs.AppendScratch();
    }
    TWorkbook wb;
    TSheet& sheet = wb.Sheets().Items(0);
};

TEST_F(DanglingFontTest, ReadsAsTheDefaultFontInInheritanceGettersAndChanges) {
    struct Case {
        int rowXF, colXF;
        bool fill, wrap, italic;
    };
    const Case cases[] = {
        {1, 2, true, true, false},   // row fill, column's font dangling
        {2, 1, true, true, false},   // row's font dangling
        {2, 3, false, true, true},   // dangling row font defers to the column's italic
        {2, 2, false, true, false},  // both dangling
    };
    int row = 0;
    for (const Case& c : cases) {
        sheet.Rows().Row(row).SetXFIndex(c.rowXF);
        sheet.Columns().Column(row).SetXFIndex(c.colXF);
        TCell* cell = nullptr;
        ASSERT_NO_THROW(cell = &sheet.Cells().Cell(row, row)) << c.rowXF << "/" << c.colXF;
        EXPECT_EQ(cell->FillPattern() == 1, c.fill);
        EXPECT_EQ(cell->WrapText(), c.wrap);
        EXPECT_EQ(cell->FontItalic(), c.italic);
        EXPECT_EQ(cell->FontName(), u"Arial");
        EXPECT_FALSE(cell->Registered());
        ++row;
    }
    // A cell left on the dangling entry reads the default font and can still be given a font.
    TCell& plain = sheet.Cells().Cell(100, 100);
    plain.SetXFIndex(2);
    EXPECT_EQ(plain.FontHeight(), 10);
    EXPECT_FALSE(plain.FontBold());
    plain.SetFontBold(true);
    EXPECT_TRUE(plain.FontBold());
    EXPECT_TRUE(plain.WrapText());
    EXPECT_LT(plain.FontIndex(), wb.Fonts().Count());
}

TEST_F(DanglingFontTest, FormatsKeptFromThePreviousFileAfterClear) {
    // Clear resets the fonts to the one default entry but keeps the cell formats.
    wb.Clear();
    TSheet& next = wb.Sheets().Add(u"Next");
    next.Rows().Row(0).SetXFIndex(3);  // font 1 is gone now
    next.Columns().Column(0).SetXFIndex(1);
    TCell& cell = next.Cells().Cell(0, 0);
    EXPECT_EQ(cell.FillPattern(), 1);
    EXPECT_EQ(cell.Indent(), 2);
    EXPECT_FALSE(cell.FontItalic());
}

}  // namespace
}  // namespace morvik::xls
