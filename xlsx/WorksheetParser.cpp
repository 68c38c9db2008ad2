#include "WorksheetParser.h"

#include <algorithm>
#include <optional>

#include "text/Cp1250.h"
#include "text/IsoDate.h"
#include "xls/XLSReader.h"
#include "xls/XLSWorkbook.h"

namespace morvik::xlsx {

using xls::TCellValue;
using xls::TDateTime;
using zip::CellName;
using zip::ParseXmlNumber;
using zip::Quoted;
using zip::TXmlReader;
using Token = TXmlReader::TToken;

namespace {

constexpr int kMaxRows = 65536;  // the model's sheet
constexpr int kMaxCols = 256;
// The format's own sheet: references beyond it are damage, not cells we merely cannot hold.
constexpr std::int64_t kFormatRows = 1'048'576;
constexpr std::int64_t kFormatCols = 16'384;
// 1904-01-01 in days since 1899-12-30: serial 0 of the 1904 date system.
constexpr double k1904Offset = 1462.0;

// "AB12" to a 0-based row and column; false for anything else.
bool ParseReference(std::string_view ref, std::int64_t& row, std::int64_t& col) {
    std::size_t i = 0;
    std::int64_t c = 0;
    while (i < ref.size() && i < 3) {
        char ch = ref[i];
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        if (ch < 'A' || ch > 'Z') break;
        c = c * 26 + (ch - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == ref.size()) return false;
    std::int64_t r = 0;
    const std::size_t digits = ref.size() - i;
    if (digits > 7) return false;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        r = r * 10 + (ref[i] - '0');
    }
    if (r < 1 || r > kFormatRows || c > kFormatCols) return false;
    row = r - 1;
    col = c - 1;
    return true;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// All character data of the element whose start tag was read last, appended to `out`, up to
// and including its end tag. False when it comes to more than `limit` bytes: the rest is
// skipped as it comes, so a text far too long for a cell never costs its length.
bool ReadBoundedText(TXmlReader& r, std::string& out, std::size_t limit) {
    const int depth = r.Depth();
    bool fits = true;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::Text && fits) {
            fits = r.Text().size() <= limit - out.size();
            if (fits) out.append(r.Text());
        }
        if (t == Token::EndTag && r.Depth() < depth) break;
    }
    return fits;
}

// The most bytes a text of a cell can take in the file: a character written "_xHHHH_".
constexpr std::size_t kMaxTextBytes = 7 * kMaxText;

TCellValue TextValue(std::string_view utf8, bool escaped = false) {
    std::u16string units = Utf8ToUtf16(utf8);
    if (escaped) units = UnescapeText(std::move(units));
    if (units.size() > kMaxText) Fail("A cell's text is longer than 65535 characters.");
    return TCellValue::CompactText(std::move(units));
}

}  // namespace

// Characters XML cannot carry are written "_xHHHH_" in a cell's text, and a literal "_x" that
// would read as such is written "_x005F_x"; both read back in one pass from the left.
std::u16string UnescapeText(std::u16string units) {
    if (units.find(u"_x") == std::u16string::npos) return units;
    std::u16string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'_' && i + 6 < units.size() && units[i + 1] == u'x' &&
            units[i + 6] == u'_') {
            int value = 0;
            bool hex = true;
            for (std::size_t k = 2; k < 6 && hex; ++k) {
                const int d = HexDigit(units[i + k]);
                hex = d >= 0;
                value = value * 16 + d;
            }
            if (hex) {
                out.push_back(static_cast<char16_t>(value));
                i += 6;
                continue;
            }
        }
        out.push_back(units[i]);
    }
    return out;
}

bool ReadInlineString(TXmlReader& r, std::string& out, bool skipRest) {
    // Text runs are joined; phonetic runs are a reading aid, not part of the text.
    const int depth = r.Depth();
    bool fits = true;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag && r.Depth() < depth) break;
        if (t != Token::StartTag) continue;
        if (IsMain(r, "t")) {
            if (fits) {
                fits = ReadBoundedText(r, out, kMaxTextBytes);
                if (!fits && !skipRest) return false;
            } else {
                r.SkipElement();
            }
        } else if (IsMain(r, "rPh") || IsMain(r, "phoneticPr") || IsMain(r, "rPr")) {
            r.SkipElement();
        }
    }
    return fits;
}

