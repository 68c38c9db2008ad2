#include <gtest/gtest.h>

#include <array>

#include "TempDir.h"
#include "core/Captions.h"
#include "core/Export.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;

Workspace FreshWindowState(const CaptionSet& set) {
    Workspace ws;
    WriteEquationHeader(ws);
    ws.Label1.text = "Muž / Žena";
    ApplyCaptionCells(ws, set);
    return ws;
}

TEST(Export, BeforeAnyComputationInCzech) {
    const Workspace ws = FreshWindowState(kCzechCaptions);
    TempDir dir;
    const std::string path = dir.File("report.txt");
    ExportReport(ws, 3, "cz", path);
    const std::string expected =
        "Univerz\xE1ln\xED\r\n \r\nG-OP =  mm\r\nEU-EU =  mm\r\nZYG-ZYG =  mm\r\nN-P =  mm\r\n"
        "RH-NS =  mm\r\nB-BA =  mm\r\nAPT-APT =  mm\r\nEKT-EKT =  mm\r\n"
        "Horizont\xE1ln\xED ohyb dx =  mm\r\nHorizont\xE1ln\xED ohyb sin =  mm\r\n"
        "Vertik\xE1ln\xED ohyb dx =  mm\r\nVertik\xE1ln\xED ohyb sin =  mm\r\n"
        "Later\xE1ln\xED ohyb =  mm\r\nFMO-D/D-FMO =  mm\r\nZOR-D/D-ZOR =  mm\r\n"
        "Velikost orbity dx =  mm\r\nVelikost orbity sin =  mm\r\n \r\n"
        "Rovnice 6 = ...\r\nRovnice 5 = ...\r\nRovnice 7 = ...\r\nRovnice 3 = ...\r\n"
        "Rovnice 1 = ...\r\nRovnice 4 = ...\r\nRovnice 2 = ...\r\n \r\n"
        "V\xDDSLEDEK Mu\x9E / \x8E"
        "ena\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST(Export, EnglishWordsAndResults) {
    Workspace ws = FreshWindowState(kEnglishCaptions);
    ws.sgRozmery.SetCell(1, 7, "25,46");
    ws.result[0].text = "1,5";
    ws.result[6].text = "-2";
    ws.Label1.text = "Male/Female";
    const auto lines = ReportLines(ws, 3, "en");
    ASSERT_EQ(lines.size(), 29u);
    EXPECT_EQ(lines[0], "Universal");
    EXPECT_EQ(lines[8], "APT-APT = 25,46 mm");
    EXPECT_EQ(lines[11], "Horizontal flexure sin =  mm");
    EXPECT_EQ(lines[20], "Equation 6 = 1,5");
    EXPECT_EQ(lines[26], "Equation 2 = -2");
    EXPECT_EQ(lines[28], "OUTPUT Male/Female");

    const auto other = ReportLines(ws, 0, "xx");  // unknown code: empty set line, Czech words
    EXPECT_EQ(other[0], "");
    EXPECT_EQ(other[20], "Rovnice 6 = 1,5");
    EXPECT_EQ(other[28], "VÝSLEDEK Male/Female");
}

TEST(Export, DefaultExtensionAndFailures) {
    EXPECT_EQ(WithDefaultExtension("/tmp/report", "txt"), "/tmp/report.txt");
    EXPECT_EQ(WithDefaultExtension("/tmp/report.csv", "txt"), "/tmp/report.csv");
    EXPECT_EQ(WithDefaultExtension("/tmp.d/report", "txt"), "/tmp.d/report.txt");
    TempDir dir;
    test::WriteBytes(dir.File("file"), "x");
    EXPECT_THROW(WriteReport(dir.File("file") + "/r.txt", {"a"}), std::runtime_error);
}

TEST(Captions, SwitchingToEnglishAndBackRestoresEveryLabel) {
    Workspace ws = FreshWindowState(kCzechCaptions);
    const Workspace czech = ws;
    ws.Label1.text = "Muž/Žena";
    ApplyCaptionCells(ws, kEnglishCaptions);
    EXPECT_EQ(ws.sgImput.Cell(0, 12), "dacryon dx");
    EXPECT_EQ(ws.pom.Cell(0, 9), "Horizontal flexure dx");
    EXPECT_EQ(ws.pom.Cell(3, 0), "7");
    EXPECT_EQ(ws.sgRozmery.Cell(0, 0), "Equation type");
    EXPECT_EQ(ws.Label1.text, "Male/Female");
    ApplyCaptionCells(ws, kCzechCaptions);
    EXPECT_EQ(ws.Label1.text, "Muž/Žena");
    for (int r = 0; r < 23; ++r) {
        for (int c = 0; c < 5; ++c) EXPECT_EQ(ws.sgImput.Cell(c, r), czech.sgImput.Cell(c, r));
    }
    for (int r = 0; r < 19; ++r) EXPECT_EQ(ws.sg.Cell(0, r), czech.sg.Cell(0, r));
    EXPECT_EQ(ws.sgImput.Cell(0, 12), "Dakryon dx");
    EXPECT_EQ(ws.sgImput.Cell(0, 5), "Prosthion ");
}

TEST(Captions, VerdictWordsTranslateButIndeterminateStays) {
    struct Case {
        const char* before;
        const CaptionSet* set;
        const char* after;
    };
    const Case cases[] = {
        {"Žena", &kEnglishCaptions, "Female"},
        {"Female", &kCzechCaptions, "Žena"},  // "Female" holds "male", but not "Male"
        {"Male", &kCzechCaptions, "Muž"},
        {"NEURČITELNÉ", &kEnglishCaptions, "NEURČITELNÉ"},
        {"INDETERMINATE", &kCzechCaptions, "INDETERMINATE"},
    };
    for (const Case& c : cases) {
        Workspace ws;
        ws.Label1.text = c.before;
        ApplyCaptionCells(ws, *c.set);
        EXPECT_EQ(ws.Label1.text, c.after) << c.before;
    }
    EXPECT_EQ(FindCaptionSet("CZ"), nullptr);
}

}  // namespace
}  // namespace morvik::core
