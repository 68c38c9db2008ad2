// What the user is told, in both languages, and the commands that decide it.
#include "core/Messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "TempDir.h"
#include "compute/Compute.h"
#include "core/Commands.h"
#include "core/EquationSets.h"
#include "core/IniFile.h"
#include "core/WorkbookImport.h"
#include "tests/xls/biff_builder.h"
#include "tests/xls/cfb_builder.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::string LoadMessage(Workspace& ws, const std::string& path, const char* lang) {
    try {
        LoadMeasurementFile(ws, path,
                            [](Workspace& w, const std::string& file) { ImportWorkbook(w, file); });
    } catch (const std::exception& e) {
        return Explain(e, lang);
    }
    return "";
}

// Each load failure names the file, says what happened, and keeps the reader's own text.
TEST(Messages, LoadFailuresNameTheFileInTheInterfaceLanguage) {
    TempDir dir;
    WriteBytes(dir.File("skull.xls"), "not a workbook at all");
    xls::testing::BiffBuilder locked;
    locked.Bof(xls::testing::kBofGlobals)
        .Record(xls::testing::rec::kProtect, xls::testing::Payload{}.U16(1))
        .Eof();
    xls::testing::WriteFileBytes(dir.File("locked.xls"),
                                 xls::testing::BuildWorkbookFile(locked.Bytes()));
    WriteBytes(dir.File("notes.doc"), "x");
    struct Case {
        std::string file;
        const char* cz;
        const char* en;
    };
    const Case cases[] = {
        {"skull.xls",
         "Soubor „skull.xls“ nelze načíst: není to sešit Excel 97–2003 (Can not open a docfile).",
         "Cannot read \"skull.xls\": it is not an Excel 97–2003 workbook (Can not open a "
         "docfile)."},
        {"gone.xls", "Soubor „gone.xls“ nelze načíst: neexistuje.",
         "Cannot read \"gone.xls\": the file does not exist."},
        {"gone.txt", "Soubor „gone.txt“ nelze načíst: neexistuje.",
         "Cannot read \"gone.txt\": the file does not exist."},
        {"locked.xls",
         "Soubor „locked.xls“ nelze načíst: sešit je chráněn heslem (Reading of "
         "password-protected workbooks not supported).",
         "Cannot read \"locked.xls\": the workbook is protected by a password (Reading of "
         "password-protected workbooks not supported)."},
        {"notes.doc",
         "Soubor „notes.doc“ nebyl načten: načíst lze jen soubory .xls, .xlsx, .xlsm, .ods, .txt, "
         ".csv, .mrk.json, .fcsv, .pp, .ckpt, .pts, .dta, .tps.",
         "The file \"notes.doc\" was not loaded: only .xls, .xlsx, .xlsm, .ods, .txt, .csv, "
         ".mrk.json, .fcsv, .pp, .ckpt, .pts, .dta, .tps files can be loaded."},
    };
    for (const Case& c : cases) {
        Workspace ws;
        EXPECT_EQ(LoadMessage(ws, dir.File(c.file), "cz"), c.cz);
        EXPECT_EQ(LoadMessage(ws, dir.File(c.file), "en"), c.en);
    }
    // The reader's code stays on the error (its compound-file code 16, whose cause says
    // "Can not open a docfile").
    try {
        Workspace ws;
        LoadMeasurementFile(ws, dir.File("skull.xls"),
                            [](Workspace& w, const std::string& f) { ImportWorkbook(w, f); });
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Code(), 16);
        EXPECT_EQ(e.Id(), Msg::NotXlsWorkbook);
    }
}

