// The record reader on workbook streams written record by record.
#include "xls/XLSReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "biff_builder.h"
#include "cfb_builder.h"
#include "xls/XLSError.h"
#include "xls/XLSFile.h"

namespace morvik::xls {
namespace {

using testing::BiffBuilder;
using testing::kBofChart;
using testing::kBofGlobals;
using testing::kBofSheet;
using testing::Payload;
using testing::RkDouble;
using testing::RkInteger;
namespace rec = testing::rec;

// XF positions of the standard globals below.
constexpr int kXfPlain = 0;
constexpr int kXfDate = 1;    // built-in format 14, a date
constexpr int kXfFilled = 2;  // a solid fill: not plain
constexpr int kXfCount = 3;

// Workbook globals with one font, the three XFs above and one BOUNDSHEET per name.
BiffBuilder Globals(const std::vector<std::string>& sheets) {
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0).Xf(0, 14).Xf(0, 0, 1);
    for (const auto& name : sheets) b.BoundSheet(name);
    return b;
}

void Load(TXLSFile& file, const BiffBuilder& b, const std::string& streamName = "Workbook") {
    file.LoadFromMemory(testing::BuildWorkbookFile(b.Bytes(), streamName));
}

// Globals for one sheet "S", then that sheet's BOF; the caller adds cells and Eof().
BiffBuilder OneSheet() {
    BiffBuilder b = Globals({"S"});
    b.Eof().Bof(kBofSheet);
    return b;
}

TCells& CellsOf(TXLSFile& file, int sheet = 0) {
    return file.Workbook().Sheets().Items(sheet).Cells();
}

template <class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(DecodeRK, Table) {
    struct Case {
        std::uint32_t rk;
        double value;
    };
    const Case cases[] = {
        {0x00000003, 0.0},
        {0x00000006, 1.0},
        {0xFFFFFFFE, -1.0},
        {0x3FF00000, 1.0},
        {0x3FF00001, 0.01},
        {RkInteger(12345, true), 123.45},
        {RkInteger(-536870912), -536870912.0},
        {RkDouble(-2.5), -2.5},
        {RkInteger(536870911), 536870911.0},
    };
    for (const auto& c : cases) EXPECT_EQ(DecodeRK(c.rk), c.value) << std::hex << c.rk;
}

TEST(DateFromSerial, PhantomLeapDay) {
    struct Case {
        double serial, days;
    };
    // Day 2 is 1900-01-01; serial 60 is the 29 February 1900 that never was.
    const Case cases[] = {{0, 1},   {1, 2},   {59, 60},       {60, 61},
                          {61, 61}, {62, 62}, {43890, 43890}, {60.5, 60.5}};
    for (const auto& c : cases) EXPECT_EQ(DateFromSerial(c.serial), c.days) << c.serial;
}

TEST(SplitHeaderSections, Table) {
    auto s = SplitHeaderSections("&LLeft&CMid&RRight");
    EXPECT_TRUE(s.HasLeft && s.HasCenter && s.HasRight);
    EXPECT_EQ(s.Left, "Left");
    EXPECT_EQ(s.Center, "Mid");
    EXPECT_EQ(s.Right, "Right");

    s = SplitHeaderSections("no section codes");
    EXPECT_FALSE(s.HasLeft || s.HasCenter || s.HasRight);

    s = SplitHeaderSections("&RR&LL");
    EXPECT_EQ(s.Left, "L");
    EXPECT_EQ(s.Right, "R");
    EXPECT_FALSE(s.HasCenter);

    s = SplitHeaderSections("&CPage &P");
    EXPECT_EQ(s.Center, "Page &P");
}

TEST(FormatTextIsDate, Table) {
    struct Case {
        const char* pattern;
        bool date;
    };
    const Case cases[] = {
        {"dd-mmm-yy", true},
        {"yyyy", true},
        {"mm:ss.0", true},
        {"[h]:mm:ss", true},
        {"h:mm AM/PM", true},
        {"[$-809]dd\\ mmmm\\ yyyy;@", true},
        {"[$-409]dd/mm/yyyy\\ hh:mm;@", true},
        {"General", false},
        {"GENERAL", false},
        {"General_)", false},
        {"\\-;\\-;\\-", false},
        {"0.00", false},
        {"#,##0", false},
        {"0.00E+00", false},
        {"[Red]0.00", false},
        {"\"days\" 0", false},
        {"@", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTextIsDate(c.pattern), c.date) << c.pattern;
}

TEST(XLSReader, NumberRkAndMulRk) {
    BiffBuilder b = OneSheet();
    b.Number(0, 0, kXfPlain, 1.5)
        .Rk(0, 1, kXfPlain, 0x3FF00001)
        .MulRk(
            1, 2,
            {{kXfPlain, RkInteger(7)}, {kXfPlain, RkInteger(-3, true)}, {kXfPlain, RkDouble(0.5)}})
        .Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Count(), 5);
    EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue(1.5));
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue(0.01));
    EXPECT_EQ(cells.Cell(1, 2).Value(), TCellValue(7.0));
    EXPECT_EQ(cells.Cell(1, 3).Value(), TCellValue(-0.03));
    EXPECT_EQ(cells.Cell(1, 4).Value(), TCellValue(0.5));
    EXPECT_EQ(cells.Find(1, 5), nullptr);  // the trailing last-column field is no entry
}

TEST(XLSReader, TextValues) {
    BiffBuilder b = Globals({"S"});
    // Shared strings: narrow "ab", wide "\u010d", and a narrow first part continued wide.
    b.Record(
         rec::kSst,
         Payload{}.U32(3).U32(3).U16(2).Narrow("ab").U16(1).Wide(u"\u010d").U16(4).U8(0).Raw("xy"))
        .Record(rec::kContinue, Payload{}.U8(1).U16(0x0161).U16(u'z'))
        .Eof()
        .Bof(kBofSheet)
        .LabelSst(0, 0, kXfPlain, 0)
        .LabelSst(0, 1, kXfPlain, 1)
        .LabelSst(0, 2, kXfPlain, 2)
        .Label(1, 0, kXfPlain, std::string_view("\xE9t\xE9"))
        .Label(1, 1, kXfPlain, std::u16string_view(u"\u017elut\u00fd"))
        .Label(1, 2, kXfPlain, std::string_view(""))
        .Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue::String8("ab"));
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue(u"\u010d"));
    EXPECT_EQ(cells.Cell(0, 2).Value(), TCellValue(u"xy\u0161z"));
    EXPECT_EQ(cells.Cell(1, 0).Value(), TCellValue::String8("\xE9t\xE9"));
    EXPECT_EQ(cells.Cell(1, 0).DisplayText(), "\u00e9t\u00e9");
    EXPECT_EQ(cells.Cell(1, 1).Value(), TCellValue(u"\u017elut\u00fd"));
    EXPECT_EQ(cells.Cell(1, 2).Value(), TCellValue::String8(""));
}

