#include <gtest/gtest.h>

#include <array>

#include "TempDir.h"
#include "core/DataExchange.h"

namespace morvik::core {
namespace {

using test::TempDir;
using test::WriteBytes;

using Row = std::array<std::string, 3>;

Row Coordinates(const Workspace& ws, int row) {
    return {ws.sgImput.Cell(2, row), ws.sgImput.Cell(3, row), ws.sgImput.Cell(4, row)};
}

TEST(LoadTextFile, SplitsLinesAndFields) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<Row> rows;  // rows 1.. expected after the load
    };
    const Case cases[] = {
        {"CR LF lines, fourth field dropped",
         "10.5\t20\t30\t40\r\n1\t2\t3\r\n",
         {{"10.5", "20", "30"}, {"1", "2", "3"}}},
        {"lone LF and a last line without end",
         "1\t2\t3\n4\t5\t6",
         {{"1", "2", "3"}, {"4", "5", "6"}}},
        {"leading TAB leaves X empty", "\t5\n", {{"", "5", ""}}},
        {"NUL separates like TAB",
         std::string("7\0"
                     "8\0"
                     "9\n",
                     6),
         {{"7", "8", "9"}}},
        {"Ctrl+Z ends the file",
         "1\t2\t3\r\n\x1A"
         "4\t5\t6\r\n",
         {{"1", "2", "3"}, {"", "", ""}}},
        {"Ctrl+Z in a line ends it and the file",
         "1\t2\x1A"
         "3\r\n9\t9\t9",
         {{"1", "2", ""}, {"", "", ""}}},
        {"lone CR lines",
         "1\t2\t3\r4\t5\t6\r7\t8\t9",
         {{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"", "", ""}}},
        {"lone CR then CR LF then lone LF",
         "1\r\r\n2\n3\r",
         {{"1", "", ""}, {"", "", ""}, {"2", "", ""}, {"3", "", ""}, {"", "", ""}}},
        {"empty line empties its row", "\r\n1\r\n", {{"", "", ""}, {"1", "", ""}}},
        {"blanks and Windows-1250 letters kept", " 1,5 \t\xE8\r\n", {{" 1,5 ", "č", ""}}},
        {"empty file empties every row", "", {{"", "", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.File("skull.txt");
        WriteBytes(path, c.bytes);
        Workspace ws;
        for (int r = 1; r <= 22; ++r) {
            for (int col = 2; col <= 4; ++col) ws.sgImput.SetCell(col, r, "k");
        }
        LoadTextFile(ws, path);
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            EXPECT_EQ(Coordinates(ws, static_cast<int>(i) + 1), c.rows[i]) << "row " << i + 1;
        }
        EXPECT_EQ(Coordinates(ws, 22), (Row{"", "", ""}));  // no earlier skull left over
        EXPECT_EQ(ws.sgImput.Cell(0, 1), "");               // labels untouched
    }
}

TEST(LoadTextFile, LinesAfterTheTwentySecondChangeNothing) {
    TempDir dir;
    std::string bytes;
    for (int i = 1; i <= 30; ++i) bytes += std::to_string(i) + "\t0\t0\r\n";
    WriteBytes(dir.File("a.txt"), bytes);
    Workspace ws;
    LoadTextFile(ws, dir.File("a.txt"));
    EXPECT_EQ(ws.sgImput.Cell(2, 22), "22");
    EXPECT_EQ(ws.sgImput.RowCount(), 23);
}

TEST(LoadFileCommand, DispatchesOnTheExtensionInAnyCaseAndRunsThePass) {
    TempDir dir;
    WriteBytes(dir.File("S.TXT"), "1.5\t2\t3\r\n");
    int imports = 0;
    const WorkbookImporter importer = [&](Workspace& ws, const std::string&) {
        ++imports;
        ws.sgImput2.SetCell(0, 1, "4.25");
    };
    Workspace ws;
    ws.sgImput3.SetCell(2, 999, "1.000.5");
    LoadFileCommand(ws, dir.File("S.TXT"), importer);
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "1,5");
    EXPECT_EQ(ws.sgImput3.Cell(2, 999), "1,000.5");

    LoadFileCommand(ws, dir.File("book.XlS"), importer);
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(ws.sgImput2.Cell(0, 1), "4,25");

    // Cancelled dialog: only the pass.
    ws.sgImput.SetCell(3, 7, "12.5");
    LoadFileCommand(ws, std::nullopt, importer);
    EXPECT_EQ(ws.sgImput.Cell(3, 7), "12,5");
}

TEST(LoadFileCommand, FailingWorkbookStopsBeforeThePass) {
    Workspace ws;
    const WorkbookImporter failing = [](Workspace& w, const std::string&) {
        w.sgImput.SetCell(2, 1, "7.5");
        throw std::runtime_error("Can not open a docfile");
    };
    EXPECT_THROW(LoadFileCommand(ws, std::string("/x/book.xls"), failing), std::runtime_error);
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "7.5");  // written before the failure, no pass
}