// A number that cannot be read names its cell; other failures keep their own text.
TEST(Messages, CellValuesAndOtherFailuresInBothLanguages) {
    struct Case {
        ECellValueError error;
        const char* cz;
    };
    const EConvertError bad("'1.2' is not a valid floating point value", "1.2");
    const Case cases[] = {
        {{ValuePlace::Landmark, 3, 13, bad},
         "Nelze přečíst souřadnici Y bodu SORdx („1.2“ není platné číslo)."},
        {{ValuePlace::LeftCloud, 2, 40, bad},
         "Nelze přečíst souřadnici Z bodu 40 mračna euryon sin („1.2“ není platné číslo)."},
        {{ValuePlace::Coefficient, 1, 9, bad},
         "Nelze přečíst koeficient rozměru Horizontální ohyb dx v rovnici 6 („1.2“ není platné "
         "číslo)."},
        {{ValuePlace::Dimension, 1, 2, bad},
         "Nelze přečíst rozměr EU-EU („1.2“ není platné číslo)."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Explain(c.error, "cz"), c.cz);
        EXPECT_EQ(Explain(c.error, "en"), c.error.what());
    }
    // The same from the calculation and the conversion themselves: nothing English in Czech.
    Workspace ws;
    for (int r = 1; r <= kLandmarkCount; ++r)
        for (int c = 2; c <= 4; ++c) ws.sgImput.SetCell(c, r, "1");
    ws.sgImput.SetCell(3, 2, "12x");
    ws.sg.SetCell(1, 4, "1");  // N-P
    const auto failure = [](auto action) {
        try {
            action();
        } catch (...) {
            return std::current_exception();
        }
        return std::exception_ptr{};
    };
    EXPECT_EQ(Explain(failure([&] { Calculate(ws); }), "cz"),
              "Nelze přečíst souřadnici Y bodu N („12x“ není platné číslo).");
    EXPECT_EQ(Explain(failure([] { ParseDecimal("abc"); }), "cz"),
              "Číslo nelze přečíst („abc“ není platné číslo).");
    EXPECT_EQ(Explain(failure([] { ParseDecimal("abc"); }), "en"),
              "A number cannot be read ('abc' is not a valid floating point value).");
    EXPECT_EQ(Explain(EIniWriteError("Unable to write to /x/Settings.ini"), "en"),
              "Cannot write to the settings file (Unable to write to /x/Settings.ini).");
    EXPECT_EQ(Explain(std::exception_ptr{}, "cz"), "Příkaz se nezdařil.");
}

// A workbook number that is not finite names its cell, in either language, and its file.
TEST(Messages, NonFiniteWorkbookCell) {
    struct Cells : WorkbookCells {
        int SheetCount() const override { return 1; }
        std::string SheetName(int) const override { return "List1"; }
        CellValue Cell(int, int row, int col) const override {
            if (row == 4 && col == 2)
                return {CellKind::Number, std::numeric_limits<double>::infinity(), ""};
            return {};
        }
    };
    TempDir dir;
    WriteBytes(dir.File("inf.xls"), "x");
    Workspace ws;
    try {
        LoadMeasurementFile(ws, dir.File("inf.xls"), [](Workspace& w, const std::string&) {
            ImportWorkbookCells(w, Cells{});
        });
        FAIL() << "imported";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Text("cz"),
                  "Soubor „inf.xls“ nelze načíst (Buňka C5 neobsahuje konečné číslo).");
        EXPECT_EQ(e.Text("en"), "Cannot read \"inf.xls\" (The cell C5 holds no finite number).");
    }
}

// What the system says about a file reaches a Czech message in Czech, with its errno kept.
TEST(Messages, SystemErrorsInTheInterfaceLanguage) {
    TempDir dir;
    WriteBytes(dir.File("file"), "x");
    std::filesystem::create_directory(dir.File("folder.txt"));
    Workspace ws;
    ws.resultCurrent = true;
    struct Case {
        const char* name;
        std::function<void()> action;
        int code;
        std::string cz;
        std::string enStart;
    };
    const Case cases[] = {
        {"report in a missing folder", [&] { ExportCommand(ws, 0, dir.File("none") + "/r.txt"); },
         ENOENT,
         "Výsledek nelze uložit do souboru „r.txt“ (Soubor „" + dir.File("none") +
             "/r.txt“ nelze vytvořit. Soubor nebo složka neexistuje).",
         "Cannot write the report to \"r.txt\" (Cannot create file \"" + dir.File("none") +
             "/r.txt\". No such file or directory)"},
        {"report under a file", [&] { ExportCommand(ws, 0, dir.File("file") + "/r.txt"); }, ENOTDIR,
         "Výsledek nelze uložit do souboru „r.txt“ (Soubor „" + dir.File("file") +
             "/r.txt“ nelze vytvořit. Část cesty není složka).",
         "Cannot write the report to \"r.txt\" (Cannot create file"},
        {"a folder loaded as a file", [&] { LoadMeasurementFile(ws, dir.File("folder.txt"), {}); },
         EISDIR,
         "Soubor „folder.txt“ nelze načíst (Soubor „" + dir.File("folder.txt") +
             "“ nelze otevřít. Je to složka).",
         "Cannot read \"folder.txt\" (Cannot open file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.action();
            FAIL() << "no failure";
        } catch (const EUserError& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_EQ(Explain(e, "cz"), c.cz);
            EXPECT_EQ(Explain(e, "en").rfind(c.enStart, 0), 0u) << Explain(e, "en");
        }
    }
    EXPECT_EQ(SystemReason(EROFS, "cz"), "Systém souborů je jen pro čtení");
    EXPECT_EQ(SystemReason(EDOM, "cz"), std::strerror(EDOM));  // no Czech of its own
}

