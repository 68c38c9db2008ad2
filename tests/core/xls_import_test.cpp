// The workbook import: fixed cells of the first sheet into the landmark and euryon tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>

#include "TempDir.h"
#include "core/WorkbookImport.h"
#include "core/XlsLoader.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/cfb_builder.h"
#include "text/Error.h"
#include "xls/XLSFile.h"

namespace morvik::core {
namespace {

using xls::testing::BiffBuilder;
using xls::testing::kBofGlobals;
using xls::testing::kBofSheet;

// Globals with a plain XF and a date XF (built-in format 14), then the sheets' BOUNDSHEETs;
// the caller writes the first sheet's records after Sheet(), then Done().
class Book {
  public:
    explicit Book(int sheets = 1) {
        b_.Bof(kBofGlobals).Font("Arial").Xf(0, 0).Xf(0, 14);
        for (int i = 0; i < sheets; ++i) b_.BoundSheet("S" + std::to_string(i + 1));
        b_.Eof();
        sheets_ = sheets;
    }
    BiffBuilder& Sheet() {
        b_.Bof(kBofSheet);
        return b_;
    }
    std::string Write(const test::TempDir& dir, const std::string& name) {
        b_.Eof();
        for (int i = 1; i < sheets_; ++i) b_.Bof(kBofSheet).Eof();
        const std::string path = dir.File(name);
        xls::testing::WriteFileBytes(path, xls::testing::BuildWorkbookFile(b_.Bytes()));
        return path;
    }

  private:
    BiffBuilder b_;
    int sheets_ = 1;
};

std::string Cloud(const TextTable& t, int row) {
    return t.Cell(0, row) + "|" + t.Cell(1, row) + "|" + t.Cell(2, row);
}

TEST(XlsImport, FixtureSkull) {
    Workspace ws;
    ImportWorkbook(ws, std::string(MORVIK_XLS_FIXTURE_DIR) + "/skull.xls");
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "12.5");  // a text cell, unchanged
    EXPECT_EQ(ws.sgImput.Cell(3, 1), "-2");
    EXPECT_EQ(ws.sgImput.Cell(2, 22), "22.5");
    EXPECT_EQ(ws.sgImput.Cell(4, 22), "2.75");
    EXPECT_EQ(ws.sgImput.Cell(0, 1), "");  // column A is not read
    EXPECT_EQ(Cloud(ws.sgImput2, 30), "130|7.5|-30");
    EXPECT_EQ(Cloud(ws.sgImput2, 31), "||");
    EXPECT_EQ(Cloud(ws.sgImput3, 20), "220.125|20|0.02");
    EXPECT_EQ(ws.sgImput2.RowCount(), kEuryonDefaultRows);
}

TEST(XlsImport, ValueTexts) {
    test::TempDir dir;
    Book book;
    book.Sheet()
        .Number(1, 2, 0, 0.1 + 0.2)  // 15 significant digits
        .Number(1, 3, 0, 1e20)
        .Number(1, 4, 0, 0.000001)
        .Number(2, 2, 0, 123456789012.5)
        .Label(2, 3, 0, std::string_view("x y"))
        .BoolErr(2, 4, 0, 1, 0)
        .Number(23, 2, 0, 99)  // row 24: beyond the landmarks
        .Number(1, 7, 0, 5)    // a cloud point with empty Y and Z
        .Number(2, 7, 0, 6)
        .Number(2, 8, 0, 7)
        .Number(4, 7, 0, 9);  // below a gap: not read
    const std::string path = book.Write(dir, "values.xls");
    Workspace ws;
    ws.sgImput.SetCell(2, 3, "old");
    ImportWorkbook(ws, path);
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "0.3");
    EXPECT_EQ(ws.sgImput.Cell(3, 1), "1E20");
    EXPECT_EQ(ws.sgImput.Cell(4, 1), "1E-6");
    EXPECT_EQ(ws.sgImput.Cell(2, 2), "123456789012.5");
    EXPECT_EQ(ws.sgImput.Cell(3, 2), "x y");
    EXPECT_EQ(ws.sgImput.Cell(4, 2), "TRUE");
    EXPECT_EQ(ws.sgImput.Cell(2, 3), "");  // every landmark cell is overwritten
    EXPECT_EQ(Cloud(ws.sgImput2, 1), "5||");
    EXPECT_EQ(Cloud(ws.sgImput2, 2), "6|7|");
    EXPECT_EQ(Cloud(ws.sgImput2, 3), "||");
    EXPECT_EQ(Cloud(ws.sgImput2, 4), "||");
}

