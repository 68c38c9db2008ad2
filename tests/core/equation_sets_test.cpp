#include <gtest/gtest.h>

#include "core/EquationSets.h"
#include "TempDir.h"

namespace morvik::core {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(EquationSets, StartupLoadReplacesOnlyTheFirstPointAndKeepsMissingCells) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    WriteBytes(path,
               "[Univerz\xE1ln\xED]\r\nsg_1_1=0.125\r\nsg_2_1=1.2.3\r\nsg_7_18=-4,5\r\n"
               "sg_3_1=\r\n");
    Workspace ws;
    ws.sg.SetCell(4, 4, "kept");
    LoadStartupSet(ws, IniFile(path));
    EXPECT_EQ(ws.sg.Cell(1, 1), "0,125");
    EXPECT_EQ(ws.sg.Cell(2, 1), "1,2.3");
    EXPECT_EQ(ws.sg.Cell(7, 18), "-4,5");
    EXPECT_EQ(ws.sg.Cell(3, 1), "");
    EXPECT_EQ(ws.sg.Cell(4, 4), "kept");  // no key: the cell's text is the default
}

TEST(EquationSets, ChosenSetIsLoadedAsStoredAndMissingKeysEmptyCells) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    WriteBytes(path, "[praha]\r\nsg_1_1=0.125\r\nsg_5_18=2\r\n");
    Workspace ws;
    ws.sg.SetCell(3, 3, "old");
    LoadEquationSet(ws, IniFile(path), 0);
    EXPECT_EQ(ws.sg.Cell(1, 1), "0.125");
    EXPECT_EQ(ws.sg.Cell(5, 18), "2");
    EXPECT_EQ(ws.sg.Cell(3, 3), "");

    LoadEquationSet(ws, IniFile(path), 2);  // no such section: everything empty
    for (int r = 1; r <= 18; ++r) {
        for (int k = 1; k <= 7; ++k) EXPECT_EQ(ws.sg.Cell(k, r), "") << k << "," << r;
    }
    EXPECT_THROW(LoadEquationSet(ws, IniFile(path), -1), Error);
}

TEST(EquationSets, SaveWritesAll126KeysInOrderAndRoundTrips) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    WriteBytes(path, "[Global]\r\nLang=en\r\n");
    Workspace ws;
    ws.sg.SetCell(1, 1, "1,5");
    ws.sg.SetCell(7, 18, "-0,25");
    ws.sg.SetCell(0, 1, "label");  // labels are not part of a set
    IniFile ini(path);
    SaveEquationSet(ws, ini, 3);
    const std::string bytes = ReadBytes(path);
    ASSERT_EQ(
        bytes.rfind("[Global]\r\nLang=en\r\n[Univerz\xE1ln\xED]\r\nsg_1_1=1,5\r\nsg_2_1=\r\n", 0),
        0u);
    EXPECT_NE(bytes.find("sg_7_17=\r\nsg_1_18=\r\n"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 15), "sg_7_18=-0,25\r\n");

    Workspace loaded;
    LoadEquationSet(loaded, IniFile(path), 3);
    for (int r = 1; r <= 18; ++r) {
        for (int k = 1; k <= 7; ++k) EXPECT_EQ(loaded.sg.Cell(k, r), ws.sg.Cell(k, r));
    }
    // A second save changes values in place and the file keeps its size for equal texts.
    SaveEquationSet(ws, ini, 3);
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(EquationSets, SaveStopsAtTheFailingKey) {
    TempDir dir;
    WriteBytes(dir.File("file"), "x");
    IniFile ini(dir.File("file") + "/Settings.ini");
    Workspace ws;
    EXPECT_THROW(SaveEquationSet(ws, ini, 0), EIniWriteError);
}

TEST(EquationSets, LanguageIsReadAndWrittenUnchanged) {
    TempDir dir;
    const std::string path = dir.File("Settings.ini");
    IniFile ini(path);
    EXPECT_EQ(ReadLanguage(ini, "cz"), "cz");
    WriteLanguage(ini, "CZ");  // an unknown code goes back as it came
    EXPECT_EQ(ReadLanguage(IniFile(path), "cz"), "CZ");
    EXPECT_EQ(ReadBytes(path), "[Global]\r\nLang=CZ\r\n");
}

}  // namespace
}  // namespace morvik::core