// What a verdict rests on: the equations that voted out of those in use, votes by sex.
TEST(Messages, VoteSummary) {
    Workspace ws;
    for (int k = 1; k <= 6; ++k) ws.sg.SetCell(k, kConstantRow, k <= 3 ? "1" : "-1");
    EXPECT_EQ(VoteSummary(ws), "");  // nothing calculated yet
    Calculate(ws);
    EXPECT_EQ(VoteSummary(ws), "6 ze 7: muž 3, žena 3");  // a tie; column 7 has no equation
    ws.lang = "en";
    EXPECT_EQ(VoteSummary(ws), "6 of 7: male 3, female 3");
    ws.cb = {false, false, false, false, true, false, false};
    Calculate(ws);
    EXPECT_EQ(VoteSummary(ws), "1 of 1: male 0, female 1");
    ws.lang = "cz";
    EXPECT_EQ(VoteSummary(ws), "1 z 1: muž 0, žena 1");
    ws.sgImput.SetCell(2, 1, "5");  // a change makes the result stale
    PasteCommand(ws, ws.sgImput, 2, 1, "6");
    EXPECT_EQ(VoteSummary(ws), "");
}

// The line after a calculation: landmarks (or dimensions from measurements) and equations.
TEST(Messages, GapsLine) {
    CalculationGaps orbit;
    for (int row = 12; row <= 15; ++row) orbit.landmarks.set(static_cast<std::size_t>(row - 1));
    orbit.leftCloud = true;
    orbit.leftOut.set(2).set(3);
    EXPECT_EQ(GapsLine(orbit, "cz"),
              "Chybějící body: Ddx, SORdx, FMOdx, ZORdx, euryon sin. Vynechané rovnice: 7, 3.");
    EXPECT_EQ(GapsLine(orbit, "en"),
              "Missing landmarks: Ddx, SORdx, FMOdx, ZORdx, euryon sin. Equations left out: 7, 3.");
    CalculationGaps measured;
    measured.fromMeasurements = true;
    measured.dimensions.set(1);
    measured.leftOut.set(0);
    EXPECT_EQ(GapsLine(measured, "en"), "Missing dimensions: EU-EU. Equations left out: 6.");
    EXPECT_EQ(GapsLine(CalculationGaps{}, "cz"), "");
}

// Export writes only a result that belongs to the tables; a load, a paste or a clear makes
// it stale.
TEST(Commands, StaleResultIsNotExported) {
    TempDir dir;
    WriteBytes(dir.File("skull.txt"), "1\t2\t3\r\n");
    Workspace ws;
    ws.sg.SetCell(1, kConstantRow, "1");
    const std::string report = dir.File("report.txt");
    try {
        ExportCommand(ws, 3, report);
        FAIL() << "exported without a result";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Text("cz"),
                  "Není co exportovat: zobrazená data ještě nebyla spočítána, soubor nebyl "
                  "zapsán.");
    }
    EXPECT_FALSE(std::filesystem::exists(report));

    using Change = void (*)(Workspace&, const std::string&);
    const Change changes[] = {
        [](Workspace& w, const std::string& d) { LoadMeasurementFile(w, d + "/skull.txt", {}); },
        [](Workspace& w, const std::string&) { PasteCommand(w, w.sgImput, 2, 1, "4"); },
        [](Workspace& w, const std::string&) { ClearCommand(w, w.sgImput2, 0, 1); },
    };
    for (const Change change : changes) {
        Calculate(ws);
        ExportCommand(ws, 3, report);
        EXPECT_EQ(ReadBytes(report).substr(0, 13), "Univerz\xE1ln\xED\r\n");
        change(ws, dir.Path().string());
        EXPECT_FALSE(ws.resultCurrent);
        EXPECT_EQ(ws.result[0].text, "...");
        EXPECT_EQ(ws.Label1.text, "Muž / Žena");
        EXPECT_THROW(ExportCommand(ws, 3, report), EUserError);
    }
    Calculate(ws);
    try {
        ExportCommand(ws, 3, dir.File("skull.txt") + "/r.txt");
        FAIL() << "wrote into a file as if it were a folder";
    } catch (const EUserError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot write the report to \"r.txt\" (", 0), 0u)
            << e.what();
    }
}