TEST(LoadFileCommand, OtherExtensionsAreReportedAfterThePass) {
    Workspace ws;
    ws.sgImput.SetCell(2, 1, "3.5");
    try {
        LoadFileCommand(ws, std::string("/data/dir.with.dot/skull.xlsb"), nullptr);
        FAIL() << "expected a message";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "The file \"skull.xlsb\" was not loaded: only .xls, .xlsx, .xlsm, .ods, .txt "
                     "and .csv files can be loaded.");
    }
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "3,5");
    EXPECT_EQ(KindOfFile("/a.txt/noext"), FileKind::Other);
}

TEST(LoadFileCommand, MissingTextFileStopsBeforeThePass) {
    Workspace ws;
    ws.sgImput.SetCell(2, 1, "3.5");
    try {
        LoadFileCommand(ws, std::string("/nonexistent/skull.txt"), nullptr);
        FAIL() << "expected a message";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"/nonexistent/skull.txt\". No such file or directory");
    }
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "3.5");

    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.txt"));
    EXPECT_THROW(LoadTextFile(ws, dir.File("folder.txt")), std::runtime_error);
}

TEST(PasteText, AnchorsClipsAndAcceptsEveryLineEnd) {
    struct Case {
        const char* name;
        int anchorCol, anchorRow;
        std::string text;
        std::vector<std::tuple<int, int, std::string>> cells;  // (col, row, text)
    };
    const Case cases[] = {
        {"CR LF block at the anchor",
         2,
         5,
         "11\t22\t33\r\n44\t55\t66\r\n",
         {{2, 5, "11"}, {3, 5, "22"}, {4, 5, "33"}, {2, 6, "44"}, {4, 6, "66"}}},
        {"lone LF lines", 2, 1, "1\t2\n3\t4\n", {{2, 1, "1"}, {3, 1, "2"}, {2, 2, "3"}}},
        {"lone CR lines", 2, 1, "1\r2\r", {{2, 1, "1"}, {2, 2, "2"}}},
        {"last line without line end", 3, 2, "a\r\nb", {{3, 2, "a"}, {3, 3, "b"}}},
        {"fields beyond the last column dropped", 3, 1, "x\ty\tz\r\n", {{3, 1, "x"}, {4, 1, "y"}}},
        {"rows beyond the last row dropped", 2, 22, "a\r\nb\r\n", {{2, 22, "a"}}},
        {"empty field written as empty", 2, 3, "\t7\r\n", {{2, 3, ""}, {3, 3, "7"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextTable table(5, 23);
        for (int r = 1; r < 23; ++r) {
            for (int col = 2; col < 5; ++col) table.SetCell(col, r, "o");
        }
        PasteText(table, c.anchorCol, c.anchorRow, c.text);
        for (const auto& [col, row, text] : c.cells) {
            EXPECT_EQ(table.Cell(col, row), text) << col << "," << row;
        }
        EXPECT_EQ(table.RowCount(), 23);
    }
}

TEST(PasteText, ThreeColumnsIntoDimensionsTableKeepOnlyTheFirstField) {
    TextTable dims(2, 18);
    PasteText(dims, 1, 1, "1\t2\t3\r\n4\t5\t6\r\n");
    EXPECT_EQ(dims.Cell(1, 1), "1");
    EXPECT_EQ(dims.Cell(1, 2), "4");
    EXPECT_EQ(dims.Cell(0, 1), "");
}

TEST(PasteText, EmptyTextPastesNothing) {
    TextTable table(3, 10);
    table.SetCell(0, 1, "o");
    PasteText(table, 0, 1, "");
    EXPECT_EQ(table.Cell(0, 1), "o");
}

TEST(ClearTable, EmptiesEveryNonFixedCellOfAGrownTable) {
    TextTable cloud(3, 1000);
    cloud.SetCell(0, 0, "X");
    cloud.SetRowCount(1500);
    for (int r = 1; r < 1500; r += 100) cloud.SetCell(1, r, "5");
    cloud.SetCell(2, 1499, "9");
    ClearTable(cloud, 0, 1);
    EXPECT_EQ(cloud.Cell(0, 0), "X");
    EXPECT_EQ(cloud.Cell(1, 101), "");
    EXPECT_EQ(cloud.Cell(2, 1499), "");
    EXPECT_EQ(cloud.RowCount(), 1500);

    TextTable landmarks(5, 23);
    landmarks.SetCell(0, 3, "Rhinion");
    landmarks.SetCell(1, 3, "RH");
    landmarks.SetCell(2, 3, "1");
    ClearTable(landmarks, 2, 1);
    EXPECT_EQ(landmarks.Cell(0, 3), "Rhinion");
    EXPECT_EQ(landmarks.Cell(1, 3), "RH");
    EXPECT_EQ(landmarks.Cell(2, 3), "");
}

}  // namespace
}  // namespace morvik::core