// Cells showing one shared string borrow its text from a table their sheet keeps; a value
// copied out must hold its own, past the workbook, and changing one cell leaves the others.
TEST(XLSReader, SharedStringValuesOutliveTheWorkbookAndStayApart) {
    BiffBuilder b = Globals({"S"});
    b.Record(rec::kSst, Payload{}.U32(3).U32(2).U16(2).Narrow("ab").U16(1).Wide(u"\u010d"))
        .Eof()
        .Bof(kBofSheet)
        .LabelSst(0, 0, kXfPlain, 1)
        .LabelSst(0, 1, kXfPlain, 0)
        .LabelSst(1, 0, kXfPlain, 1)
        .Eof();
    TCellValue wide, narrow;
    {
        auto file = std::make_unique<TXLSFile>();
        Load(*file, b);
        TCells& cells = CellsOf(*file);
        wide = cells.Cell(0, 0).Value();
        narrow = cells.Cell(0, 1).Value();
        cells.Cell(1, 0).SetValue(TCellValue(u"x"));
        EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue(u"\u010d"));
        TCellValue moved = std::move(wide);
        wide = moved;
        moved = TCellValue(1.0);
    }
    EXPECT_EQ(wide, TCellValue(u"\u010d"));
    EXPECT_EQ(narrow, TCellValue::String8("ab"));
}

TEST(XLSReader, SharedStringRunsAcrossContinueThenNextRecord) {
    BiffBuilder b = Globals({"S"});
    // "rich" with two formatting runs split over the boundary, then "next"; the SST's
    // last string ends exactly at the end of the CONTINUE and BOUNDSHEET-free EOF follows.
    b.Record(rec::kSst,
             Payload{}.U32(2).U32(2).U16(4).U8(0x08).U16(2).Raw("rich").U32(0x00010000).U16(0))
        .Record(rec::kContinue, Payload{}.U16(5).U16(4).U8(0).Raw("next"))
        .Eof()
        .Bof(kBofSheet)
        .LabelSst(0, 0, kXfPlain, 0)
        .LabelSst(0, 1, kXfPlain, 1)
        .Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).DisplayText(), "rich");
    EXPECT_EQ(CellsOf(file).Cell(0, 1).DisplayText(), "next");
}

TEST(XLSReader, SharedStringIndexBeyondTableFails) {
    BiffBuilder b = Globals({"S"});
    b.Record(rec::kSst, Payload{}.U32(1).U32(1).U16(1).Narrow("a"))
        .Eof()
        .Bof(kBofSheet)
        .LabelSst(0, 0, 0, 5)
        .Eof();
    TXLSFile file;
    EXPECT_EQ(MessageOf([&] { Load(file, b); }), "List index (5) out of bounds");
}

TEST(XLSReader, BooleansErrorsAndBlanks) {
    BiffBuilder b = OneSheet();
    b.BoolErr(0, 0, kXfPlain, 1, 0)
        .BoolErr(0, 1, kXfPlain, 0, 0)
        .BoolErr(0, 2, kXfFilled, 0x07, 1)  // #DIV/0!: no cell at all
        .Blank(1, 0, kXfPlain)              // plain: no cell
        .Blank(1, 1, kXfFilled)
        .Blank(1, 2, kXfCount)  // beyond the XF table
        .MulBlank(2, 0, {kXfFilled, kXfPlain, kXfFilled})
        .Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue(true));
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue(false));
    EXPECT_EQ(cells.Find(0, 2), nullptr);
    EXPECT_EQ(cells.Find(1, 0), nullptr);
    ASSERT_NE(cells.Find(1, 1), nullptr);
    EXPECT_TRUE(cells.Find(1, 1)->Value().IsEmpty());
    EXPECT_EQ(cells.Find(1, 1)->XFIndex(), kXfFilled);
    EXPECT_EQ(cells.Find(1, 2), nullptr);
    EXPECT_NE(cells.Find(2, 0), nullptr);
    EXPECT_EQ(cells.Find(2, 1), nullptr);
    EXPECT_NE(cells.Find(2, 2), nullptr);
    EXPECT_EQ(cells.Count(), 5);

    TXLSFile noBlanks;
    noBlanks.ReaderOptions.ReadBlankCells = false;
    Load(noBlanks, b);
    EXPECT_EQ(CellsOf(noBlanks).Count(), 2);
}

TEST(XLSReader, DateFormatTurnsNumbersIntoDates) {
    BiffBuilder b = OneSheet();
    b.Number(0, 0, kXfDate, 60)
        .Number(0, 1, kXfDate, 61)
        .Rk(0, 2, kXfDate, RkInteger(43890))
        .Number(0, 3, kXfPlain, 60);
    b.Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue(TDateTime{61}));
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue(TDateTime{61}));
    EXPECT_EQ(cells.Cell(0, 2).Value(), TCellValue(TDateTime{43890}));
    EXPECT_EQ(cells.Cell(0, 3).Value(), TCellValue(60.0));
}

TEST(XLSReader, CustomDateFormatFromFormatRecord) {
    BiffBuilder b;
    b.Bof(kBofGlobals)
        .Format(164, "yyyy\\-mm\\-dd")
        .Font("Arial")
        .Xf(0, 0)
        .Xf(0, 164)
        .BoundSheet("S")
        .Eof();
    b.Bof(kBofSheet).Number(0, 0, 1, 43890).Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).Value().Kind(), TVarType::Date);
}

