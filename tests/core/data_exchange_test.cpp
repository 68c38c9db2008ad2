#include <gtest/gtest.h>

#include <array>

#include "TempDir.h"
#include "compute/Compute.h"
#include "core/DataExchange.h"
#include "core/History.h"
#include "core/Messages.h"
#include "core/WorkbookImport.h"

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
        {"blanks around a field dropped", " 1,5 \t 2\t \r\n", {{"1,5", "2", ""}}},
        {"a first line of words is a header", "X\tY\tZ\r\n1\t\t3\r\n", {{"1", "", "3"}}},
        {"a header may leave a field empty", "x\t\ty\n1\t2\t3\n", {{"1", "2", "3"}}},
        {"fields past Z are not read", "1\t2\t3\tnasion\n", {{"1", "2", "3"}}},
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

TEST(LoadTextFile, LinesAfterTheTwentySecondMustBeEmpty) {
    TempDir dir;
    std::string bytes;
    for (int i = 1; i <= 22; ++i) bytes += std::to_string(i) + "\t0\t0\r\n";
    WriteBytes(dir.File("a.txt"), bytes + "\r\n \t\t\r\n\r\n");
    Workspace ws;
    LoadTextFile(ws, dir.File("a.txt"));
    EXPECT_EQ(ws.sgImput.Cell(2, 22), "22");
    EXPECT_EQ(ws.sgImput.RowCount(), 23);

    WriteBytes(dir.File("a.txt"), bytes + "\r\n23\t0\t0\r\n");
    try {
        LoadTextFile(ws, dir.File("a.txt"));
        FAIL() << "a 23rd landmark was dropped silently";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Text("en"),
                  "Cannot read \"a.txt\": line 24: more lines than the 22 landmarks.");
        EXPECT_EQ(e.Text("cz"), "Soubor „a.txt“ nelze načíst: řádek 24: více řádků než 22 bodů.");
    }
}

// Every table a load may write, cell by cell, with its size.
std::vector<std::string> Tables(const Workspace& ws) {
    std::vector<std::string> cells;
    for (const TextTable* t : {&ws.sgImput, &ws.sgImput2, &ws.sgImput3, &ws.sgRozmery}) {
        cells.push_back(std::to_string(t->RowCount()));
        for (int r = 0; r < t->RowCount(); ++r)
            for (int c = 0; c < t->ColCount(); ++c) cells.push_back(t->Cell(c, r));
    }
    return cells;
}

// A skull loaded before, with a grown cloud, headers and a typed dimension.
Workspace LoadedWorkspace() {
    Workspace ws;
    for (int r = 1; r <= 22; ++r)
        for (int c = 2; c <= 4; ++c) ws.sgImput.SetCell(c, r, "7");
    for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
        cloud->SetCell(0, 0, "X");
        cloud->SetCell(2, 0, "Z");
        cloud->SetRowCount(1500);
        for (int r = 1; r < 1500; ++r) cloud->SetCell(1, r, "4");
    }
    ws.sgRozmery.SetCell(1, 2, "140");
    return ws;
}

