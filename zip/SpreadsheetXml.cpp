#include "SpreadsheetXml.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "text/Decimal.h"

namespace morvik::zip {

std::string_view TrimXmlSpace(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool ParseXmlNumber(std::string_view text, double& out) {
    text = TrimXmlSpace(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (ParseShortDecimal(text, out)) return true;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() &&
           std::isfinite(out);
}

std::string CellName(std::int64_t row, std::int64_t col) {
    std::string letters;
    for (std::int64_t c = col + 1; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row + 1);
}

std::string CellMessage(std::string_view sheet, std::int64_t row, std::int64_t col,
                        std::string_view what) {
    return "Sheet \"" + std::string(sheet) + "\", cell " + CellName(row, col) + ": " +
           std::string(what);
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text.substr(0, 40)) out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    return out + (text.size() > 40 ? "...\"" : "\"");
}

}  // namespace morvik::zip