TEST(XLSReader, FormatLiteralsReachTheDisplayTextAsUtf8) {
    BiffBuilder b;
    b.Bof(kBofGlobals)
        .Record(rec::kFormat, Payload{}.U16(164).Counted(std::u16string_view(u"0 \"K\u010d\"")))
        .Record(rec::kFormat, Payload{}.U16(165).Counted(std::string_view("0 \"\xE9\"")))
        .Font("Arial")
        .Xf(0, 0)
        .Xf(0, 164)
        .Xf(0, 165)
        .BoundSheet("S")
        .Eof();
    b.Bof(kBofSheet).Number(0, 0, 1, 5).Number(0, 1, 2, 6).Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).DisplayText(), "5 K\u010d");
    EXPECT_EQ(CellsOf(file).Cell(0, 1).DisplayText(), "6 \u00e9");
}

TEST(XLSReader, SubstreamsInStreamOrderSkipCharts) {
    BiffBuilder b = Globals({"One", "Two", "Three"});
    b.Eof();
    b.Bof(kBofSheet).Number(0, 0, 0, 1);
    b.Bof(kBofChart).Number(5, 5, 0, 99).Eof();  // a chart inside sheet One
    b.Number(1, 0, 0, 2).Eof();
    b.Bof(kBofSheet).Number(0, 0, 0, 3).Eof();
    b.Bof(kBofSheet).Number(0, 0, 0, 4).Eof();
    TXLSFile file;
    Load(file, b);
    auto& sheets = file.Workbook().Sheets();
    ASSERT_EQ(sheets.Count(), 3);
    EXPECT_EQ(sheets.Items(0).NameUtf8(), "One");
    EXPECT_EQ(sheets.Items(0).Cells().Cell(1, 0).Value(), TCellValue(2.0));
    // The chart's cached series value is no cell of the sheet.
    EXPECT_EQ(sheets.Items(0).Cells().Count(), 2);
    EXPECT_EQ(sheets.Items(1).Cells().Cell(0, 0).Value(), TCellValue(3.0));
    EXPECT_EQ(sheets.Items(2).Cells().Cell(0, 0).Value(), TCellValue(4.0));
}

// A sheet's cells come from the substream its BOUNDSHEET offset names, whatever the order of
// the substreams; cells nobody names, or in the globals, belong to no sheet.
TEST(XLSReader, SheetsTakeTheSubstreamTheirOffsetNames) {
    // Globals naming "Skull" then "Other"; the substreams stand the other way round, and
    // offsets are filled in once their positions are known.
    BiffBuilder b;
    b.Bof(kBofGlobals).Font("Arial").Xf(0, 0);
    const std::uint32_t skullField = b.Position() + 4;
    b.BoundSheet("Skull", 0u);
    const std::uint32_t otherField = b.Position() + 4;
    b.BoundSheet("Other", 0u);
    b.Number(9, 9, 0, 555);  // a cell in the globals: no sheet's
    b.Eof();
    const std::uint32_t otherAt = b.Position();
    b.Bof(kBofSheet).Number(0, 0, 0, 999).Eof();
    const std::uint32_t skullAt = b.Position();
    b.Bof(kBofSheet).Number(0, 0, 0, 12.5).Eof();
    b.Bof(kBofSheet).Number(0, 0, 0, 7).Number(1, 1, 0, 8).Eof();  // named by nobody
    std::vector<std::uint8_t> bytes = b.Bytes();
    auto put = [&](std::uint32_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(skullField, skullAt);
    put(otherField, otherAt);
    TXLSFile file;
    file.LoadFromMemory(testing::BuildWorkbookFile(bytes));
    auto& sheets = file.Workbook().Sheets();
    ASSERT_EQ(sheets.Count(), 2);
    EXPECT_EQ(sheets.Items(0).NameUtf8(), "Skull");
    EXPECT_EQ(sheets.Items(0).Cells().Cell(0, 0).Value(), TCellValue(12.5));
    EXPECT_EQ(sheets.Items(0).Cells().Count(), 1);
    EXPECT_EQ(sheets.Items(1).Cells().Cell(0, 0).Value(), TCellValue(999.0));
    EXPECT_EQ(sheets.Items(1).Cells().Count(), 1);

    // An offset that names no substream refuses the file, naming the sheet.
    struct Case {
        const char* what;
        std::uint32_t skullOffset;
        std::string message;
    };
    const Case cases[] = {
        {"inside a substream", skullAt + 4,
         "Sheet Skull: no data where the workbook says it starts"},
        {"the globals", 0, "Sheet Skull: no data where the workbook says it starts"},
        {"past the end", 0x7FFFFFFF, "Sheet Skull: no data where the workbook says it starts"},
        // Both name one substream: the first listed takes it, the second is missing.
        {"the other sheet's", otherAt, "Sheet Other: no data where the workbook says it starts"},
    };
    for (const Case& c : cases) {
        put(skullField, c.skullOffset);
        put(otherField, otherAt);
        TXLSFile bad;
        EXPECT_EQ(MessageOf([&] { bad.LoadFromMemory(testing::BuildWorkbookFile(bytes)); }),
                  c.message)
            << c.what;
    }
}

TEST(XLSReader, Failures) {
    struct Case {
        const char* what;
        BiffBuilder stream;
        std::string streamName;
        std::string message;
    };
    BiffBuilder encrypted;
    encrypted.Bof(kBofGlobals).Record(rec::kFilePass, Payload{}.U16(1).Zeros(52));
    BiffBuilder protectedBook;
    protectedBook.Bof(kBofGlobals).Record(rec::kProtect, Payload{}.U16(1)).Eof();
    BiffBuilder strict = OneSheet();
    strict.Formula(0, 0, 0, BiffBuilder::NumberResult(1), 0, Payload{}.U8(0xFF)).Eof();
    BiffBuilder badColumn = OneSheet();
    badColumn.Number(0, 256, 0, 1).Eof();
    BiffBuilder badName = Globals({""});
    BiffBuilder plain = OneSheet();
    plain.Eof();

    std::vector<Case> cases;
    cases.push_back({"FILEPASS", encrypted, "Workbook",
                     "Reading of password-protected workbooks not supported"});
    cases.push_back({"PROTECT in globals", protectedBook, "Workbook",
                     "Reading of password-protected workbooks not supported"});
    cases.push_back({"column 256", badColumn, "Workbook", "Invalid row or column number"});
    cases.push_back(
        {"empty sheet name", badName, "Workbook", "Sheet name must have a length 1..255"});
    cases.push_back({"older stream name", plain, "Book",
                     "Stream not found: Workbook. File format is not Excel 97 or higher."});
    for (auto& c : cases) {
        TXLSFile file;
        EXPECT_EQ(MessageOf([&] { Load(file, c.stream, c.streamName); }), c.message) << c.what;
    }

    TXLSFile strictFile;
    strictFile.ReaderOptions.StrictFormulas = true;
    EXPECT_EQ(MessageOf([&] { Load(strictFile, strict); }), "Formula not recognized");

    TXLSFile notCompound;
    const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_NE(MessageOf([&] { notCompound.LoadFromMemory(text); }), "(no error)");
}

TEST(XLSReader, FilePassCodeIs14AndSheetProtectionIsIgnored) {
    BiffBuilder encrypted;
    encrypted.Bof(kBofGlobals).Record(rec::kFilePass, Payload{}.U16(0).U16(0x1234).U16(0x5678));
    TXLSFile file;
    try {
        Load(file, encrypted);
        FAIL() << "loaded an encrypted workbook";
    } catch (const EXLSError& e) {
        EXPECT_EQ(e.Code(), 14);
    }

    BiffBuilder sheetProtect = OneSheet();
    sheetProtect.Record(rec::kProtect, Payload{}.U16(1)).Number(0, 0, 0, 5).Eof();
    Load(file, sheetProtect);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).Value(), TCellValue(5.0));
}