// Text and comma-separated files are read by the same rules: a field that is no number, lines
// past the 22 landmarks, a file without a value refuse the whole file and leave every table
// as it was; the message names the line an editor shows, the landmark, the axis and the text.
TEST(LoadTextAndCsv, RefuseWhatIsNoLandmarkAndLeaveTheTables) {
    struct Case {
        const char* file;
        std::string bytes;
        const char* en;
        const char* cz;  // nullptr: not checked
    };
    const Case cases[] = {
        {"a.csv", "X;Y;Z\r\n1;2;3\r\n4;12x;6\r\n",
         "Cannot read \"a.csv\": line 3, landmark N (nasion), axis Y: \"12x\" is not a number.",
         "Soubor „a.csv“ nelze načíst: řádek 3, bod N (Nasion), osa Y: „12x“ není číslo."},
        {"a.txt", "1\t2\t3\r\n4\t5\t6\r\n7\t8\t\xE8\r\n",
         "Cannot read \"a.txt\": line 3, landmark RH (rhinion), axis Z: \"č\" is not a number.",
         "Soubor „a.txt“ nelze načíst: řádek 3, bod RH (Rhinion), osa Z: „č“ není číslo."},
        {"p.txt", "\n\n\n\n1 2 x\n",
         "Cannot read \"p.txt\": line 5, landmark P (prosthion), axis X: \"1 2 x\" is not a "
         "number.",
         "Soubor „p.txt“ nelze načíst: řádek 5, bod P (Prosthion), osa X: „1 2 x“ není číslo."},
        {"inf.txt", "inf\t0\t0\n",
         "Cannot read \"inf.txt\": line 1, landmark G (glabela), axis X: \"inf\" is not a number.",
         nullptr},
        {"nan.csv", "1,nan,0\n",
         "Cannot read \"nan.csv\": line 1, landmark G (glabela), axis Y: \"nan\" is not a number.",
         nullptr},
        {"big.csv", "0;0;1e400\n",
         "Cannot read \"big.csv\": line 1, landmark G (glabela), axis Z: \"1e400\" is not a "
         "number.",
         nullptr},
        // A quoted field may span lines: the count is the editor's, not the record's.
        {"q.csv", "\"Name\r\nX\";Y;Z\r\n1;2;3\r\n4;5;6\n;;\"7\"\"\"\r\n",
         "Cannot read \"q.csv\": line 5, landmark RH (rhinion), axis Z: \"7\"\" is not a number.",
         nullptr},
        {"header.csv", "x;y;z\r\nx;y;z\r\n",
         "Cannot read \"header.csv\": line 2, landmark G (glabela), axis X: \"x\" is not a number.",
         nullptr},
        {"empty.txt", "", "Cannot read \"empty.txt\": it holds no landmarks.",
         "Soubor „empty.txt“ nelze načíst: neobsahuje žádné body."},
        {"empty.csv", "X;Y;Z\r\n", "Cannot read \"empty.csv\": it holds no landmarks.", nullptr},
        {"blank.csv", "\r\n;;\r\n \r\n", "Cannot read \"blank.csv\": it holds no landmarks.",
         nullptr},
        {"long.csv", std::string(22, '\n') + "1;1;1\n\n",
         "Cannot read \"long.csv\": line 23: more lines than the 22 landmarks.", nullptr},
        // Decimal commas where commas separate: each number falls apart into two fields.
        {"comma.csv", "185,9,12,3,45,6\n\n186,2,13,46,1\n",
         "Cannot read \"comma.csv\": line 3 has 5 fields, the line before it 6 (a decimal comma "
         "or a thousands separator in a file separated by commas?).",
         "Soubor „comma.csv“ nelze načíst: řádek 3 má 5 polí, řádek před ním 6 (desetinná čárka "
         "nebo oddělovač tisíců v souboru odděleném čárkami?)."},
        // One line separated by ';' makes ';' the separator of all.
        {"mixed.csv", "1.5,2,3\n4;5;6\n",
         "Cannot read \"mixed.csv\": line 2 has 3 fields, the "
         "line before it 1 (a decimal comma or a thousands separator in a file separated by "
         "commas?).",
         nullptr},
        // A quoted ';' decides nothing: ',' separates, and the fault is found in its field.
        {"quoted.csv", "\"a;b\",y,z\n1,2,3\n4,5x,6\n",
         "Cannot read \"quoted.csv\": line 3, landmark N (nasion), axis Y: \"5x\" is not a "
         "number.",
         nullptr},
        // A NUL byte is quoted, and the message goes on after it.
        {"nul.csv", std::string("1,2\0x,3\n", 8),
         "Cannot read \"nul.csv\": line 1, landmark G (glabela), axis Y: \"2\xE2\x90\x80x\" is "
         "not a number.",
         nullptr},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(dir.File(c.file), c.bytes);
        Workspace ws = LoadedWorkspace();
        const auto before = Tables(ws);
        try {
            LoadFileCommand(ws, dir.File(c.file), nullptr);
            FAIL() << "loaded";
        } catch (const EUserError& e) {
            EXPECT_EQ(e.Text("en"), c.en);
            if (c.cz) {
                EXPECT_EQ(e.Text("cz"), c.cz);
            }
        }
        EXPECT_TRUE(Tables(ws) == before);
    }
}

