// The newer file kinds in the load command: comma-separated text, and the same skull saved as
// .xlsx and .ods by other programs, which must import exactly as its .xls does.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "core/DataExchange.h"
#include "core/WorkbookImport.h"
#include "text/Error.h"

namespace morvik::core {
namespace {

using test::TempDir;
using test::WriteBytes;

std::string Join(const std::array<std::string, 3>& fields) {
    return fields[0] + "|" + fields[1] + "|" + fields[2];
}

TEST(Csv, RecordsFieldsSeparatorsAndEncodings) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> records;
    } cases[] = {
        {"commas", "1.5,2,3\n4,5,6,7\n", {"1.5|2|3", "4|5|6"}},
        {"semicolons keep decimal commas", "1,5;2,25;-3\r\n", {"1,5|2,25|-3"}},
        {"a semicolon anywhere decides", "a,b;c\n", {"a,b|c|"}},
        {"quotes hold separators, line ends and quotes",
         "\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\nlast",
         {"x,y|say \"hi\"|two\r\nlines", "last||"}},
        {"a quote inside a field stands as it is", "ab\"c,d\n", {"ab\"c|d|"}},
        {"lone CR ends a record; a final line end starts none", "1\r2\r\n\n", {"1||", "2||", "||"}},
        {"UTF-8 with its mark", "\xEF\xBB\xBF\xC5\xA1,1\n", {"\xC5\xA1|1|"}},
        {"Windows-1250 where UTF-8 does not fit", "\x9A\xE8,1\n", {"\xC5\xA1\xC4\x8D|1|"}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto records = ParseCsvRecords(c.bytes, 22);
        std::vector<std::string> got;
        for (const auto& r : records) got.push_back(Join(r));
        EXPECT_EQ(got, c.records);
    }
    EXPECT_EQ(ParseCsvRecords("1\n2\n3\n", 2).size(), 2u);
}

TEST(Csv, LoadCommandFillsLandmarksInAnyLetterCaseAndRunsThePass) {
    TempDir dir;
    WriteBytes(dir.File("S.CSV"), "1.5,2,3\r\n\"4.5\",5,6\r\n");
    Workspace ws;
    ws.sgImput.SetCell(3, 5, "left from the last skull");
    LoadFileCommand(ws, dir.File("S.CSV"), nullptr);
    EXPECT_EQ(ws.sgImput.Cell(3, 5), "");
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "1,5");
    EXPECT_EQ(ws.sgImput.Cell(4, 1), "3");
    EXPECT_EQ(ws.sgImput.Cell(2, 2), "4,5");
    int imports = 0;
    for (const char* name : {"a.XLSX", "b.xlsm", "c.Ods", "d.xls"}) {
        LoadFileCommand(ws, dir.File(name), [&](Workspace&, const std::string&) { ++imports; });
    }
    EXPECT_EQ(imports, 4);
}

std::string Tables(const Workspace& ws) {
    std::string out;
    for (const TextTable* t : {&ws.sgImput, &ws.sgImput2, &ws.sgImput3}) {
        out += "[" + std::to_string(t->RowCount()) + "x" + std::to_string(t->ColCount()) + "]";
        for (int r = 0; r < t->RowCount(); ++r) {
            for (int c = 0; c < t->ColCount(); ++c) out += t->Cell(c, r) + "|";
            out += "\n";
        }
    }
    return out;
}

TEST(PackageImport, SkullSavedByOtherProgramsImportsAsItsXls) {
    Workspace fromXls;
    ImportWorkbook(fromXls, std::string(MORVIK_EXAMPLES_DIR) + "/skull.xls");
    const std::string expected = Tables(fromXls);
    ASSERT_NE(fromXls.sgImput.Cell(2, 1), "");
    for (const char* name : {"skull.xlsx", "skull.ods", "skull-openpyxl.xlsx"}) {
        SCOPED_TRACE(name);
        Workspace ws;
        ImportWorkbook(ws, std::string(MORVIK_OOXML_FIXTURE_DIR) + "/" + name);
        EXPECT_EQ(Tables(ws), expected);
    }
}

TEST(PackageImport, DamagedPackageKeepsTheTablesAndSaysWhy) {
    TempDir dir;
    WriteBytes(dir.File("bad.xlsx"), "PK\x03\x04 not really");
    Workspace ws;
    ws.sgImput.SetCell(2, 1, "7");
    try {
        ImportWorkbook(ws, dir.File("bad.xlsx"));
        FAIL() << "read";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "The file is not a zip archive, or its directory is damaged.");
    }
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "7");
}

}  // namespace
}  // namespace morvik::core