void WorksheetParser::Read(const SheetJob& job) {
    const zip::TZipEntry* entry = archive_.Find(job.part);
    if (entry == nullptr)
        Fail("The workbook's part \"" + job.part + "\" is missing from the file.");
    auto stream = archive_.OpenCounted(*entry, job.inflatedBefore);
    zip::TXmlTextSource utf8(*stream);
    TXmlReader r(utf8, kNamespaces);
    std::int64_t row = -1, col = -1;
    bool inData = false;
    for (Token t; (t = r.Next()) != Token::End;) {
        if (t == Token::EndTag) {
            if (IsMain(r, "sheetData")) inData = false;
            continue;
        }
        if (t != Token::StartTag) continue;
        if (r.Depth() == 1) {
            // A relationship that names some other part would read as an empty sheet.
            if (!IsMain(r, "worksheet"))
                SheetFault("its part \"" + job.part + "\" is no worksheet.");
            continue;
        }
        if (!inData) {
            if (IsMain(r, "sheetData")) {
                inData = true;
            } else if (IsMain(r, "dimension")) {
                // Room for the cells up front: a hint bounded by what the part could hold.
                const std::string_view ref = r.Attribute(zip::kNoNamespace, "ref");
                const auto colon = ref.find(':');
                std::int64_t r1, c1, r2, c2;
                if (colon != std::string_view::npos &&
                    ParseReference(ref.substr(0, colon), r1, c1) &&
                    ParseReference(ref.substr(colon + 1), r2, c2) && r2 >= r1 && c2 >= c1) {
                    const std::int64_t cells = (std::min<std::int64_t>(r2, kMaxRows - 1) - r1 + 1) *
                                               (std::min<std::int64_t>(c2, kMaxCols - 1) - c1 + 1);
                    const auto bound = static_cast<std::int64_t>(entry->Size / 16);
                    const std::int64_t affordable = context_.budget->load() / kCellCost;
                    const std::int64_t count =
                        std::min({cells, bound, affordable, std::int64_t{1} << 22});
                    if (count > 0) {
                        CellStep step;
                        step.kind = CellStep::kReserve;
                        step.index = static_cast<std::uint32_t>(count);
                        Emit(std::move(step));
                    }
                }
            } else if (r.Depth() == 2) {
                r.SkipElement();
            }
            continue;
        }
        // Rows and cells of another vocabulary would be left out without a word.
        if (r.Ns() != kMain && r.Ns() != zip::kNoNamespace)
            SheetFault("an element of another namespace stands among its cells.");
        if (IsMain(r, "row")) {
            bool hasIndex = false;
            const std::string_view text = r.Attribute(zip::kNoNamespace, "r", &hasIndex);
            std::int64_t index;
            if (!hasIndex) {
                ++row;
            } else if (ParseIndex(text, index) && index >= 1 && index <= kFormatRows) {
                row = index - 1;
            } else {
                SheetFault("a row's number " + Quoted(text) + " is invalid.");
            }
            col = -1;
            continue;
        }
        if (!IsMain(r, "c")) {
            r.SkipElement();
            continue;
        }
        std::int64_t cellRow, cellCol;
        // One pass over the cell's attributes: this runs for every cell of the sheet.
        std::string_view ref, typeText, styleText;
        bool hasRef = false;
        for (const zip::TXmlAttribute& a : r.Attributes()) {
            if (a.Ns != zip::kNoNamespace || a.Name.size() != 1) continue;
            if (a.Name[0] == 'r') {
                ref = a.Value;
                hasRef = true;
            }
            if (a.Name[0] == 't') typeText = a.Value;
            if (a.Name[0] == 's') styleText = a.Value;
        }
        if (hasRef) {
            // A reference that names no cell of the format must not be taken as the next
            // column: its value would land where it was never meant to be.
            if (!ParseReference(ref, cellRow, cellCol))
                SheetFault("a cell's reference " + Quoted(ref) + " names no cell.");
            row = cellRow;
            col = cellCol;
        } else {
            if (row < 0) row = 0;
            ++col;
        }
        if (row >= kFormatRows || col >= kFormatCols) SheetFault("a cell lies outside the sheet.");
        row_ = row;
        col_ = col;
        const std::string type(typeText);
        std::int64_t style = 0;
        if (!styleText.empty() && !ParseIndex(styleText, style))
            CellFault("its style " + Quoted(styleText) + " is no index.");
        value_.clear();
        inlineText_.clear();
        bool hasValue = false, hasInline = false;
        const int depth = r.Depth();
        for (Token c; (c = r.Next()) != Token::End;) {
            if (c == Token::EndTag && r.Depth() < depth) break;
            if (c != Token::StartTag) continue;
            // A value's UTF-8 takes at most three bytes a character.
            if (IsMain(r, "v")) {
                hasValue = true;
                if (!ReadBoundedText(r, value_, kMaxText * 3))
                    CellFault("its text is longer than 65535 characters.");
            } else if (IsMain(r, "is")) {
                hasInline = true;
                if (!ReadInlineString(r, inlineText_, false))
                    CellFault("its text is longer than 65535 characters.");
            } else {
                r.SkipElement();  // the formula: its cached value is what the cell shows
            }
        }
        StoreCell(row, col, type, style, hasValue, hasInline);
    }
}