TEST(XlsImport, CloudsGrowTheGridAndAShorterCloudLeavesNoOldPoints) {
    test::TempDir dir;
    Book big;
    BiffBuilder& s = big.Sheet();
    for (int r = 1; r <= 1200; ++r)
        s.Number(r, 12, 0, r).Number(r, 13, 0, -r).Number(r, 14, 0, 0.5);
    const std::string bigPath = big.Write(dir, "big.xls");
    Book small;
    BiffBuilder& t = small.Sheet();
    for (int r = 1; r <= 300; ++r)
        t.Number(r, 12, 0, 1000 + r).Number(r, 13, 0, 0).Number(r, 14, 0, 0);
    const std::string smallPath = small.Write(dir, "small.xls");

    Workspace ws;
    ws.sgImput3.SetCell(0, 0, "X");  // the header row is not touched
    ImportWorkbook(ws, bigPath);
    EXPECT_EQ(ws.sgImput3.RowCount(), 1201);
    EXPECT_EQ(Cloud(ws.sgImput3, 1200), "1200|-1200|0.5");
    ImportWorkbook(ws, smallPath);
    EXPECT_EQ(ws.sgImput3.RowCount(), 1201);
    EXPECT_EQ(Cloud(ws.sgImput3, 300), "1300|0|0");
    EXPECT_EQ(Cloud(ws.sgImput3, 301), "||");
    EXPECT_EQ(Cloud(ws.sgImput3, 1200), "||");
    EXPECT_EQ(ws.sgImput3.Cell(0, 0), "X");
}

TEST(XlsImport, EmptyFirstSheetAndOtherSheets) {
    test::TempDir dir;
    Book book(2);
    book.Sheet();  // the first sheet stays empty; the second one is never read
    const std::string path = book.Write(dir, "empty.xls");
    Workspace ws;
    ws.sgImput.SetCell(3, 5, "1,5");
    ImportWorkbook(ws, path);
    EXPECT_EQ(ws.sgImput.Cell(3, 5), "");
    EXPECT_EQ(ws.sgImput2.RowCount(), kEuryonDefaultRows);
}

TEST(XlsImport, FailuresKeepTheTables) {
    test::TempDir dir;
    BiffBuilder noSheets;
    noSheets.Bof(kBofGlobals).Eof();
    const std::string noSheetsPath = dir.File("nosheets.xls");
    xls::testing::WriteFileBytes(noSheetsPath, xls::testing::BuildWorkbookFile(noSheets.Bytes()));
    const std::string textPath = dir.File("text.xls");
    test::WriteBytes(textPath, "not a workbook");

    Workspace ws;
    ws.sgImput.SetCell(2, 1, "7");
    try {
        ImportWorkbook(ws, noSheetsPath);
        FAIL() << "a workbook without sheets loaded";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "List index (0) out of bounds !");
    }
    EXPECT_THROW(ImportWorkbook(ws, textPath), std::runtime_error);
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "7");
}