// A long cloud grows its grid; what a fixed table cannot hold is counted and reported.
TEST(Commands, PasteGrowsCloudsAndReportsWhatItCannotPlace) {
    Workspace ws;
    std::string cloud;
    for (int i = 1; i <= 5000; ++i) cloud += std::to_string(i) + "\t1\t2\r\n";
    PasteCommand(ws, ws.sgImput2, 0, 1, cloud);
    EXPECT_EQ(ws.sgImput2.RowCount(), 5001);
    EXPECT_EQ(ws.sgImput2.Cell(0, 5000), "5000");

    struct Case {
        const char* text;
        int col, row;
        long long unplaced;
    };
    const Case cases[] = {
        {"1\t2\t3", 2, 1, 0},           {"1\t2\t3\t4", 2, 1, 1},  // one field right of Z
        {"1\t2\t3\t", 2, 1, 0},                                   // an empty field loses nothing
        {"1\n2\n3", 2, 21, 1},                                    // one line below basion
        {"1\t2\n3\t4\n5\t6", 3, 22, 4},                           // two lines below basion
    };
    for (const Case& c : cases) {
        Workspace w;
        EXPECT_EQ(PasteText(w.sgImput, c.col, c.row, c.text).unplaced, c.unplaced) << c.text;
    }
    try {
        PasteCommand(ws, ws.sgImput, 3, 22, "1\t2\n3\t4\n5\t6");
        FAIL() << "nothing reported";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Text("cz"), "Vkládaný text se do tabulky nevešel celý; nevložené hodnoty: 4.");
    }
    EXPECT_EQ(ws.sgImput.Cell(3, 22), "1");  // what fits stays pasted

    // Copy gives back what paste reads.
    const std::string copied = CopyText(ws.sgImput2, 0, 4999, 2, 5000);
    EXPECT_EQ(copied, "4999\t1\t2\r\n5000\t1\t2\r\n");
    Workspace other;
    EXPECT_EQ(PasteText(other.sgImput2, 0, 1, copied).unplaced, 0);
    EXPECT_EQ(other.sgImput2.Cell(0, 2), "5000");
}

// Names, abbreviations and headers are no data: a paste anchored on one starts at the first
// data cell of its row (or of the first data row), a clear leaves them.
TEST(Commands, PasteAndClearNeverWriteALabel) {
    Workspace ws;
    const auto label = [](const Workspace& w) {
        return std::vector<std::string>{w.sgImput.Cell(0, 5),   w.sgImput.Cell(1, 5),
                                        w.sgImput.Cell(2, 0),   w.sgImput2.Cell(0, 0),
                                        w.sgRozmery.Cell(0, 3), w.sg.Cell(0, 1),
                                        w.sg.Cell(1, 0)};
    };
    ws.sgImput.SetCell(0, 5, "Prosthion");
    ws.sgImput.SetCell(1, 5, "P");
    ws.sgImput.SetCell(2, 0, "X");
    ws.sgImput2.SetCell(0, 0, "X");
    ws.sgRozmery.SetCell(0, 3, "ZYG-ZYG");
    ws.sg.SetCell(0, 1, "G-OP");
    ws.sg.SetCell(1, 0, "6");
    const auto labels = label(ws);
    struct Case {
        TextTable* table;
        int col, row;
        int dataCol, dataRow;  // where the first field lands
    };
    const Case cases[] = {
        {&ws.sgImput, 0, 5, 2, 5}, {&ws.sgImput, 1, 5, 2, 5},  {&ws.sgImput, 3, 0, 3, 1},
        {&ws.sgImput, 0, 0, 2, 1}, {&ws.sgImput2, 0, 0, 0, 1}, {&ws.sgRozmery, 0, 3, 1, 3},
        {&ws.sg, 0, 0, 1, 1},      {&ws.sg, 0, 4, 1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.col) + "," + std::to_string(c.row));
        try {
            PasteCommand(ws, *c.table, c.col, c.row, "11\t12\r\n13");
        } catch (const EUserError&) {  // a field beyond a narrow table
        }
        EXPECT_EQ(c.table->Cell(c.dataCol, c.dataRow), "11");
        EXPECT_EQ(c.table->Cell(c.dataCol, c.dataRow + 1), "13");
        EXPECT_EQ(label(ws), labels);
    }
    for (TextTable* table : {&ws.sgImput, &ws.sgImput2, &ws.sgRozmery, &ws.sg}) {
        ClearCommand(ws, *table, 0, 0);
        ClearCommand(ws, *table);
    }
    EXPECT_EQ(label(ws), labels);
    EXPECT_EQ(ws.sgImput.Cell(2, 5), "");
    EXPECT_EQ(ws.sg.Cell(1, 1), "");
}

