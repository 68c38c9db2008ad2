// Crafted workbooks whose cost once grew faster than their size. Each case asserts what the
// load keeps and how much heap it takes or churns through, measured by counting this
// program's allocations; never how long it takes.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "biff_builder.h"
#include "cfb_builder.h"
#include "tests/AllocationMeter.h"
#include "xls/XLSError.h"
#include "xls/XLSFile.h"

namespace morvik::xls {
namespace {

using testing::BiffBuilder;
using testing::kBofGlobals;
using testing::kBofSheet;
using testing::Payload;
namespace rec = testing::rec;

// Heap taken by a load at its highest, above what was live before it, and heap allocated in
// all (freed or not).
struct LoadCost {
    std::size_t peak = 0;
    std::size_t total = 0;
};

LoadCost Load(TXLSFile& file, const std::vector<std::uint8_t>& bytes) {
    const std::size_t before = gLive;
    gPeak = before;
    const std::size_t totalBefore = gTotal;
    file.LoadFromMemory(bytes);
    return {gPeak - before, gTotal - totalBefore};
}

std::vector<std::uint8_t> FileOf(const BiffBuilder& b) {
    return testing::BuildWorkbookFile(b.Bytes());
}

// tRef3d through EXTERNSHEET entry 0, an absolute cell.
Payload& Ref3d(Payload& p, int row, int col) { return p.U8(0x3A).U16(0).U16(row).U16(col); }

// Globals naming one sheet `name` with one EXTERNSHEET entry for it; the sheet's BOF follows.
BiffBuilder OneSheetWithExternSheet(const std::string& name) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).BoundSheet(name);
    b.Record(rec::kExternSheet, Payload{}.U16(1).U16(0).U16(0).U16(0));
    b.Eof().Bof(kBofSheet);
    return b;
}

// A shared formula over rows 0..cells-1 of column 0, and a cell of it in each row.
void SharedFormulaCells(BiffBuilder& b, const Payload& tokens, int cells) {
    b.Formula(0, 0, 0, BiffBuilder::NumberResult(0), 0x08, Payload{}.U8(0x01).U16(0).U16(0));
    b.Record(rec::kShrFmla, Payload{}
                                .U16(0)
                                .U16(cells - 1)
                                .U8(0)
                                .U8(0)
                                .U8(0)
                                .U8(cells)
                                .U16(tokens.Size())
                                .Raw(tokens.Bytes()));
    for (int r = 1; r < cells; ++r)
        b.Formula(r, 0, 0, BiffBuilder::NumberResult(0), 0x08, Payload{}.U8(0x01).U16(0).U16(0));
}

// A shared formula of 3-D references to a sheet of a 255-character name renders about 260
// text bytes per 7 token bytes in every cell; the load keeps the tokens once, not the text.
TEST(HostileWorkbooks, SharedFormulaTextsAreRenderedWhenAskedFor) {
    const std::string name(255, 'S');
    for (const int refs : {30, 40}) {
        SCOPED_TRACE(refs);
        Payload tokens;
        Ref3d(tokens, 0, 0);
        for (int i = 1; i < refs; ++i) Ref3d(tokens, i, 0).U8(0x03);  // + each
        BiffBuilder b = OneSheetWithExternSheet(name);
        const int cells = 2000;
        SharedFormulaCells(b, tokens, cells);
        b.Eof();
        const auto bytes = FileOf(b);
        TXLSFile file;
        const LoadCost cost = Load(file, bytes);
        // Rendered and kept per cell, the texts alone would take cells * 7.8 KB = 15 MB.
        EXPECT_LT(cost.peak, 40 * bytes.size()) << bytes.size();
        TCells& c = file.Workbook().Sheets().Items(0).Cells();
        ASSERT_EQ(c.Count(), cells);
        const std::string text = c.Cell(1234, 0).Formula();
        std::string expected;
        for (int i = 0; i < refs; ++i)
            expected += (i > 0 ? "+'" : "'") + name + "'!$A$" + std::to_string(i + 1);
        if (expected.size() <= 8192) {
            // 30 references: 7,910 characters, within the cap.
            EXPECT_EQ(text, expected);
        } else {
            // 40 would make 10,550 characters, beyond the 8,192 the format allows: the
            // formula counts as unrecognized.
            EXPECT_EQ(text, "");
            TXLSFile strict;
            strict.ReaderOptions.StrictFormulas = true;
            try {
                strict.LoadFromMemory(bytes);
                ADD_FAILURE() << "loaded";
            } catch (const EXLSError& e) {
                EXPECT_EQ(e.Code(), kErrFormulaNotRecognized);
            }
        }
    }
}