// A load is the whole skull: the clouds of the last one go, the typed dimensions stay.
TEST(LoadTextAndCsv, ReplaceTheLandmarksAndEmptyTheClouds) {
    TempDir dir;
    std::string csv = "X;Y;Z\r\n";
    for (int i = 1; i <= 22; ++i) csv += std::to_string(i) + ";0,5;\r\n";
    WriteBytes(dir.File("skull.csv"), csv);
    WriteBytes(dir.File("skull.txt"), "1.5\t2\t3\r\n");
    const Workspace fresh;
    for (const char* file : {"skull.csv", "skull.txt"}) {
        SCOPED_TRACE(file);
        Workspace ws = LoadedWorkspace();
        LoadFileCommand(ws, dir.File(file), nullptr);
        for (const TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
            EXPECT_EQ(cloud->RowCount(), fresh.sgImput2.RowCount());
            EXPECT_EQ(cloud->Cell(0, 0), "X");  // the header stays
            EXPECT_EQ(cloud->Cell(2, 0), "Z");
            EXPECT_EQ(cloud->Cell(1, 1), "");
        }
        EXPECT_EQ(ws.sgRozmery.Cell(1, 2), "140");
        EXPECT_EQ(ws.sgImput.Cell(0, 1), "");   // no label written
        EXPECT_EQ(ws.sgImput.Cell(4, 22), "");  // the last skull's basion is gone
    }
    Workspace ws;
    LoadFileCommand(ws, dir.File("skull.csv"), nullptr);
    EXPECT_EQ(Coordinates(ws, 1), (Row{"1", "0,5", ""}));  // the header took no landmark row
    EXPECT_EQ(Coordinates(ws, 22), (Row{"22", "0,5", ""}));

    // The sample workbook's clouds do not score EU-EU for the text file's skull.
    const WorkbookImporter import = [](Workspace& w, const std::string& f) {
        ImportWorkbook(w, f);
    };
    LoadFileCommand(ws, std::string(MORVIK_EXAMPLES_DIR) + "/skull.xls", import);
    ASSERT_FALSE(Calculate(ws).rightCloud);
    LoadFileCommand(ws, dir.File("skull.txt"), import);
    const CalculationGaps gaps = Calculate(ws);
    EXPECT_TRUE(gaps.rightCloud);
    EXPECT_TRUE(gaps.leftCloud);
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
    LoadFileCommand(ws, dir.File("S.TXT"), importer);
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "1,5");

    LoadFileCommand(ws, dir.File("book.XlS"), importer);
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(ws.sgImput2.Cell(0, 1), "4,25");

    // Cancelled dialog: only the pass.
    ws.sgImput.SetCell(3, 7, "12.5");
    ws.sgImput3.SetCell(2, 999, "1.000.5");
    LoadFileCommand(ws, std::nullopt, importer);
    EXPECT_EQ(ws.sgImput.Cell(3, 7), "12,5");
    EXPECT_EQ(ws.sgImput3.Cell(2, 999), "1,000.5");
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
        EXPECT_STREQ(
            e.what(),
            "The file \"skull.xlsb\" was not loaded: only .xls, .xlsx, .xlsm, .ods, .txt, "
            ".csv, .mrk.json, .fcsv, .pp, .ckpt, .pts, .dta and .tps files can be loaded.");
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

// An edit of one table keeps that table alone (not the clouds of up to 65,536 rows beside
// it); undo and redo move that table and leave the others as they stand.
TEST(History, AnEditOfOneTableKeepsAndRestoresThatTableAlone) {
    Workspace ws;
    ws.sgImput.SetCell(2, 1, "1,5");
    ws.sgImput2.SetCell(0, 1, "7");
    History history;
    const History::State one = History::Snapshot(ws, "typed", &ws.sgImput);
    EXPECT_TRUE(one.landmarks && !one.right && !one.left && !one.dimensions);

    history.Record(ws, "loaded", &ws.sgImput);
    ws.sgImput.SetCell(2, 1, "2,5");
    ws.sgImput2.SetCell(0, 1, "8");  // a change no step recorded
    EXPECT_EQ(history.Undo(ws, "typed"), "loaded");
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "1,5");
    EXPECT_EQ(ws.sgImput2.Cell(0, 1), "8");
    EXPECT_EQ(history.Redo(ws, "loaded"), "typed");
    EXPECT_EQ(ws.sgImput.Cell(2, 1), "2,5");
    EXPECT_EQ(ws.sgImput2.Cell(0, 1), "8");

    // A load keeps all four.
    history.Record(ws, "typed");
    ws.sgImput2.SetCell(0, 1, "9");
    history.Undo(ws, "loaded");
    EXPECT_EQ(ws.sgImput2.Cell(0, 1), "8");
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