TEST(XLSReader, TruncatedStreamKeepsWhatWasRead) {
    BiffBuilder b = OneSheet();
    b.Number(0, 0, 0, 1.0).Tail(Payload{}.U16(rec::kNumber).U16(14).U16(0));  // payload cut off
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Count(), 1);

    BiffBuilder torn = OneSheet();
    torn.Number(0, 0, 0, 1.0).Tail(Payload{}.U8(0x03));  // a torn header
    Load(file, torn);
    EXPECT_EQ(CellsOf(file).Count(), 1);
}

TEST(XLSReader, SkippedRecordsAndShortPayloads) {
    BiffBuilder b = OneSheet();
    b.Record(rec::kContinue, Payload{}.U32(1))   // CONTINUE outside the string table
        .Record(0x0042, Payload{}.U16(1200))     // CODEPAGE
        .Record(0x0200, Payload{}.Zeros(14))     // DIMENSIONS
        .Record(rec::kNumber, Payload{}.U16(3))  // short: the missing fields read as zero
        .Record(rec::kMulRk, Payload{}.U16(4))   // no entries
        .Record(rec::kLabel,
                Payload{}.U16(0).U16(1).U16(0).U16(50).U8(0).Raw("abc"))  // count beyond payload
        .Record(rec::kLabel,
                Payload{}.U16(0).U16(2).U16(0).U16(2).U8(1).Raw("abc"))  // 16-bit, one byte short
        .Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Cell(3, 0).Value(), TCellValue(0.0));
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue::String8(""));
    EXPECT_EQ(cells.Cell(0, 2).Value(), TCellValue(u""));
    EXPECT_EQ(cells.Count(), 3);
}

// Token bytes: tInt 3, tInt 4, tAdd.
Payload ThreePlusFour() { return Payload{}.U8(0x1E).U16(3).U8(0x1E).U16(4).U8(0x03); }

// A STRING belongs to the FORMULA right before it; one after other records, or at the start of
// the next sheet, writes no cell.
TEST(XLSReader, StringWithoutItsFormulaIsIgnored) {
    BiffBuilder b = Globals({"A", "B"});
    b.Eof();
    b.Bof(kBofSheet)
        .Formula(2, 3, kXfPlain, BiffBuilder::SpecialResult(0), 0, ThreePlusFour())
        .Eof();  // the STRING never comes
    b.Bof(kBofSheet).String("stray").Number(0, 0, kXfPlain, 1).Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file, 1).Find(2, 3), nullptr);
    EXPECT_EQ(CellsOf(file, 1).Count(), 1);
    EXPECT_TRUE(CellsOf(file, 0).Cell(2, 3).Value().IsEmpty());
}

TEST(XLSReader, FormulaCells) {
    BiffBuilder b = OneSheet();
    b.Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(7), 0, ThreePlusFour())
        .Formula(0, 1, kXfFilled, BiffBuilder::SpecialResult(1, 1), 0, ThreePlusFour())
        .Formula(0, 2, kXfFilled, BiffBuilder::SpecialResult(2, 7), 0, ThreePlusFour())  // error
        .Formula(0, 3, kXfFilled, BiffBuilder::SpecialResult(0), 0x08,
                 Payload{}.U8(0x01).U16(0).U16(3))
        .Record(rec::kShrFmla,
                Payload{}.U16(0).U16(0).U8(3).U8(3).U8(0).U8(1).U16(3).U8(0x1E).U16(9))
        .String("text result")
        .Formula(1, 0, kXfPlain, BiffBuilder::SpecialResult(0), 0, ThreePlusFour())
        .String(std::u16string_view(u"\u65e5\u672c"))
        .String("no pending cell: skipped")
        .Formula(1, 1, kXfPlain, BiffBuilder::NumberResult(1), 0,
                 Payload{}.U8(0xFF))  // unknown token
        // Every byte of a cached number counts: 1.95 has no zero low bytes to hide a fault.
        .Formula(1, 2, kXfPlain, BiffBuilder::NumberResult(1.95), 0, ThreePlusFour())
        .Eof();
    TXLSFile file;
    Load(file, b);
    TCells& cells = CellsOf(file);
    EXPECT_EQ(cells.Cell(0, 0).Value(), TCellValue(7.0));
    EXPECT_EQ(cells.Cell(0, 0).Formula(), "3+4");
    EXPECT_EQ(cells.Cell(0, 1).Value(), TCellValue(true));
    const TCell* error = cells.Find(0, 2);
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->Value().IsEmpty());
    EXPECT_EQ(error->XFIndex(), kXfFilled);
    EXPECT_EQ(error->Formula(), "3+4");
    EXPECT_EQ(cells.Cell(0, 3).Value(), TCellValue::String8("text result"));
    EXPECT_EQ(cells.Cell(0, 3).XFIndex(), kXfFilled);
    EXPECT_EQ(cells.Cell(0, 3).Formula(), "9");
    // A 16-bit string result keeps every character.
    EXPECT_EQ(cells.Cell(1, 0).Value(), TCellValue(u"\u65e5\u672c"));
    EXPECT_EQ(cells.Cell(1, 1).Value(), TCellValue(1.0));
    EXPECT_EQ(cells.Cell(1, 1).Formula(), "");
    EXPECT_EQ(cells.Cell(1, 2).Value(), TCellValue(1.95));

    TXLSFile noFormulas;
    noFormulas.ReaderOptions.ReadFormulas = false;
    Load(noFormulas, b);
    EXPECT_EQ(CellsOf(noFormulas).Cell(0, 0).Value(), TCellValue(7.0));
    EXPECT_EQ(CellsOf(noFormulas).Cell(0, 0).Formula(), "");
    EXPECT_EQ(CellsOf(noFormulas).Cell(0, 3).Value(), TCellValue::String8("text result"));
}

