// What the spreadsheet readers over zip packages (.xlsx, .ods) read alike: numbers written in
// XML, cell names and quoted file text for their messages, and the sheet a refused name gets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvik::zip {

// XML's own whitespace: space, tab, CR, LF.
constexpr bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
std::string_view TrimXmlSpace(std::string_view text);

// A number as XML writes it (xsd:double, an optional '+' and whitespace around it), into `out`;
// false for anything else and for what is not finite. The same text reads alike in every
// format, whichever of them it came from.
bool ParseXmlNumber(std::string_view text, double& out);

// "B3" for messages; `row` and `col` count from 0.
std::string CellName(std::int64_t row, std::int64_t col);
// "Sheet "Data", cell B3: what": a fault of one cell.
std::string CellMessage(std::string_view sheet, std::int64_t row, std::int64_t col,
                        std::string_view what);

// What the workbook model read from one package may cost, shared strings and all sheets
// together. A few compressed bytes may inflate to a whole sheet's XML or repeat one value over
// 16 million cells; the budget grows with the file's own size, so memory and time stay in
// proportion to it whatever the compression. A cell (each copy of a value) costs about
// kCellCost bytes, a text of its own two bytes a character more.
constexpr std::int64_t kCellCost = 48;
constexpr std::int64_t kModelBudget = std::int64_t{32} << 20;
constexpr std::int64_t kModelBudgetPerByte = 24;
// Characters of a cell's text, as the model's.
constexpr std::size_t kMaxCellText = 65535;

// A text from the file for a message: short, and without control characters that would end
// or garble it.
std::string Quoted(std::string_view text);

// Adds a sheet named `name` to `sheets` (the workbook model's sheet list). A name the model
// refuses (blank, too long, a duplicate) gives way to "SheetN": the sheet and its cells still
// load. `next`: where the search for a free "SheetN" goes on. A name taken stays taken, so each
// search starts past the last one found and all of them together try each N once.
// A template because this layer sits beside the model, not on it.
template <class Sheets>
auto& AddSheet(Sheets& sheets, const std::u16string& name, int& next) {
    if (sheets.ValidateName(name) == 0) return sheets.Add(name);
    for (int n = std::max(sheets.Count() + 1, next);; ++n) {
        std::u16string substitute = u"Sheet";
        for (char c : std::to_string(n)) substitute.push_back(static_cast<char16_t>(c));
        if (sheets.ValidateName(substitute) == 0) {
            next = n + 1;
            return sheets.Add(substitute);
        }
    }
}

}  // namespace morvik::zip