// The cap stands exactly at 8,192 characters.
TEST(HostileWorkbooks, FormulaTextCapIs8192Characters) {
    struct Case {
        std::size_t lastString;
        std::size_t length;  // 0: unrecognized
    };
    // 31 references of 262 characters joined by '+' (8,152), then '+' and a string of
    // `lastString` characters in quotes.
    for (const Case c : {Case{37, 8192}, Case{38, 0}}) {
        Payload tokens;
        for (int i = 0; i < 31; ++i) {
            Ref3d(tokens, 0, 0);
            if (i > 0) tokens.U8(0x03);
        }
        tokens.U8(0x17).U8(c.lastString).U8(0).Raw(std::string(c.lastString, 'a')).U8(0x03);
        BiffBuilder b = OneSheetWithExternSheet(std::string(255, 'S'));
        b.Formula(0, 0, 0, BiffBuilder::NumberResult(0), 0, tokens).Eof();
        TXLSFile file;
        file.LoadFromMemory(FileOf(b));
        EXPECT_EQ(file.Workbook().Sheets().Items(0).Cells().Cell(0, 0).Formula().size(), c.length)
            << c.lastString;
    }
}

// Thousands of XF records: the style table's use counts grow by doubling, not by one.
TEST(HostileWorkbooks, ManyCellFormatsChurnHeapInProportion) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial");
    const int xfs = 20000;
    for (int i = 0; i < xfs; ++i) b.Xf(0, 0, static_cast<std::uint32_t>(i % 2));
    b.BoundSheet("S").Eof().Bof(kBofSheet).Number(0, 0, xfs - 1, 1).Eof();
    const auto bytes = FileOf(b);
    TXLSFile file;
    const LoadCost cost = Load(file, bytes);
    // Copying every count at every record would allocate xfs^2 * 2 bytes (800 MB) in all.
    EXPECT_LT(cost.total, 60 * bytes.size()) << bytes.size();
    EXPECT_EQ(file.Workbook().XFs().Count(), xfs);
}

// FORMATs by the thousand and XFs naming them: each XF finds its code's position.
TEST(HostileWorkbooks, ManyNumberFormatsKeepTheirPositions) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial");
    for (int code = 50; code < 20050; ++code) b.Format(code, "0\"x" + std::to_string(code) + "\"");
    b.Format(164, "yyyy-mm-dd");  // a code defined twice keeps its first position
    for (const int code : {0, 14, 50, 164, 20049, 30000}) b.Xf(0, code);
    b.BoundSheet("S").Eof().Bof(kBofSheet);
    for (int i = 0; i < 6; ++i) b.Number(0, i, i, 45000);
    b.Eof();
    TXLSFile file;
    file.LoadFromMemory(FileOf(b));
    const TWorkbook& wb = file.Workbook();
    struct Case {
        int xf;
        const char* text;
    };
    const Case cases[] = {{0, "45000"},      {1, "03/15/23"},    {2, "45000x50"},
                          {3, "2023-03-15"}, {4, "45000x20049"}, {5, "45000"}};
    for (const Case& c : cases) {
        EXPECT_EQ(const_cast<TWorkbook&>(wb).Sheets().Items(0).Cells().Cell(0, c.xf).DisplayText(),
                  c.text)
            << c.xf;
    }
}

// A pattern longer than the 255 characters the format allows shows cells in the general form:
// thousands of cells would each pay its length again.
TEST(HostileWorkbooks, OverlongNumberFormatShowsTheGeneralForm) {
    for (const std::size_t literal : {252u, 253u}) {
        const std::string pattern = "0\"" + std::string(literal, 'x') + "\"";  // 255, 256
        BiffBuilder b;
        b.Bof(kBofGlobals).Font("Arial").Format(200, pattern).Xf(0, 200).BoundSheet("S").Eof();
        b.Bof(kBofSheet).Number(0, 0, 0, 7).Eof();
        TXLSFile file;
        file.LoadFromMemory(FileOf(b));
        const std::string text = file.Workbook().Sheets().Items(0).Cells().Cell(0, 0).DisplayText();
        EXPECT_EQ(text, pattern.size() <= 255 ? "7" + std::string(literal, 'x') : "7")
            << pattern.size();
    }
}