// Formulas are rendered after the records are read: each must still land on its own cell,
// whether the cell was made before its FORMULA record, holds no value, sits on a later sheet
// or is given a formula twice (the last one counts).
TEST(XLSReader, FormulasFindTheirCells) {
    const Payload nine = Payload{}.U8(0x1E).U16(9);
    BiffBuilder b = Globals({"One", "Two"});
    b.Eof();
    b.Bof(kBofSheet)
        .Number(0, 0, kXfPlain, 1)
        .Number(0, 1, kXfPlain, 2)
        .Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(7), 0,
                 ThreePlusFour())  // cell made earlier
        .Formula(1, 0, kXfPlain, BiffBuilder::SpecialResult(2, 7), 0,
                 ThreePlusFour())  // no value, plain
        .Formula(0, 1, kXfPlain, BiffBuilder::NumberResult(1), 0, Payload{}.U8(0xFF))
        .Formula(0, 1, kXfPlain, BiffBuilder::NumberResult(9), 0, nine)  // replaces the bad one
        .Eof();
    b.Bof(kBofSheet).Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(9), 0, nine).Eof();
    for (const bool strict : {false, true}) {
        TXLSFile file;
        file.ReaderOptions.StrictFormulas = strict;
        Load(file, b);
        TCells& one = CellsOf(file);
        EXPECT_EQ(one.Count(), 3) << strict;
        EXPECT_EQ(one.Cell(0, 0).Formula(), "3+4") << strict;
        EXPECT_EQ(one.Cell(0, 1).Formula(), "9") << strict;
        EXPECT_EQ(one.Cell(0, 1).Value(), TCellValue(9.0)) << strict;
        const TCell* empty = one.Find(1, 0);
        ASSERT_NE(empty, nullptr) << strict;
        EXPECT_TRUE(empty->Value().IsEmpty()) << strict;
        EXPECT_EQ(empty->Formula(), "3+4") << strict;
        EXPECT_EQ(CellsOf(file, 1).Cell(0, 0).Formula(), "9") << strict;
    }

    // A bad formula given last fails a strict read, on whichever sheet it stands.
    BiffBuilder bad = Globals({"One", "Two"});
    bad.Eof();
    bad.Bof(kBofSheet).Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(9), 0, nine).Eof();
    bad.Bof(kBofSheet)
        .Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(9), 0, nine)
        .Formula(0, 0, kXfPlain, BiffBuilder::NumberResult(1), 0, Payload{}.U8(0xFF))
        .Eof();
    TXLSFile lenient;
    Load(lenient, bad);
    EXPECT_EQ(CellsOf(lenient).Cell(0, 0).Formula(), "9");
    EXPECT_EQ(CellsOf(lenient, 1).Cell(0, 0).Formula(), "");
    TXLSFile strictFile;
    strictFile.ReaderOptions.StrictFormulas = true;
    EXPECT_EQ(MessageOf([&] { Load(strictFile, bad); }), "Formula not recognized");
}

TEST(XLSReader, LongFormulaStringRunsIntoContinue) {
    BiffBuilder b = OneSheet();
    b.Formula(0, 0, kXfPlain, BiffBuilder::SpecialResult(0), 0, ThreePlusFour())
        .Record(rec::kString, Payload{}.U16(6).U8(0).Raw("abc"))
        .Record(rec::kContinue, Payload{}.U8(1).U16(u'd').U16(0x0161).U16(u'f'))
        .Number(1, 0, kXfPlain, 2)
        .Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).Value(), TCellValue(u"abcd\u0161f"));
    EXPECT_EQ(CellsOf(file).Cell(1, 0).Value(), TCellValue(2.0));
}

TEST(XLSReader, FormulaReferencesOtherSheetThroughExternSheet) {
    BiffBuilder b = Globals({"First", "Data"});
    b.Record(rec::kExternSheet, Payload{}.U16(1).U16(0).U16(1).U16(1)).Eof();
    b.Bof(kBofSheet)
        .Formula(0, 0, 0, BiffBuilder::NumberResult(0), 0,
                 Payload{}.U8(0x3A).U16(0).U16(0).U16(0xC000))
        .Eof();
    b.Bof(kBofSheet).Eof();
    TXLSFile file;
    Load(file, b);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).Formula(), "'Data'!A1");
}

// A NAME payload: flags, name and formula lengths, 8-bit name, formula bytes.
Payload NameRecord(std::uint16_t flags, std::string_view name, const Payload& formula) {
    return Payload{}
        .U16(flags)
        .U8(0)
        .U8(name.size())
        .U16(formula.Size())
        .U16(0)
        .U16(0)
        .U8(0)
        .U8(0)
        .U8(0)
        .U8(0)
        .Narrow(name)
        .Raw(formula.Bytes());
}
// An Area3d token: reference index, rows, columns.
Payload Area3d(std::uint16_t ref, int r1, int r2, int c1, int c2) {
    return Payload{}.U8(0x3B).U16(ref).U16(r1).U16(r2).U16(c1).U16(c2);
}

