// Our readers against an independent one over the shared corpus of real .xlsx and .ods files
// (see its README): every file the other reader opened must agree with us on every non-empty
// value, or be listed below with the reason; every other file is refused with one of our
// messages or read in part, never crashes.
//
// Numbers and texts compare exactly, booleans by value. Dates compare as instants where the
// other reader gives a date or date-time (our day count against its calendar date, to the
// microsecond it rounds to), and by serial where it gives a time of day or a duration (it
// turns those serials into durations without an epoch). Error values are left out on both
// sides: the model holds none, as for Excel 97 files. Empty texts are empty values.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ods/OdsReader.h"
#include "text/Cp1250.h"
#include "text/IsoDate.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"

namespace morvik {
namespace {

using xls::TVarType;

// Files whose differences are the other reader's or a choice of ours, with the reason.
const std::map<std::string, std::string> kListed = {
    {"calamine/has_x000D_.xlsx",
     "_x000D_ escapes: the other reader keeps them as written, we decode them as Excel shows them"},
    {"calamine/has_x000D_inline.xlsx", "_x000D_ escapes, in an inline string"},
    {"poi/60289.xlsx", "_x000d_ escapes"},
    {"readxl/new_line_errors.xlsx", "_x000D_ escapes"},
    {"roo/x000D.xlsx", "_x000D_ escapes"},
    {"poi/52575_main.xlsx",
     "an inline string cell whose text stands in <v>: the other reader drops it"},
    {"exceldatareader/Test_git_issue_68_NullSheetPath.xlsm",
     "a sheet listed without a part: we keep its place in the order as an empty sheet (named "
     "Sheet2, the model refuses its blank name); the other reader leaves it out"},
    {"poi/bug60858.xlsx",
     "serial -1 under a date format: no date in Excel; the other reader counts back from "
     "1899-12-30, the model's 1900 system from 1899-12-31"},
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The expected files' JSON: one cell a line, [row, col, "type", value]. Enough of JSON for them.
struct ExpectedCell {
    int row, col;
    std::string type, value;  // booleans as "true"/"false"
};
struct ExpectedSheet {
    std::string name;
    std::vector<ExpectedCell> cells;
};

class Json {
  public:
    explicit Json(std::string text) : s_(std::move(text)) {}
    void Skip() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' ||
                                  s_[i_] == '\t' || s_[i_] == ',' || s_[i_] == ':'))
            ++i_;
    }
    char Peek() {
        Skip();
        return i_ < s_.size() ? s_[i_] : '\0';
    }
    void Expect(char c) {
        if (Peek() != c) throw std::runtime_error(std::string("JSON: expected ") + c);
        ++i_;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            c = s_[i_++];
            const std::string simple = "\"\\/bfnrt", meant = "\"\\/\b\f\n\r\t";
            if (const auto k = simple.find(c); k != std::string::npos) {
                out += meant[k];
                continue;
            }
            char32_t cp = std::stoul(s_.substr(i_, 4), nullptr, 16);
            i_ += 4;
            if (cp >= 0xD800 && cp <= 0xDBFF && s_.compare(i_, 2, "\\u") == 0) {
                cp = 0x10000 + ((cp - 0xD800) << 10) +
                     (std::stoul(s_.substr(i_ + 2, 4), nullptr, 16) - 0xDC00);
                i_ += 6;
            }
            AppendUtf8(out, cp);
        }
        ++i_;
        return out;
    }
    std::string Scalar() {  // a number, true, false or null as written
        Skip();
        const auto end = s_.find_first_of(",]} \n", i_);
        std::string out = s_.substr(i_, end - i_);
        i_ = end;
        return out;
    }
    std::string Value() { return Peek() == '"' ? String() : Scalar(); }
    // Skips any value.
    void Any() {
        const char c = Peek();
        if (c == '"') {
            String();
        } else if (c == '[' || c == '{') {
            ++i_;
            while (Peek() != (c == '[' ? ']' : '}')) Any();
            ++i_;
        } else {
            Scalar();
        }
    }

  private:
    std::string s_;
    std::size_t i_ = 0;
};

bool ParseExpected(const std::string& text, bool& date1904, std::vector<ExpectedSheet>& sheets) {
    Json j(text);
    j.Expect('{');
    while (j.Peek() != '}') {
        const std::string key = j.String();
        if (key == "date1904") {
            date1904 = j.Value() == "true";
        } else if (key == "sheets") {
            j.Expect('[');
            while (j.Peek() != ']') {
                ExpectedSheet sheet;
                j.Expect('{');
                while (j.Peek() != '}') {
                    const std::string k = j.String();
                    if (k == "name") {
                        sheet.name = j.String();
                    } else if (k == "cells") {
                        j.Expect('[');
                        while (j.Peek() != ']') {
                            j.Expect('[');
                            ExpectedCell c;
                            c.row = std::stoi(j.Scalar());
                            c.col = std::stoi(j.Scalar());
                            c.type = j.String();
                            c.value = j.Value();
                            j.Expect(']');
                            sheet.cells.push_back(std::move(c));
                        }
                        j.Expect(']');
                    } else {
                        j.Any();
                    }
                }
                j.Expect('}');
                sheets.push_back(std::move(sheet));
            }
            j.Expect(']');
        } else {
            j.Any();
        }
    }
    return true;
}