// Sheets by the ten thousand: duplicates are still found, renames keep the index true.
TEST(HostileWorkbooks, ManySheetsKeepTheirNamesUnique) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0);
    const int sheets = 10000;
    for (int i = 0; i < sheets; ++i) b.BoundSheet("S" + std::to_string(i));
    b.Eof();
    for (int i = 0; i < sheets; ++i) b.Bof(kBofSheet).Eof();
    TXLSFile file;
    file.LoadFromMemory(FileOf(b));
    TSheets& list = file.Workbook().Sheets();
    ASSERT_EQ(list.Count(), sheets);
    EXPECT_EQ(list.FindByName(u"S9999"), &list.Items(9999));
    EXPECT_EQ(list.ValidateName(u"S5000"), kErrInvalidSheetName);
    list.Items(5000).SetName(u"Renamed");
    EXPECT_EQ(list.FindByName(u"S5000"), nullptr);
    EXPECT_EQ(list.FindByName(u"Renamed"), &list.Items(5000));
    EXPECT_EQ(list.ValidateName(u"S5000"), 0);
    EXPECT_THROW(list.Items(1).SetName(u"Renamed"), EXLSError);
    EXPECT_EQ(list.Items(1).NameUtf8(), "S1");

    // The same name twice in one file refuses it.
    BiffBuilder twice;
    twice.Bof(kBofGlobals).BoundSheet("A").BoundSheet("B").BoundSheet("A").Eof();
    TXLSFile refused;
    try {
        refused.LoadFromMemory(FileOf(twice));
        ADD_FAILURE() << "loaded";
    } catch (const EXLSError& e) {
        EXPECT_EQ(e.Code(), kErrInvalidSheetName);
    }
}

// Each XF's date class follows the number format it names at the time of the cell, and a
// FORMAT record that redefines a code changes only the cells after it.
TEST(HostileWorkbooks, DateClassFollowsFormatsRecordByRecord) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).Format(200, "0.00").Xf(0, 200);
    b.BoundSheet("S").Eof().Bof(kBofSheet);
    b.Number(0, 0, 1, 45000);     // "0.00": a number
    b.Format(200, "yyyy-mm-dd");  // redefined: now a date
    b.Number(1, 0, 1, 45000);
    b.Xf(0, 14).Number(2, 0, 2, 45000);   // an XF read later, built-in date
    b.Xf(0, 200).Number(3, 0, 3, 45000);  // and one naming the redefined code
    b.Format(200, "0.0").Number(4, 0, 1, 45000);
    b.Eof();
    TXLSFile file;
    file.LoadFromMemory(FileOf(b));
    TCells& c = file.Workbook().Sheets().Items(0).Cells();
    EXPECT_EQ(c.Cell(0, 0).Value().Kind(), TVarType::Double);
    EXPECT_EQ(c.Cell(1, 0).Value().Kind(), TVarType::Date);
    EXPECT_EQ(c.Cell(2, 0).Value().Kind(), TVarType::Date);
    EXPECT_EQ(c.Cell(3, 0).Value().Kind(), TVarType::Date);
    EXPECT_EQ(c.Cell(4, 0).Value().Kind(), TVarType::Double);
}

// Shared formulas by the thousand, each cell finding its own among them.
TEST(HostileWorkbooks, ManySharedFormulasEachCellFindsItsOwn) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).BoundSheet("S").Eof().Bof(kBofSheet);
    const int n = 5000;
    for (int r = 0; r < n; ++r) {
        b.Formula(r, 0, 0, BiffBuilder::NumberResult(0), 0x08, Payload{}.U8(0x01).U16(r).U16(0));
        b.Record(rec::kShrFmla,
                 Payload{}.U16(r).U16(r).U8(0).U8(0).U8(0).U8(1).U16(3).U8(0x1E).U16(r));
    }
    b.Eof();
    TXLSFile file;
    file.LoadFromMemory(FileOf(b));
    TCells& c = file.Workbook().Sheets().Items(0).Cells();
    for (const int r : {0, 1, 2499, 4999}) EXPECT_EQ(c.Cell(r, 0).Formula(), std::to_string(r));
}

