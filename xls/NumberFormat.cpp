// A number-format pattern's sections and what kind each is, and FormatNumber, which picks the
// section for a value and hands it to the numbers' or the dates' formatter.

#include "NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "NumberFormatSections.h"

namespace morvik::xls::numfmt {

std::string Padded(long long v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return s;
}

// ---------------------------------------------------------------------------------------------
// Pattern scanning shared by both formatters.

std::vector<std::string_view> SplitSections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"') {
            const std::size_t close = pattern.find('"', i + 1);
            i = close == std::string_view::npos ? pattern.size() : close;
        } else if (c == '[') {
            const std::size_t close = pattern.find(']', i + 1);
            i = close == std::string_view::npos ? pattern.size() : close;
        } else if (c == '\\') {
            ++i;
        } else if (c == ';') {
            sections.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(pattern.substr(std::min(start, pattern.size())));
    return sections;
}

std::string BracketText(std::string_view inside) {
    if (inside.empty() || inside[0] != '$') return {};
    const std::size_t dash = inside.find('-');
    return std::string(inside.substr(1, dash == std::string_view::npos ? inside.npos : dash - 1));
}

bool IsDateSection(std::string_view s) {
    bool dateCode = false;
    // The last '0' found to be a fraction of seconds: the next '0' right after it is one too,
    // without walking back over the whole run again.
    std::size_t fractionZero = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            const std::size_t close = s.find('"', i + 1);
            i = close == std::string_view::npos ? s.size() : close;
        } else if (c == '[') {
            const std::size_t close = s.find(']', i + 1);
            const std::string_view inside =
                s.substr(i + 1, (close == std::string_view::npos ? s.size() : close) - i - 1);
            if (!inside.empty() &&
                (Lower(inside[0]) == 'h' || Lower(inside[0]) == 'm' || Lower(inside[0]) == 's')) {
                dateCode = true;
            }
            i = close == std::string_view::npos ? s.size() : close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '#' || c == '?') {
            return false;
        } else if (c == '0') {
            // Only digits of fractional seconds: ".0", ".00", ".000".
            if (fractionZero == std::string_view::npos || fractionZero + 1 != i) {
                std::size_t j = i;
                while (j > 0 && s[j - 1] == '0') --j;
                if (j == 0 || s[j - 1] != '.') return false;
            }
            fractionZero = i;
        } else {
            const char l = Lower(c);
            if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') dateCode = true;
        }
    }
    return dateCode;
}

}  // namespace morvik::xls::numfmt

namespace morvik::xls {

// The section for the value's sign, then whichever formatter its kind calls for.
std::string FormatNumber(std::string_view pattern, double value, const TFormatSettings& fs) {
    if (!std::isfinite(value)) return FormatGeneral(value, fs);
    const std::vector<std::string_view> sections = numfmt::SplitSections(pattern);
    std::string_view section = sections[0];
    bool sign = true;
    if (sections.size() >= 3 && value == 0) {
        section = sections[2];
        sign = false;
    } else if (sections.size() >= 2 && value < 0) {
        section = sections[1];
        sign = false;
    }
    if (section.empty() || section == "General" || section == "general" || section == "GENERAL") {
        if (sections.size() > 1 && section.empty()) return {};
        return FormatGeneral(sign ? value : std::fabs(value), fs);
    }
    if (numfmt::IsDateSection(section)) return numfmt::DateSection(section, value, fs);
    bool nonZero = false;
    std::string out =
        numfmt::NumberSection(section, std::fabs(value), std::fabs(value), fs, nonZero);
    // A character, not a string: GCC 12 warns falsely (-Wrestrict) on a string inserted at 0.
    if (sign && value < 0 && nonZero) out.insert(out.begin(), '-');
    return out;
}

}  // namespace morvik::xls
