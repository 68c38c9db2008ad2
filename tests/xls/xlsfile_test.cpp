// Whole files written by another program (xlwt, see fixtures/make_fixtures.py).
#include "xls/XLSFile.h"

#include <gtest/gtest.h>

#include <exception>
#include <string>

#include "xls/CFile.h"
#include "xls/XLSError.h"

namespace morvik::xls {
namespace {

const std::string kFixtures = MORVIK_FIXTURE_DIR;

TEST(XLSFileFixtures, SkullLayout) {
    TXLSFile file;
    file.LoadFromFile(kFixtures + "/skull.xls");
    auto& sheets = file.Workbook().Sheets();
    ASSERT_EQ(sheets.Count(), 2);
    EXPECT_EQ(sheets.Items(0).NameUtf8(), "Lebka");
    TCells& cells = sheets.Items(0).Cells();
    EXPECT_EQ(cells.Cell(1, 2).Value(), TCellValue::String8("12.5"));
    EXPECT_EQ(cells.Cell(22, 2).Value(), TCellValue(22.5));
    EXPECT_EQ(cells.Cell(22, 3).Value(), TCellValue(-44.0));  // written as RK
    EXPECT_EQ(cells.Cell(3, 4).Value(), TCellValue(0.375));
    EXPECT_EQ(cells.Cell(30, 7).Value(), TCellValue(130.0));
    EXPECT_EQ(cells.Cell(30, 8).Value(), TCellValue(7.5));
    EXPECT_EQ(cells.Find(31, 7), nullptr);
    EXPECT_EQ(cells.Cell(20, 12).Value(), TCellValue(220.125));
    EXPECT_EQ(cells.Cell(20, 14).Value(), TCellValue(0.001 * 20));
    EXPECT_EQ(sheets.Items(1).Cells().Cell(0, 0).Value(), TCellValue(999.0));
}

TEST(XLSFileFixtures, FeaturesValuesAndLayout) {
    TXLSFile file;
    file.LoadFromFile(kFixtures + "/features.xls");
    auto& sheets = file.Workbook().Sheets();
    ASSERT_EQ(sheets.Count(), 2);
    EXPECT_EQ(sheets.Items(1).NameUtf8(), "Druh\u00fd");
    TSheet& s = sheets.Items(0);
    TCells& cells = s.Cells();
    EXPECT_EQ(cells.Cell(0, 2).Value(), TCellValue(-1234567.890625));
    EXPECT_EQ(cells.Cell(0, 3).Value(), TCellValue(1e-300));
    EXPECT_EQ(cells.Cell(1, 1).DisplayText(), "\u017dlu\u0165ou\u010dk\u00fd k\u016f\u0148");
    EXPECT_EQ(cells.Cell(1, 2).DisplayText(), "\u65e5\u672c");
    EXPECT_EQ(cells.Cell(1, 3).Value(), TCellValue::String8("plain"));
    EXPECT_EQ(cells.Cell(2, 0).Value(), TCellValue(true));
    EXPECT_EQ(cells.Cell(3, 0).Value(), TCellValue(TDateTime{43890}));
    EXPECT_EQ(cells.Cell(3, 0).DisplayText(), "2020-02-29");
    EXPECT_EQ(cells.Cell(3, 1).Value(), TCellValue(TDateTime{61.5}));
    EXPECT_EQ(cells.Cell(4, 0).Formula(), "A1+B1");
    EXPECT_EQ(cells.Cell(4, 1).Formula(), "SUM(A1:B1)*2");
    EXPECT_EQ(sheets.Items(1).Cells().Cell(0, 0).Formula(), "'Hodnoty'!A1*10");
    EXPECT_EQ(sheets.Items(1).Cells().Cell(65535, 255).DisplayText(), "corner");
    // Formatted blank and the merged area.
    ASSERT_NE(cells.Find(5, 0), nullptr);
    EXPECT_TRUE(cells.Find(5, 0)->Value().IsEmpty());
    ASSERT_EQ(s.Ranges().Count(), 1);
    EXPECT_TRUE(s.Ranges().Items(0).Merged());
    EXPECT_EQ(s.Ranges().Items(0).Get(0), (TRangeRect{6, 7, 0, 2}));
    EXPECT_TRUE(cells.Cell(7, 2).Merged());
    // Layout.
    EXPECT_EQ(s.Columns().Find(3)->SizePixels(), 0);
    EXPECT_NEAR(s.Columns().Find(0)->Size(), 20.0, 1.0);
    EXPECT_EQ(s.Rows().Find(8)->Size(), 30.0);
    EXPECT_EQ(s.PageSetup().LeftHeader, "Left");
    EXPECT_EQ(s.PageSetup().CenterHeader, "Mid");
    EXPECT_EQ(s.PageSetup().RightHeader, "Right");
    EXPECT_EQ(s.PageSetup().CenterFooter, "Page &P");
    EXPECT_FALSE(s.PageSetup().Portrait);
    EXPECT_EQ(s.PageSetup().LeftMargin, 0.25);
    EXPECT_EQ(s.PaneRows, 1);
    EXPECT_EQ(s.PaneColumns, 2);
}

// The compound file's refusal reaches the caller as the reader's error, with the message users
// have always seen and the compound file's own error as its cause.
TEST(XLSFileFixtures, FilesThatAreNoWorkbook) {
    // The generating script is plain text, not a compound file.
    for (const char* name : {"/make_fixtures.py", "/no such file.xls"}) {
        TXLSFile file;
        try {
            file.LoadFromFile(kFixtures + name);
            ADD_FAILURE() << name << " loaded";
        } catch (const EXLSError& e) {
            EXPECT_STREQ(e.what(), "Can not open a docfile") << name;
            EXPECT_EQ(e.Code(), kErrCompoundFile);
            EXPECT_THROW(std::rethrow_exception(e.Cause()), ECFileError) << name;
        }
    }
}

}  // namespace
}  // namespace morvik::xls