// Cells that cost memory out of proportion to their bytes: formatted blanks at two bytes each
// in a MULBLANK are kept up to a budget, and a long shared string named by thousands of cells
// refuses the file once its copies pass what the file's size allows.
TEST(HostileWorkbooks, CellsOfFewBytesStayInProportion) {
    {
        BiffBuilder b;
        b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).Xf(0, 0, 1).BoundSheet("S").Eof().Bof(kBofSheet);
        const int rows = 2000;
        for (int r = 0; r < rows; ++r) b.MulBlank(r, 0, std::vector<int>(256, 1));
        b.Eof();
        const auto bytes = FileOf(b);
        TXLSFile file;
        const LoadCost cost = Load(file, bytes);
        const int kept = file.Workbook().Sheets().Items(0).Cells().Count();
        EXPECT_EQ(kept, 65536 + static_cast<int>(b.Bytes().size() / 4));
        EXPECT_LT(cost.peak, 8 * 1024 * 1024 + 40 * bytes.size());
    }
    for (const int cells : {100, 20000}) {
        BiffBuilder b;
        b.Bof(kBofGlobals).Font("Arial").Xf(0, 0);
        Payload sst;
        sst.U32(1).U32(1).U16(8000).U8(0).Raw(std::string(8000, 'x'));
        b.Record(rec::kSst, sst).BoundSheet("S").Eof().Bof(kBofSheet);
        for (int r = 0; r < cells; ++r) b.LabelSst(r, 0, 0, 0);
        b.Eof();
        TXLSFile file;
        try {
            file.LoadFromMemory(FileOf(b));
            EXPECT_EQ(cells, 100);
            EXPECT_EQ(file.Workbook().Sheets().Items(0).Cells().Cell(99, 0).DisplayText().size(),
                      8000u);
        } catch (const EXLSError& e) {
            EXPECT_EQ(cells, 20000);
            EXPECT_EQ(e.Code(), kErrTooMuchText);
        }
    }
}

// Records that name many cells or columns in a few bytes work within budgets that grow with
// the file: a merged area of a quarter million cells in a tiny file stays unmerged, and
// COLINFO records past the budget leave their columns as they were.
TEST(HostileWorkbooks, AreaRecordsWorkWithinBudgets) {
    {
        BiffBuilder b;
        b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).BoundSheet("S").Eof().Bof(kBofSheet);
        b.Record(
            rec::kMergedCells,
            Payload{}.U16(2).U16(0).U16(1023).U16(0).U16(255).U16(2000).U16(2009).U16(0).U16(9));
        b.Eof();
        TXLSFile file;
        file.LoadFromMemory(FileOf(b));
        TSheet& sheet = file.Workbook().Sheets().Items(0);
        ASSERT_EQ(sheet.Ranges().Count(), 2);
        EXPECT_FALSE(sheet.Ranges().Items(0).Merged());
        EXPECT_TRUE(sheet.Ranges().Items(1).Merged());
        EXPECT_EQ(sheet.Cells().Count(), 100);
    }
    {
        BiffBuilder b;
        b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).BoundSheet("S").Eof().Bof(kBofSheet);
        const int records = 5000;
        for (int i = 0; i < records; ++i) {
            b.Record(rec::kColInfo,
                     Payload{}.U16(0).U16(255).U16(256 * (1 + i % 50)).U16(0).U16(0x0700).U16(0));
        }
        b.Eof();
        TXLSFile file;
        file.LoadFromMemory(FileOf(b));
        // Each record costs 256 columns times 8 (width and seven outline levels); the budget
        // of 65,536 + twice the stream's bytes lets only the first ones through.
        const std::size_t applied = (65536 + 2 * b.Bytes().size()) / (256 * 8);
        ASSERT_LT(applied, static_cast<std::size_t>(records));
        const TColumn& column = *file.Workbook().Sheets().Items(0).Columns().Find(100);
        EXPECT_DOUBLE_EQ(column.Size(), ColumnWidthFromFile(256.0 * (1 + (applied - 1) % 50),
                                                            ScreenMetricsFor(96)));
        EXPECT_EQ(column.OutlineLevel(), 7);
    }
}

}  // namespace
}  // namespace morvik::xls