void WorksheetParser::StoreCell(std::int64_t row, std::int64_t col, std::string_view type,
                                std::int64_t style, bool hasValue, bool hasInline) {
    const std::string& value = value_;
    // What is not a value of its type is refused before anything else: a cell the model
    // cannot hold may still hold damage, and a cell read as empty would go unnoticed.
    const bool blank = zip::TrimXmlSpace(value).empty();
    double d = 0;
    std::int64_t index = 0;  // a shared string's, parsed once here
    std::optional<double> days;
    if (type == "s") {
        if (hasValue && !blank && !ParseIndex(value, index))
            CellFault("its shared string " + Quoted(value) + " is no index.");
        if (hasValue && !blank &&
            static_cast<std::uint64_t>(index) >= context_.sharedStrings->size())
            Fail("A cell refers to a shared string the workbook does not have.");
    } else if (type == "b") {
        if (hasValue && value != "true" && value != "false" && !ParseXmlNumber(value, d))
            CellFault(Quoted(value) + " is no truth value.");
    } else if (type == "d") {
        if (hasValue) days = ParseIsoDateTime(value);
        if (hasValue && !days) CellFault(Quoted(value) + " is no date.");
    } else if (type.empty() || type == "n") {
        if (hasValue && !blank && !ParseXmlNumber(value, d))
            CellFault(Quoted(value) + " is not a finite number.");
    } else if (type != "inlineStr" && type != "str" && type != "e") {
        CellFault("its type " + Quoted(type) + " is unknown.");
    }

    if (row >= kMaxRows || col >= kMaxCols) return;
    if (style < 0 || static_cast<std::size_t>(style) >= context_.xfIsDate.size()) style = 0;
    CellStep step;
    step.row = static_cast<std::int32_t>(row);
    step.col = static_cast<std::int32_t>(col);
    step.style = static_cast<std::int32_t>(style);
    TCellValue& v = step.value;
    if (type == "s") {
        if (!hasValue || blank) return;  // "<v/>": some writers' empty cell
        const auto& shared = *context_.sharedStrings;
        if (shared[static_cast<std::size_t>(index)].IsEmpty())
            Fail("A cell's text is longer than 65535 characters.");
        step.kind = CellStep::kSharedString;
        step.index = static_cast<std::uint32_t>(index);
    } else if (type == "inlineStr") {
        // Some writers add the text as a value too; the inline string is the cell's.
        v = hasInline || !hasValue ? TextValue(inlineText_, true) : TextValue(value);
    } else if (type == "str") {
        if (!hasValue) return;
        v = TextValue(value);
    } else if (type == "b") {
        if (!hasValue) return;
        v = TCellValue(value == "true" || (value != "false" && d != 0));
    } else if (type == "e") {
        return;  // error values are no values of the model, as in Excel 97 files
    } else if (type == "d") {
        if (!days) return;
        // A time alone is a serial below 1: it counts from the date system's first day.
        const bool timeOnly = value.size() < 5 || value[4] != '-';
        if (timeOnly) {
            v = TCellValue(
                TDateTime{context_.date1904 ? *days + k1904Offset : xls::DateFromSerial(*days)});
        } else {
            v = TCellValue(TDateTime{*days});
        }
    } else {
        if (!hasValue || blank) {
            if (style != 0 && !context_.xfIsPlain[static_cast<std::size_t>(style)]) {
                step.kind = CellStep::kFormat;
                Emit(std::move(step));
            }
            return;
        }
        if (context_.xfIsDate[static_cast<std::size_t>(style)]) {
            v = TCellValue(TDateTime{context_.date1904 ? d + k1904Offset : xls::DateFromSerial(d)});
        } else {
            v = TCellValue(d);
        }
    }
    Emit(std::move(step));
}

}  // namespace morvik::xlsx