TEST(XLSReader, DefinedNames) {
    Payload twoAreas = Area3d(0, 0, 1, 0, 1);
    twoAreas.Raw(Area3d(0, 5, 6, 2, 3).Bytes()).U8(0x10);
    Payload memFunc = Payload{}.U8(0x29).U16(11);
    memFunc.Raw(Area3d(1, 2, 3, 4, 5).Bytes());
    BiffBuilder b = Globals({"A", "B"});
    b.Record(rec::kName, NameRecord(0x0020, "\x06", Area3d(0, 0, 9, 0, 3)))  // print area of A
        .Record(rec::kName, NameRecord(0, "Points", twoAreas))
        .Record(rec::kName, NameRecord(0, "OnB", memFunc))
        .Record(rec::kName, NameRecord(0x0002, "Func", Area3d(0, 0, 0, 0, 0)))  // not a plain name
        .Record(rec::kName, NameRecord(0, "Far", Area3d(7, 0, 0, 0, 0)))        // no sheet 7
        .Record(rec::kName, NameRecord(0, "Empty", Payload{}))
        .Eof();
    b.Bof(kBofSheet).Eof().Bof(kBofSheet).Eof();
    TXLSFile file;
    Load(file, b);
    TSheet& a = file.Workbook().Sheets().Items(0);
    TSheet& second = file.Workbook().Sheets().Items(1);
    ASSERT_EQ(a.PageSetup().PrintArea.Count(), 1);
    EXPECT_EQ(a.PageSetup().PrintArea.Get(0), (TRangeRect{0, 9, 0, 3}));
    ASSERT_EQ(a.Ranges().Count(), 1);
    EXPECT_EQ(a.Ranges().Items(0).Name(), "Points");
    ASSERT_EQ(a.Ranges().Items(0).Count(), 2);
    EXPECT_EQ(a.Ranges().Items(0).Get(1), (TRangeRect{5, 6, 2, 3}));
    ASSERT_EQ(second.Ranges().Count(), 1);
    EXPECT_EQ(second.Ranges().Items(0).Get(0), (TRangeRect{2, 3, 4, 5}));

    BiffBuilder blank = Globals({"A"});
    blank.Record(rec::kName, NameRecord(0, "two words", Area3d(0, 0, 0, 0, 0)))
        .Eof()
        .Bof(kBofSheet)
        .Eof();
    EXPECT_EQ(MessageOf([&] { Load(file, blank); }), "Invalid range name: two words");
}

// Area reference indexes point into the EXTERNSHEET list, which is in order of first use:
// the entry, not the index, names the sheet. Formulas that are no list of 3-D areas give
// no range.
TEST(XLSReader, DefinedNamesFollowExternSheet) {
    BiffBuilder b = Globals({"A", "B", "C"});
    // Entries: 0 -> sheet C, 1 -> sheet A, 2 -> no sheet (0xFFFE).
    b.Record(
        rec::kExternSheet,
        Payload{}.U16(3).U16(0).U16(2).U16(2).U16(0).U16(0).U16(0).U16(0).U16(0xFFFE).U16(0xFFFE));
    Payload twoAreas = Area3d(1, 0, 1, 0, 1);
    twoAreas.Raw(Area3d(1, 4, 4, 2, 2).Bytes()).U8(0x10);
    // tRef3d A1 (ref 1), tInt 1, tAdd: 11 bytes that the area walk must not take for an area.
    const Payload cellPlusOne =
        Payload{}.U8(0x3A).U16(1).U16(0).U16(0xC000).U8(0x1E).U16(1).U8(0x03);
    struct Case {
        const char* name;
        std::uint16_t flags;
        Payload formula;
    };
    const Case names[] = {
        {"\x06", 0x0020, Area3d(0, 0, 9, 0, 3)},  // print area of C
        {"Pair", 0, twoAreas},                    // two areas on A
        {"NoSheet", 0, Area3d(2, 0, 0, 0, 0)},    // entry without a sheet: skipped
        {"Beyond", 0, Area3d(3, 0, 0, 0, 0)},     // no such entry: skipped
        {"CellPlusOne", 0, cellPlusOne},          // no area: skipped
    };
    for (const auto& n : names) b.Record(rec::kName, NameRecord(n.flags, n.name, n.formula));
    b.Eof();
    for (int i = 0; i < 3; ++i) b.Bof(kBofSheet).Eof();
    TXLSFile file;
    Load(file, b);
    auto& sheets = file.Workbook().Sheets();
    TSheet& a = sheets.Items(0);
    TSheet& c = sheets.Items(2);
    ASSERT_EQ(c.PageSetup().PrintArea.Count(), 1);
    EXPECT_EQ(c.PageSetup().PrintArea.Get(0), (TRangeRect{0, 9, 0, 3}));
    EXPECT_EQ(a.PageSetup().PrintArea.Count(), 0);
    ASSERT_EQ(a.Ranges().Count(), 1);
    EXPECT_EQ(a.Ranges().Items(0).Name(), "Pair");
    ASSERT_EQ(a.Ranges().Items(0).Count(), 2);
    EXPECT_EQ(a.Ranges().Items(0).Get(1), (TRangeRect{4, 4, 2, 2}));
    EXPECT_EQ(sheets.Items(1).Ranges().Count(), 0);
    EXPECT_EQ(c.Ranges().Count(), 0);
}

TEST(XLSReader, RowsAndColumns) {
    BiffBuilder b = OneSheet();
    auto row = [](int index, int height, int flags, int xf) {
        return Payload{}.U16(index).U16(0).U16(1).U16(height).U16(0).U16(0).U16(flags).U16(xf);
    };
    auto colinfo = [](int first, int last, int width, int xf, int flags) {
        return Payload{}.U16(first).U16(last).U16(width).U16(xf).U16(flags).U16(0);
    };
    b.Record(rec::kRow, row(3, 300, 0x0022, 0))             // hidden, outline level 2
        .Record(rec::kRow, row(4, 300, 0x00C0, kXfFilled))  // custom height, formatted
        .Record(rec::kRow, row(5, 300, 0x00C0, kXfCount))   // XF beyond the table
        .Record(rec::kRow,
                row(6, 300, 0x0080, 0x3000 | kXfFilled))     // thick borders above and below
        .Record(rec::kColInfo, colinfo(0, 256, 2340, 0, 0))  // cut to column 255
        .Record(rec::kColInfo, colinfo(2, 3, 2340, kXfFilled, 0x0101))  // hidden, outline level 1
        .Eof();
    TXLSFile file;
    Load(file, b);
    TSheet& sheet = file.Workbook().Sheets().Items(0);
    TRow* hidden = sheet.Rows().Find(3);
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->SizePixels(), 0);
    EXPECT_EQ(hidden->OutlineLevel(), 2);
    EXPECT_FALSE(hidden->CustomSize());
    TRow* formatted = sheet.Rows().Find(4);
    ASSERT_NE(formatted, nullptr);
    EXPECT_EQ(formatted->Size(), 15.0);
    EXPECT_TRUE(formatted->CustomSize());
    EXPECT_EQ(formatted->XFIndex(), kXfFilled);
    EXPECT_EQ(sheet.Rows().Find(5)->XFIndex(), 0);
    EXPECT_EQ(sheet.Rows().Find(6)->XFIndex(), kXfFilled);
    EXPECT_EQ(sheet.Columns().Count(), 256);
    EXPECT_EQ(sheet.Columns().Find(0)->SizePixels(), 64);
    EXPECT_EQ(sheet.Columns().Find(2)->SizePixels(), 0);
    EXPECT_EQ(sheet.Columns().Find(3)->OutlineLevel(), 1);
    EXPECT_EQ(sheet.Columns().Find(3)->XFIndex(), kXfFilled);
    EXPECT_EQ(sheet.Columns().Find(4)->OutlineLevel(), 0);

    TXLSFile off;
    off.ReaderOptions.ReadRowInfo = false;
    off.ReaderOptions.ReadColumnInfo = false;
    Load(off, b);
    EXPECT_EQ(off.Workbook().Sheets().Items(0).Rows().Count(), 0);
    EXPECT_EQ(off.Workbook().Sheets().Items(0).Columns().Count(), 0);
}