// UTF-8 settings read as UTF-8, with or without a byte order mark; what is missing is said.
TEST(Settings, Utf8FilesAndNotices) {
    TempDir dir;
    const std::string body = "[Global]\r\nLang=en\r\n[Univerzální]\r\nsg_1_1=1,5\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool utf8;
        std::vector<Notice> notices;  // at start, in English
    };
    // Reading a UTF-8 file is information, not a failure.
    const Case cases[] = {
        {"bom.ini",
         "\xEF\xBB\xBF" + body,
         true,
         {{"The settings file \"bom.ini\" is in UTF-8, not Windows-1250; it was read as UTF-8.",
           true}}},
        {"plain.ini",
         body,
         true,
         {{"The settings file \"plain.ini\" is in UTF-8, not Windows-1250; it was read as "
           "UTF-8.",
           true}}},
        {"cp1250.ini", "[Global]\r\nLang=en\r\n[Univerz\xE1ln\xED]\r\nsg_1_1=1,5\r\n", false, {}},
        {"empty.ini",
         "[Global]\r\nLang=en\r\n[Univerz\xE1ln\xED]\r\nsg_1_1=\r\n",
         false,
         {{"The settings file \"empty.ini\" holds no coefficients for the set \"Universal\".",
           false}}},
    };
    for (const Case& c : cases) {
        WriteBytes(dir.File(c.name), c.bytes);
        const IniFile ini(dir.File(c.name));
        EXPECT_EQ(ini.IsUtf8(), c.utf8) << c.name;
        EXPECT_EQ(ReadLanguage(ini, "?"), "en") << c.name;
        Workspace ws;
        LoadStartupSet(ws, ini);
        EXPECT_EQ(ws.sg.Cell(1, 1), c.notices.size() == 1 && !c.utf8 ? "" : "1,5") << c.name;
        EXPECT_EQ(SettingsNotices(ini, kUniversalSet, true, "en"), c.notices) << c.name;
    }
    const IniFile missing(dir.File("Settings.ini"));
    EXPECT_EQ(
        SettingsNotices(missing, 0, false, "cz"),
        (std::vector<Notice>{
            {"Soubor nastavení „Settings.ini“ chybí: rovnice nemají žádné koeficienty.", false}}));
    // The UTF-8 notice is said once, at start; choosing a set says only what that set lacks.
    const IniFile bom(dir.File("bom.ini"));
    EXPECT_EQ(SettingsNotices(bom, 0, false, "cz"),
              (std::vector<Notice>{
                  {"Soubor nastavení „bom.ini“ nemá pro soubor rovnic „Praha“ žádné koeficienty.",
                   false}}));
}

TEST(Settings, CoefficientEditsAreUnsavedUntilSavedOrReloaded) {
    Workspace ws;
    CoefficientSnapshot saved;
    saved.Take(ws);
    EXPECT_FALSE(saved.Differs(ws));
    ws.sg.SetCell(7, kConstantRow, "2");
    EXPECT_TRUE(saved.Differs(ws));
    ws.sg.SetCell(0, 1, "label");  // not a coefficient
    ws.sg.SetCell(7, kConstantRow, "");
    EXPECT_FALSE(saved.Differs(ws));
}

}  // namespace
}  // namespace morvik::core