// The file's serial of one of our day counts.
double SerialOf(double days, bool date1904) {
    if (date1904) return days - 1462;
    return days < 61 ? days - 1 : days;
}

// Differences between our workbook and the expected sheets, one line each.
std::vector<std::string> Compare(const xls::TWorkbook& book, bool date1904,
                                 const std::vector<ExpectedSheet>& expected) {
    std::vector<std::string> out;
    std::vector<std::string> ours, theirs;
    for (int s = 0; s < book.Sheets().Count(); ++s)
        ours.push_back(book.Sheets().Items(s).NameUtf8());
    for (const auto& s : expected) theirs.push_back(s.name);
    if (ours != theirs) out.push_back("sheet names differ");
    for (std::size_t s = 0; s < std::min(ours.size(), theirs.size()); ++s) {
        const auto& cells = book.Sheets().Items(static_cast<int>(s)).Cells();
        std::set<std::pair<int, int>> seen;
        for (const ExpectedCell& e : expected[s].cells) {
            if (e.row > 65535 || e.col > 255 || e.type == "error") continue;
            seen.insert({e.row, e.col});
            const xls::TCell* cell = cells.Find(e.row, e.col);
            const std::string where = "sheet " + std::to_string(s) + " R" + std::to_string(e.row) +
                                      "C" + std::to_string(e.col) + " ";
            const TVarType kind = cell ? cell->Value().Kind() : TVarType::Empty;
            const auto& v = cell ? cell->Value() : xls::TCellValue();
            bool same = false;
            if (e.type == "number") {
                same = v.IsNumber() && kind != TVarType::Date && v.AsDouble() == std::stod(e.value);
            } else if (e.type == "text") {
                const bool isText = kind == TVarType::OleStr || kind == TVarType::String;
                const std::string text = isText ? cell->DisplayText() : std::string();
                same = (e.value.empty() && text.empty()) || (isText && text == e.value);
            } else if (e.type == "bool") {
                same = kind == TVarType::Boolean && *v.As<bool>() == (e.value == "true");
            } else if (e.type == "date") {
                const auto days = ParseIsoDateTime(e.value);
                const bool instant = e.value.size() >= 10 && e.value[4] == '-';
                same = days && kind == TVarType::Date &&
                       std::fabs((instant ? v.AsDouble() : SerialOf(v.AsDouble(), date1904)) -
                                 *days) < 1e-6;
            }
            if (!same) out.push_back(where + e.type + " " + e.value);
        }
        for (int i = 0; i < cells.Count(); ++i) {
            const xls::TCell& cell = cells.Items(i);
            const TVarType kind = cell.Value().Kind();
            const bool isText = kind == TVarType::OleStr || kind == TVarType::String;
            if (cell.Value().IsEmpty() || (isText && cell.DisplayText().empty())) continue;
            if (!seen.count({cell.Row(), cell.Col()}))
                out.push_back("sheet " + std::to_string(s) + " R" + std::to_string(cell.Row()) +
                              "C" + std::to_string(cell.Col()) +
                              " only ours: " + cell.DisplayText());
        }
    }
    return out;
}

TEST(Differential, CorpusAgreesWithAnIndependentReader) {
    const std::string root = std::string(MORVIK_SHARED_DIR) + "/corpus/xlsx";
    std::ifstream manifest(root + "/MANIFEST.tsv");
    if (!manifest) GTEST_SKIP() << "no shared corpus at " << root;
    std::string line;
    std::getline(manifest, line);  // the header
    int agreed = 0, listed = 0, refused = 0, partial = 0, blind = 0;
    while (std::getline(manifest, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        ASSERT_GE(f.size(), 11u) << line;
        const std::string& file = f[0];
        SCOPED_TRACE(file);
        const std::string bytes = ReadFile(root + "/" + file);
        const std::span<const std::uint8_t> data(
            reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        xls::TWorkbook book;
        std::string error;
        try {
            if (ods::LooksLikeOds(data)) {
                ods::ReadOds(data, book);
            } else {
                xlsx::ReadXlsx(data, book);
            }
        } catch (const Error& e) {
            error = e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not one of our messages: " << e.what();
            continue;
        }
        const bool oracleOpened = f[10] == "yes";
        const bool oracleBlind = f.size() > 12 && f[12].rfind("ORACLE BLIND", 0) == 0;
        if (!oracleOpened || oracleBlind) {
            // Refused with our message, or read: either is fine; the other reader cannot judge.
            ++(error.empty() ? (oracleBlind ? blind : partial) : refused);
            continue;
        }
        EXPECT_EQ(error, "") << "the other reader opens it";
        if (!error.empty()) continue;
        bool date1904 = false;
        std::vector<ExpectedSheet> expected;
        ParseExpected(ReadFile(root + "/expected/" + file + ".json"), date1904, expected);
        const auto differences = Compare(book, date1904, expected);
        if (kListed.count(file)) {
            EXPECT_FALSE(differences.empty()) << "listed, but agrees now: take it off the list";
            ++listed;
            continue;
        }
        for (std::size_t i = 0; i < std::min<std::size_t>(differences.size(), 5); ++i)
            ADD_FAILURE() << differences[i];
        if (differences.empty()) ++agreed;
    }
    std::printf(
        "corpus: %d agree, %d listed with a reason, %d refused with our message, %d read "
        "where the other reader failed, %d read where the other reader is blind\n",
        agreed, listed, refused, partial, blind);
}

}  // namespace
}  // namespace morvik