TEST(XLSReader, MergedAreas) {
    BiffBuilder b = OneSheet();
    b.Record(rec::kMergedCells, Payload{}
                                    .U16(3)
                                    .U16(0)
                                    .U16(1)
                                    .U16(0)
                                    .U16(1)
                                    .U16(3)
                                    .U16(3)
                                    .U16(0)
                                    .U16(4)
                                    .U16(5)
                                    .U16(4)
                                    .U16(0)
                                    .U16(0))  // the last one is upside down
        .Record(rec::kMergedCells,
                Payload{}.U16(1).U16(0).U16(65535).U16(0).U16(255))  // the whole sheet
        .Eof();
    TXLSFile file;
    Load(file, b);
    TSheet& sheet = file.Workbook().Sheets().Items(0);
    ASSERT_EQ(sheet.Ranges().Count(), 4);
    EXPECT_TRUE(sheet.Ranges().Items(0).Merged());
    EXPECT_TRUE(sheet.Cells().Cell(1, 1).Merged());
    EXPECT_TRUE(sheet.Cells().Cell(3, 4).Merged());
    // 16 million merged cells would exhaust memory: the area stays a range, unmerged.
    EXPECT_FALSE(sheet.Ranges().Items(3).Merged());
    EXPECT_EQ(sheet.Ranges().Items(3).Get(0), (TRangeRect{0, 65535, 0, 255}));
    EXPECT_EQ(sheet.Cells().Count(), 4 + 5);
}

TEST(XLSReader, PageSetupAndView) {
    BiffBuilder b = OneSheet();
    b.Record(rec::kSetup, Payload{}
                              .U16(0x0109)
                              .U16(80)
                              .U16(3)
                              .U16(2)
                              .U16(4)
                              .U16(0x0002)
                              .U16(600)
                              .U16(600)
                              .F64(0.3)
                              .F64(0.4)
                              .U16(1))
        .Record(rec::kWsBool, Payload{}.U16(0x0140))
        .Record(rec::kHeader, Payload{}.Counted("&LLeft&CMid&RRight"))
        .Record(rec::kFooter, Payload{}.Counted(std::u16string_view(u"&CStr\u00e1nka")))
        .Record(rec::kFooter, Payload{}.Counted("no codes"))
        .Record(rec::kPane, Payload{}.U16(0x0102).U16(5).U16(0).U16(0).U16(0))
        .Record(rec::kScl, Payload{}.U16(3).U16(4))
        .Record(rec::kScl, Payload{}.U16(3).U16(0))
        .Record(rec::kWindow2, Payload{}.U16(0x0812).U16(0).U16(0))
        .Record(rec::kLeftMargin, Payload{}.F64(0.25))
        .Record(rec::kRightMargin, Payload{}.F64(0.5))
        .Record(rec::kTopMargin, Payload{}.F64(0.75))
        .Record(rec::kBottomMargin, Payload{}.F64(1.25))
        .Record(rec::kPrintHeaders, Payload{}.U16(1))
        .Record(rec::kPrintGridlines, Payload{}.U16(2))
        .Record(rec::kHCenter, Payload{}.U16(1))
        .Record(rec::kVCenter, Payload{}.U16(0))
        .Eof();
    TXLSFile file;
    Load(file, b);
    TSheet& sheet = file.Workbook().Sheets().Items(0);
    const TPageSetup& page = sheet.PageSetup();
    EXPECT_EQ(page.PaperSize, 0x09);
    EXPECT_EQ(page.Scale, 80);
    EXPECT_EQ(page.StartPage, -1);
    EXPECT_EQ(page.FitWidth, 2);
    EXPECT_EQ(page.FitHeight, 4);
    EXPECT_TRUE(page.Portrait);
    EXPECT_FALSE(page.OverThenDown);
    EXPECT_EQ(page.HeaderMargin, 0.3);
    EXPECT_EQ(page.FooterMargin, 0.4);
    EXPECT_FALSE(page.SummaryRowsAbove);
    EXPECT_TRUE(page.SummaryColumnsLeft);
    EXPECT_FALSE(page.UseScale);
    EXPECT_EQ(page.LeftHeader, "Left");
    EXPECT_EQ(page.CenterHeader, "Mid");
    EXPECT_EQ(page.RightHeader, "Right");
    EXPECT_EQ(page.CenterFooter, "Str\xE1nka");  // Windows-1250
    EXPECT_EQ(sheet.PaneColumns, 2);
    EXPECT_EQ(sheet.PaneRows, 5);
    EXPECT_EQ(sheet.Zoom, 75);
    EXPECT_TRUE(sheet.ShowGridlines);
    EXPECT_FALSE(sheet.ShowHeadings);
    EXPECT_TRUE(sheet.ShowZeros);
    EXPECT_TRUE(sheet.PageBreakPreview);
    EXPECT_EQ(page.LeftMargin, 0.25);
    EXPECT_EQ(page.RightMargin, 0.5);
    EXPECT_EQ(page.TopMargin, 0.75);
    EXPECT_EQ(page.BottomMargin, 1.25);
    EXPECT_TRUE(page.PrintHeadings);
    EXPECT_FALSE(page.PrintGridlines);
    EXPECT_TRUE(page.CenterHorizontally);
    EXPECT_FALSE(page.CenterVertically);
}