// An undefined or infinite number in a cell the import reads would become 0 (a landmark at
// the origin): the file is refused, naming the cell, and no table changes.
TEST(XlsImport, NonFiniteNumberRefusesTheFileNamingTheCell) {
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    struct Case {
        int row, col;
        double value;
        const char* cell;
    };
    const Case cases[] = {
        {13, 3, kNan, "D14"},  // a landmark's Y
        {1, 2, -kInf, "C2"},   // the first landmark cell
        {2, 8, kInf, "I3"},    // right cloud, Y of its second point
        {1, 12, kNan, "M2"},   // left cloud, X of its first point
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        test::TempDir dir;
        Book book;
        BiffBuilder& s = book.Sheet();
        const auto put = [&](int row, int col, double v) {
            s.Number(row, col, 0, row == c.row && col == c.col ? c.value : v);
        };
        for (int r = 1; r <= 22; ++r) {
            for (int k = 2; k <= 4; ++k) put(r, k, r * 0.5);
        }
        for (int r = 1; r <= 3; ++r) {
            for (int k : {7, 8, 9, 12, 13, 14}) put(r, k, r);
        }
        const std::string path = book.Write(dir, "nonfinite.xls");

        Workspace ws;
        ws.sgImput.SetCell(3, 13, "4,5");
        ws.sgImput2.SetCell(1, 2, "6");
        ws.sgImput3.SetCell(0, 1, "7");
        const Workspace before = ws;
        try {
            ImportWorkbook(ws, path);
            FAIL() << "a non-finite number was imported";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("The cell ") + c.cell + " holds no finite number.");
        }
        for (const auto& [got, was] :
             {std::pair{&ws.sgImput, &before.sgImput}, std::pair{&ws.sgImput2, &before.sgImput2},
              std::pair{&ws.sgImput3, &before.sgImput3}}) {
            ASSERT_EQ(got->RowCount(), was->RowCount());
            for (int r = 0; r < got->RowCount(); ++r) {
                for (int k = 0; k < got->ColCount(); ++k) {
                    ASSERT_EQ(got->Cell(k, r), was->Cell(k, r)) << k << "," << r;
                }
            }
        }
    }
}

// The loader shows numbers under General without asking the reader for their text; on every
// cell of the shared corpus its text is still the reader's, and a value read without text
// differs from the cell only there.
TEST(XlsImport, CellTextIsTheReadersOnTheCorpus) {
    const std::filesystem::path corpus = std::filesystem::path(MORVIK_SHARED_DIR) / "corpus/xls";
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    // Separators other than the reader's own, as a Czech desktop has them.
    ReaderSettings settings;
    settings.decimalSeparator = ",";
    settings.thousandSeparator = "\xC2\xA0";
    settings.dateSeparator = ".";
    settings.shortDateFormat = "d.m.yyyy";
    xls::TReaderSettings readerSettings;
    readerSettings.Format.DecimalSeparator = settings.decimalSeparator;
    readerSettings.Format.ThousandSeparator = settings.thousandSeparator;
    readerSettings.Format.DateSeparator = settings.dateSeparator;
    readerSettings.Format.ShortDateFormat = settings.shortDateFormat;
    int numbers = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        if (entry.path().extension() != ".xls") continue;
        xls::TXLSFile file(readerSettings);
        std::unique_ptr<WorkbookCells> cells;
        try {
            file.LoadFromFile(entry.path().string());
            cells = OpenXlsWorkbook(entry.path().string(), settings);
        } catch (const std::exception&) {
            continue;  // the reader's own tests cover the files it refuses
        }
        for (int s = 0; s < file.Workbook().Sheets().Count(); ++s) {
            const xls::TCells& sheetCells = file.Workbook().Sheets().Items(s).Cells();
            for (int i = 0; i < sheetCells.Count(); ++i) {
                const xls::TCell& cell = sheetCells.Items(i);
                const CellValue full = cells->Cell(s, cell.Row(), cell.Col());
                ASSERT_EQ(full.text, cell.DisplayText())
                    << entry.path() << " sheet " << s << " " << cell.Row() << "," << cell.Col();
                const CellValue value = cells->Value(s, cell.Row(), cell.Col());
                ASSERT_EQ(value.kind, full.kind);
                ASSERT_EQ(value.text, full.kind == CellKind::Number ? "" : full.text);
                numbers += full.kind == CellKind::Number;
            }
        }
    }
    EXPECT_GT(numbers, 10000);
}

}  // namespace
}  // namespace morvik::core
