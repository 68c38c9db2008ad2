#include "TextScan.h"

#include <charconv>
#include <cmath>

#include "text/Cp1250.h"
#include "text/Utf8.h"

namespace morvik::landmarks::scan {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool Lines::Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    const std::size_t end = text_.find_first_of("\r\n", at_);
    if (end == std::string_view::npos) {
        line = text_.substr(at_);
        at_ = text_.size();
    } else {
        line = text_.substr(at_, end - at_);
        at_ =
            end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
    }
    ++number_;
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool ParseNumber(std::string_view s, double& out) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    // from_chars would take "inf" and "nan", and a hex form never appears in these files.
    if (s.empty() || s.find_first_not_of("0123456789.eE+-") != std::string_view::npos) return false;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return false;
    out = value;
    return true;
}

double NumberAt(std::string_view s, long long line, std::string_view what) {
    double value = 0;
    if (!ParseNumber(s, value))
        throw ELandmarkFileError(line, std::string(what) + " \"" + Shown(s) + "\" is not a number");
    return value;
}

void ReadCoordinates(const std::vector<std::string_view>& tokens, std::size_t first, long long line,
                     Point& point) {
    point.x = NumberAt(tokens.at(first), line, "x");
    point.y = NumberAt(tokens.at(first + 1), line, "y");
    point.z = NumberAt(tokens.at(first + 2), line, "z");
}

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? line.size() : close;
            tokens.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        const std::size_t end = line.find_first_of(" \t", i);
        const std::size_t stop = end == std::string_view::npos ? line.size() : end;
        tokens.push_back(line.substr(i, stop - i));
        i = stop;
    }
    return tokens;
}

std::string Shown(std::string_view label) {
    std::string out = QuoteStart(label, 40);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

void AddPoint(Specimen& specimen, Point point, std::size_t& total) {
    if (++total > kMaxPoints)
        throw ELandmarkFileError(point.line, "more than " + std::to_string(kMaxPoints) + " points");
    specimen.points.push_back(std::move(point));
}

}  // namespace morvik::landmarks::scan
