// The batch table's text and the validation summary, without running a batch.
#include "core/Batch.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "TempDir.h"
#include "compute/Compute.h"
#include "core/BatchRun.h"
#include "core/Csv.h"
#include "core/Validation.h"
#include "core/WorkbookImport.h"

namespace morvik::core {
namespace {

TEST(BatchCsv, FieldsAreQuotedOnlyWhenTheyMustBeAndReadBack) {
    const struct {
        std::string_view text, written;
    } cases[] = {
        {"skulls/a.xls", "skulls/a.xls"},
        {"", ""},
        {"a,b.xls", "\"a,b.xls\""},
        {"say \"hi\".txt", "\"say \"\"hi\"\".txt\""},
        {"line\nend.txt", "\"line\nend.txt\""},
        {"cr\r\nlf.txt", "\"cr\r\nlf.txt\""},
        {"\"", "\"\"\"\""},
        {"Žena ěšč", "Žena ěšč"},
        // Bytes no UTF-8 reader accepts: a stray continuation, an overlong '/', a surrogate,
        // a sequence cut short at the end.
        {"a\x80z", "a\xEF\xBF\xBDz"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"x\xE2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    std::vector<std::string> fields;
    for (const auto& c : cases) {
        std::string out;
        AppendCsvField(out, c.text);
        EXPECT_EQ(out, c.written) << c.text;
        fields.emplace_back(ValidUtf8(c.text));
    }
    // A whole record of them, and a last record without its line end, read back.
    const std::string text = CsvRecord(fields) + "last,\"\"";
    const auto records = ParseCsv(text);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], fields);
    EXPECT_EQ(records[1], (std::vector<std::string>{"last", ""}));

    for (const auto& [bad, message] :
         {std::pair{"a,b\r\n\"open,c\r\n", "Line 2: a quoted field is never closed"},
          std::pair{"\"x\"y,z\r\n", "Line 1: text after a closing quote"}}) {
        try {
            ParseCsv(bad);
            ADD_FAILURE() << bad;
        } catch (const ECsvError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(BatchCsv, NumbersAreTheShortestTextOfTheSameDouble) {
    EXPECT_EQ(CsvNumber(0.1), "0.1");
    EXPECT_EQ(CsvNumber(-3.5e-7), "-3.5e-07");
    EXPECT_EQ(CsvNumber(2.3099610000000013), "2.3099610000000013");
    EXPECT_EQ(CsvNumber(-0.0), "-0");
    EXPECT_EQ(CsvNumber(NAN), "");
    std::mt19937_64 rng(7);
    for (int i = 0; i < 10000; ++i) {
        double value = 0;
        const std::uint64_t bits = rng();
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        const std::string text = CsvNumber(value);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(back, value) << text;
        ASSERT_EQ(text.find(','), std::string::npos);
    }
}

// Counted by hand: equations 1 and 2 in use, ten skulls (one failed, one without a truth
// entry), a workbook whose first sheet has its own entry and whose second falls back to the
// file's, a file known by its path within its folder, and an entry no file matches.
TEST(ValidationSummary, HandCountedCase) {
    const TruthTable truth = TruthTable::Parse(
        "\xEF\xBB\xBF"
        "file,sex,sheet\r\na.xls,M,\r\nb.xls,m,\r\nc.xls,F,\r\nd.xls,F\r\ne.xls, F ,\r\n"
        "g.xls,M,\r\nbook.xls,F,S1\r\nbook.xls,M,\r\nh.xls,F,\r\nz.xls,M,\r\n",
        "truth.csv");
    BatchSettings settings;
    settings.use.fill(false);
    settings.use[static_cast<std::size_t>(ColumnOfEquation(1) - 1)] = true;
    settings.use[static_cast<std::size_t>(ColumnOfEquation(2) - 1)] = true;
    ValidationSummary summary(truth, settings);

    const auto add = [&](std::string path, std::string sheet, char e1, char e2, Verdict verdict,
                         bool ok = true) {
        BatchInput input;
        input.path = path;
        input.relative = path.substr(path.find('/') + 1);
        SkullResult skull;
        skull.ok = ok;
        skull.sheet = std::move(sheet);
        skull.votes[0] = e1;
        skull.votes[1] = e2;
        skull.votes[4] = 'F';  // equation 5 is not in use and never counted
        skull.verdict = verdict;
        summary.Add(input, skull);
    };
    add("in/a.xls", "", 'M', 'M', Verdict::Male);
    add("in/b.xls", "", 'F', 0, Verdict::Female);
    add("in/book.xls", "S1", 'F', 'M', Verdict::Tie);
    add("in/book.xls", "S2", 'M', 'M', Verdict::Male);
    add("in/c.xls", "", 'F', 'F', Verdict::Female);
    add("in/d.xls", "", 'M', 'F', Verdict::Tie);
    add("in/e.xls", "", 0, 0, Verdict::Indeterminate);
    add("in/f.xls", "", 'M', 'M', Verdict::Male);
    add("in/g.xls", "", 0, 0, Verdict::Indeterminate, false);
    add("in/h.xls", "", 'F', 'F', Verdict::Female);

    const auto& c = summary.Classifiers();
    ASSERT_EQ(c.size(), 3u);
    const struct {
        const char* name;
        int known, mm, mf, fm, ff, noVote, tie, indeterminate;
    } expected[] = {
        {"equation 1", 8, 2, 1, 1, 3, 1, 0, 0},
        {"equation 2", 8, 2, 0, 1, 3, 2, 0, 0},
        {"verdict", 8, 2, 1, 0, 2, 0, 2, 1},
    };
    for (std::size_t i = 0; i < c.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(c[i].name, expected[i].name);
        EXPECT_EQ(c[i].known, expected[i].known);
        EXPECT_EQ(c[i].table[0][0], expected[i].mm);
        EXPECT_EQ(c[i].table[0][1], expected[i].mf);
        EXPECT_EQ(c[i].table[1][0], expected[i].fm);
        EXPECT_EQ(c[i].table[1][1], expected[i].ff);
        EXPECT_EQ(c[i].noVote, expected[i].noVote);
        EXPECT_EQ(c[i].tie, expected[i].tie);
        EXPECT_EQ(c[i].indeterminate, expected[i].indeterminate);
    }
    const std::string json = summary.Json();
    for (const char* part :
         {"\"skulls\": 10", "\"known_failed\": 1",
          "{\"name\": \"verdict\", \"known\": 8, \"correct\": 4, \"accuracy\": 0.8, "
          "\"sensitivity_male\": 0.6666666666666666, \"sensitivity_female\": 1,",
          "\"accuracy\": 0.8333333333333334, \"sensitivity_male\": 1, \"sensitivity_female\": 0.75",
          "\"without_truth\": [\"in/f.xls\"]", "\"truth_without_file\": [\"z.xls\"]"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    const std::string text = summary.Text();
    EXPECT_NE(text.find("verdict         8        4     80.0%   66.7%  100.0%    2    1    0    2  "
                        "      -    2       1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Truth entries without a file (1):\n  z.xls\n"), std::string::npos);
    // In Czech the columns stay aligned by characters, not bytes.
    const std::string czech = summary.Text("cz");
    EXPECT_NE(czech.find("\n           známé  správně  přesnost  senz. M  senz. F  M>M  M>F  F>M  "
                         "F>F  bez hlasu  nerozh.  neurč.\nrovnice 1      8        5     71.4%"),
              std::string::npos)
        << czech;
    EXPECT_NE(
        czech.find("\nverdikt        8        4     80.0%    66.7%   100.0%    2    1    0    "
                   "2          -        2       1\n"),
        std::string::npos)
        << czech;
    EXPECT_NE(czech.find("Zadaná pohlaví bez souboru (1):\n  z.xls\n"), std::string::npos);
}

TEST(ValidationSummary, TruthTablesThatCannotBeRead) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "t.csv: the table is empty."},
        {"name,sex\r\na,M\r\n", "t.csv: line 1 must name the columns file and sex."},
        {"file,sex\r\na,X\r\n",
         "t.csv: record 2: the sex must be M or F (male, female, muž, žena), not \"X\"."},
        {"file,sex\r\na,mužský\r\n",
         "t.csv: record 2: the sex must be M or F (male, female, muž, žena), not \"mužský\"."},
        {"file,sex\r\n,M\r\n", "t.csv: record 2: the file is empty."},
        {"file,sex\r\na/./b.xls,M\r\na/b.xls,F\r\n",
         "t.csv: record 3: \"a/b.xls\" is listed twice."},
        {"file,sex\r\n\"a,M\r\n", "t.csv: Line 2: a quoted field is never closed"},
    };
    for (const auto& [text, message] : cases) {
        try {
            TruthTable::Parse(text, "t.csv");
            ADD_FAILURE() << text;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(BatchChoice, SetNamesInEitherLanguageWithoutRegardToCase) {
    // Capital and small letters of Latin-1 and of both parities of Latin Extended-A.
    EXPECT_EQ(FoldCase("ŽLUŤOUČKÝ KŮŇ ÚPĚL ĎÁBELSKÉ ÓDY; Łódź ŐŰ ÀÞ ×"),
              "žluťoučký kůň úpěl ďábelské ódy; łódź őű àþ ×");
    EXPECT_EQ(FoldCase("a\xC3"), "a\xC3");  // cut short: kept as it is
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"Prague", 0},       {"praha", 0},     {"LISBON", 1},      {"Lisabon", 1},
        {"coimbra", 2},      {"Universal", 3}, {"UNIVERZÁLNÍ", 3}, {"univerzální", 3},
        {"Univerzalni", {}}, {"Prag", {}},     {"", {}},           {"4", {}},
    };
    for (const auto& [name, set] : cases) EXPECT_EQ(FindSetByName(name), set) << name;
}

// Sheets of cells held in a map; every other cell is empty.
class MapCells : public WorkbookCells {
  public:
    explicit MapCells(std::vector<std::string> names) : names_(std::move(names)) {}
    void Put(int sheet, int row, int col, CellValue value) {
        cells_[{sheet, row, col}] = std::move(value);
    }
    int SheetCount() const override { return static_cast<int>(names_.size()); }
    std::string SheetName(int sheet) const override {
        return names_.at(static_cast<std::size_t>(sheet));
    }
    CellValue Cell(int sheet, int row, int col) const override {
        const auto hit = cells_.find({sheet, row, col});
        return hit == cells_.end() ? CellValue{} : hit->second;
    }

  private:
    std::vector<std::string> names_;
    std::map<std::tuple<int, int, int>, CellValue> cells_;
};

TEST(BatchChoice, SheetsWithLandmarksAndSheetsByNumberOrName) {
    MapCells cells({"Clouds only", "skull", "Skull", "Blank text", "Empty"});
    // Everything around C2:E23 but not in it: the row above and below, the columns beside,
    // a cloud.
    for (const auto& [row, col] : {std::pair{0, 2}, {23, 3}, {1, 1}, {22, 5}, {1, 7}})
        cells.Put(0, row, col, {CellKind::Number, 1.0, "1"});
    cells.Put(1, 22, 4, {CellKind::Other, 0, "x"});   // E23, the last landmark cell
    cells.Put(2, 1, 2, {CellKind::Number, 0.0, ""});  // C2 as Value may give it: no text
    cells.Put(3, 5, 3, {CellKind::Other, 0, ""});     // a cell that shows nothing
    EXPECT_EQ(SheetsWithLandmarks(cells), (std::vector<int>{1, 2}));

    EXPECT_EQ(ChooseSheet(cells, "2"), 1);
    EXPECT_EQ(ChooseSheet(cells, "05"), 4);
    EXPECT_EQ(ChooseSheet(cells, "Skull"), 2);  // the exact name before another case
    EXPECT_EQ(ChooseSheet(cells, "SKULL"), 1);
    EXPECT_EQ(ChooseSheet(cells, "blank TEXT"), 3);
    for (const std::string wanted : {"6", "0", "99999999999999999999", "Skulls", " skull"}) {
        try {
            ChooseSheet(cells, wanted);
            ADD_FAILURE() << wanted;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(
                          "; its sheets: \"Clouds only\", \"skull\", \"Skull\", \"Blank text\" "
                          "and \"Empty\"."),
                      std::string::npos)
                << e.what();
        }
    }
}

// A cloud's points are its rows with a Y below the header, up to the first without one: an
// empty cloud has none.
TEST(BatchResult, CloudPointsCountTheRowsBelowTheHeader) {
    Workspace ws;
    for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
        cloud->SetCell(0, 0, "X");
        cloud->SetCell(1, 0, "Y");
        cloud->SetCell(2, 0, "Z");
    }
    for (int r = 1; r <= 3; ++r) ws.sgImput3.SetCell(1, r, "4");
    ws.sgImput3.SetCell(1, 5, "4");  // past a gap: not one of the cloud's
    ws.Label1.text = morvik::VerdictWordsFor(ws.lang).indeterminate;
    const SkullResult result = ReadResult(ws);
    EXPECT_EQ(result.euRightPoints, 0);
    EXPECT_EQ(result.euLeftPoints, 3);
}

// Files of one name from different folders get reports numbered in the order of their paths.
TEST(BatchInputs, RepeatedFileNamesAreNumberedInOrder) {
    using test::WriteBytes;
    test::TempDir dir;
    std::vector<std::string> paths;
    for (const char* folder : {"c", "a", "b"}) {
        std::filesystem::create_directories(dir.File(folder));
        paths.push_back(dir.File(folder) + "/skull.txt");
        WriteBytes(paths.back(), "1\t2\t3\r\n");
    }
    const auto inputs = CollectInputs(paths);
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].reportName, "skull.txt");
    EXPECT_EQ(inputs[1].reportName, "skull.txt (2)");
    EXPECT_EQ(inputs[2].reportName, "skull.txt (3)");
    EXPECT_NE(inputs[0].path.find("/a/"), std::string::npos);
}

}  // namespace
}  // namespace morvik::core