// Each flag bit of SETUP, WSBOOL and WINDOW2 feeds its own field; every case sets the bits
// the previous one cleared, so a swapped or shifted bit shows up.
TEST(XLSReader, LayoutFlagBits) {
    auto setup = [](std::uint16_t flags) {
        return Payload{}
            .U16(9)
            .U16(100)
            .U16(7)
            .U16(1)
            .U16(1)
            .U16(flags)
            .U16(600)
            .U16(600)
            .F64(0.5)
            .F64(0.5)
            .U16(1);
    };
    struct Expected {
        bool overThenDown, portrait, blackAndWhite, draft;
        int startPage;
        bool rowsAbove, columnsLeft, useScale;
        bool gridlines, headings, zeros, pageBreakPreview;
    };
    struct Case {
        std::uint16_t setupFlags, wsBool, window2;
        Expected want;
    };
    const Case cases[] = {
        {0x0000,
         0x0000,
         0x0000,
         {false, false, false, false, -1, true, true, true, false, false, false, false}},
        {0x0001,
         0x0040,
         0x0002,
         {true, false, false, false, -1, false, true, true, true, false, false, false}},
        {0x0008,
         0x0080,
         0x0004,
         {false, false, true, false, -1, true, false, true, false, true, false, false}},
        {0x0010,
         0x0100,
         0x0010,
         {false, false, false, true, -1, true, true, false, false, false, true, false}},
        {0x0082,
         0x01C0,
         0x0800,
         {false, true, false, false, 7, false, false, false, false, false, false, true}},
        // Bits that feed nothing (no printer settings, notes, frozen panes, selected tab).
        {0x0064,
         0x0001,
         0x0609,
         {false, false, false, false, -1, true, true, true, false, false, false, false}},
    };
    for (const auto& c : cases) {
        BiffBuilder b = OneSheet();
        b.Record(rec::kSetup, setup(c.setupFlags))
            .Record(rec::kWsBool, Payload{}.U16(c.wsBool))
            .Record(rec::kWindow2, Payload{}.U16(c.window2).U16(0).U16(0))
            .Eof();
        TXLSFile file;
        Load(file, b);
        TSheet& sheet = file.Workbook().Sheets().Items(0);
        const TPageSetup& page = sheet.PageSetup();
        const Expected got{page.OverThenDown,       page.Portrait,
                           page.BlackAndWhite,      page.Draft,
                           page.StartPage,          page.SummaryRowsAbove,
                           page.SummaryColumnsLeft, page.UseScale,
                           sheet.ShowGridlines,     sheet.ShowHeadings,
                           sheet.ShowZeros,         sheet.PageBreakPreview};
        const auto tie = [](const Expected& e) {
            return std::make_tuple(e.overThenDown, e.portrait, e.blackAndWhite, e.draft,
                                   e.startPage, e.rowsAbove, e.columnsLeft, e.useScale, e.gridlines,
                                   e.headings, e.zeros, e.pageBreakPreview);
        };
        EXPECT_TRUE(tie(got) == tie(c.want))
            << std::hex << c.setupFlags << " " << c.wsBool << " " << c.window2;
    }
}

TEST(XLSReader, ZoomFromScl) {
    struct Case {
        std::uint16_t numerator, denominator;
        int zoom;
    };
    // Zooms above 255 percent are kept whole: the view field is wider than a byte.
    const Case cases[] = {{3, 4, 75}, {1, 3, 33}, {4, 1, 400}, {3, 0, 100}, {0, 1, 0}};
    for (const auto& c : cases) {
        BiffBuilder b = OneSheet();
        b.Record(rec::kScl, Payload{}.U16(c.numerator).U16(c.denominator)).Eof();
        TXLSFile file;
        Load(file, b);
        EXPECT_EQ(file.Workbook().Sheets().Items(0).Zoom, c.zoom)
            << c.numerator << "/" << c.denominator;
    }
}

TEST(XLSFile, LoadingTwiceKeepsOnlyTheSecondFile) {
    TXLSFile file;
    EXPECT_EQ(file.Workbook().Sheets().Count(), 1);
    BiffBuilder three = Globals({"a", "b", "c"});
    three.Eof();
    for (int i = 0; i < 3; ++i) three.Bof(kBofSheet).Eof();
    Load(file, three);
    EXPECT_EQ(file.Workbook().Sheets().Count(), 3);
    BiffBuilder one = Globals({"z"});
    one.Eof().Bof(kBofSheet).Eof();
    Load(file, one);
    ASSERT_EQ(file.Workbook().Sheets().Count(), 1);
    EXPECT_EQ(file.Workbook().Sheets().Items(0).NameUtf8(), "z");
}

TEST(XLSFile, FailedLoadKeepsWhatWasReadBeforeIt) {
    TXLSFile file;
    BiffBuilder three = Globals({"a", "b", "c"});
    three.Eof();
    for (int i = 0; i < 3; ++i) three.Bof(kBofSheet).Eof();
    Load(file, three);
    // The workbook is cleared before the file is opened.
    EXPECT_THROW(file.LoadFromFile("/nonexistent folder/book.xls"), std::runtime_error);
    EXPECT_EQ(file.Workbook().Sheets().Count(), 0);
    Load(file, three);
    const std::vector<std::uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_THROW(file.LoadFromMemory(text), std::runtime_error);
    EXPECT_EQ(file.Workbook().Sheets().Count(), 0);
    // A failure inside the stream keeps the sheets and cells read up to it.
    BiffBuilder b = OneSheet();
    b.Number(0, 0, kXfPlain, 4).Number(0, 256, kXfPlain, 1).Eof();  // column 256 fails
    EXPECT_THROW(Load(file, b), std::runtime_error);
    ASSERT_EQ(file.Workbook().Sheets().Count(), 1);
    EXPECT_EQ(CellsOf(file).Cell(0, 0).Value(), TCellValue(4.0));
}

TEST(XLSFile, ProgressEndsAtOne) {
    BiffBuilder b = OneSheet();
    b.Number(0, 0, 0, 1).Eof();
    TXLSFile file;
    std::vector<double> seen;
    file.OnProgress = [&](double f) { seen.push_back(f); };
    Load(file, b);
    ASSERT_FALSE(seen.empty());
    for (std::size_t i = 1; i < seen.size(); ++i) EXPECT_LE(seen[i - 1], seen[i]);
    EXPECT_EQ(seen.back(), 1.0);
}

}  // namespace
}  // namespace morvik::xls
