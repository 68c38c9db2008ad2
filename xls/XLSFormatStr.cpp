#include "XLSFormatStr.h"

#include <array>
#include <cctype>

#include "HList.h"

namespace morvik::xls {
namespace {

struct Builtin {
    std::uint16_t code;
    std::string_view pattern;
};

// Order matters: cell formats store positions, and code 4 sits at position 26.
constexpr std::array<Builtin, kBuiltinFormatCount> kBuiltins = {{
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {5, "($#,##0_);($#,##0)"},
    {6, "($#,##0_);[Red]($#,##0)"},
    {7, "($#,##0.00_);($#,##0.00)"},
    {8, "($#,##0.00_);[Red]($#,##0.00)"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# \?\?/\?\?"},  // escaped: "??/" would be a trigraph
    {14, "mm/dd/yy"},
    {15, "dd-mmm-yy"},
    {16, "dd-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "mm/dd/yy h:mm"},
    {42, R"(_($* #,##0_);_($* (#,##0);_($* "-"_);_(@_))"},
    {41, R"(_(* #,##0_);_(* (#,##0);_(* "-"_);_(@_))"},
    {44, R"(_($* #,##0.00_);_($* (#,##0.00);_($* "-"??_);_(@_))"},
    {43, R"(_(* #,##0.00_);_(* (#,##0.00);_(* "-"??_);_(@_))"},
    {4, "#,##0.00"},
    {37, "(#,##0_);(#,##0)"},
    {38, "(#,##0_);[Red](#,##0)"},
    {39, "(#,##0.00_);(#,##0.00)"},
    {40, "(#,##0.00_);[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mm:ss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
}};

// Every case-insensitive occurrence of `what` removed in one left-to-right pass.
std::string RemoveAll(std::string_view text, std::string_view what) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool match = i + what.size() <= text.size();
        for (std::size_t k = 0; match && k < what.size(); ++k) {
            match = std::tolower(static_cast<unsigned char>(text[i + k])) ==
                    std::tolower(static_cast<unsigned char>(what[k]));
        }
        if (match) {
            i += what.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// An escaped percent sign is a literal; once the escape is removed it would multiply the value
// by 100, so it becomes a quoted literal instead.
std::string QuoteEscapedPercent(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == '\\' && !quoted && i + 1 < text.size()) {
            if (text[i + 1] == '%') {
                out += "\"%\"";
            } else {
                out += text.substr(i, 2);
            }
            ++i;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

TFormatStrings::TFormatStrings() {
    entries_.reserve(kBuiltins.size());
    for (const Builtin& b : kBuiltins) {
        entries_.push_back({b.code, std::string(b.pattern)});
        positions_.emplace(b.code, Count() - 1);
    }
}

TNumberFormat TFormatStrings::Get(int i) const { return At(i); }

const TNumberFormat& TFormatStrings::At(int i) const {
    if (i < 0 || i >= Count()) RaiseListIndexError(i);
    return entries_[static_cast<std::size_t>(i)];
}

int TFormatStrings::SetFormat(std::uint16_t code, std::string pattern) {
    if (const int i = IndexOfCode(code); i >= 0) {
        entries_[static_cast<std::size_t>(i)].Pattern = std::move(pattern);
        return i;
    }
    entries_.push_back({code, std::move(pattern)});
    positions_.emplace(code, Count() - 1);
    if (code > maxCode_) maxCode_ = code;
    return Count() - 1;
}

std::string_view ClassifyBuiltinFormat(std::uint16_t code) {
    if (code == 0) return "general";
    if ((code >= 1 && code <= 13) || (code >= 37 && code <= 44) || code == 48) return "double";
    if ((code >= 14 && code <= 22) || (code >= 45 && code <= 47)) return "date";
    return "";
}

std::string_view ClassifyFormatText(std::string_view pattern) {
    if (pattern == "General") return "general";
    if (pattern == "@") return "text";
    if (pattern == "mm:ss.0" || pattern.find_first_of("#0") == std::string_view::npos) {
        return "date";
    }
    if (pattern.find_first_of(",.") != std::string_view::npos) return "double";
    return "Integer";
}

std::string CleanFormat(std::string_view pattern) {
    std::string kept = QuoteEscapedPercent(pattern.substr(0, pattern.find(';')));  // keeps General
    std::string text = RemoveAll(kept, "general");
    for (std::string_view what : {"_-", "_", "(", ")", "\\", "-*", "*"}) {
        text = RemoveAll(text, what);
        kept = RemoveAll(kept, what);
    }
    // General beside a colour, a locale tag or a literal ("[Red]General", General" kg") marks
    // where the number goes; removed there, the number would vanish from the text.
    return text.empty() ? text : kept;
}

}  // namespace morvik::xls
