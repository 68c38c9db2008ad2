// Landmark Editor's two exports. ".pts": two header lines (a version, the point count), then
// "name x y z" a line. ".dta": the NTSYS matrix layout, a specimen a row of x y z triples.
#include <cmath>

#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

// The editor's code for a point not placed.
constexpr double kMissingCode = 9999;

bool IsMissingCode(double v) { return std::fabs(v) == kMissingCode; }

struct Token {
    std::string_view text;
    long long line;
};

// Every blank-separated token of the lines that are no '"' comment.
std::vector<Token> DtaTokens(std::string_view text) {
    std::vector<Token> tokens;
    scan::Lines lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        const std::string_view trimmed = scan::Trim(line);
        if (trimmed.empty() || trimmed.front() == '"') continue;
        for (std::string_view t : scan::Tokens(trimmed)) tokens.push_back({t, lines.Number()});
    }
    return tokens;
}

// A header count with an optional trailing "L" (labels follow).
long long HeaderCount(const Token& token, bool& labelled) {
    std::string_view s = token.text;
    labelled = !s.empty() && (s.back() == 'L' || s.back() == 'l');
    if (labelled) s.remove_suffix(1);
    double n = 0;
    if (!scan::ParseNumber(s, n) || n < 0 || n > 1e9 || n != std::floor(n))
        throw ELandmarkFileError(token.line, "\"" + scan::Shown(token.text) + "\" is no count");
    return static_cast<long long>(n);
}

}  // namespace

LandmarkFile ReadPts(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Pts;
    Specimen& specimen = file.specimens.emplace_back();
    std::size_t total = 0;
    scan::Lines lines(text);
    std::string_view raw;
    long long stated = -1, statedLine = 0;
    while (lines.Next(raw)) {
        const std::string_view line = scan::Trim(raw);
        const long long number = lines.Number();
        if (number == 1) continue;  // the version line
        if (number == 2) {
            // The editor writes the point count here; a line that is no count is only a header.
            double n = 0;
            if (scan::ParseNumber(line, n) && n >= 0 && n == std::floor(n) && n <= 1e9) {
                stated = static_cast<long long>(n);
                statedLine = number;
            }
            continue;
        }
        if (line.empty()) continue;
        const std::vector<std::string_view> tokens = scan::Tokens(line);
        if (tokens.size() < 4)
            throw ELandmarkFileError(number, "a point line is not \"name x y z\"");
        Point point;
        point.line = number;
        // A name written with blanks and no quotes is every field before the coordinates.
        const std::size_t first = tokens.size() - 3;
        for (std::size_t i = 0; i < first; ++i) {
            if (i > 0) point.label += ' ';
            point.label += tokens[i];
        }
        scan::ReadCoordinates(tokens, first, number, point);
        point.missing = IsMissingCode(point.x) && IsMissingCode(point.y) && IsMissingCode(point.z);
        scan::AddPoint(specimen, std::move(point), total);
    }
    if (stated >= 0 && static_cast<std::size_t>(stated) != total)
        throw ELandmarkFileError(statedLine, "the count says " + std::to_string(stated) +
                                                 " points, the file holds " +
                                                 std::to_string(total));
    return file;
}

LandmarkFile ReadDta(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Dta;
    const std::vector<Token> tokens = DtaTokens(text);
    // Header: matrix type, rows[L], columns[L], missing flag, [missing value], [DIM=k].
    std::size_t at = 0;
    const auto next = [&](const char* what) -> const Token& {
        if (at >= tokens.size())
            throw ELandmarkFileError(tokens.empty() ? 0 : tokens.back().line,
                                     std::string("the file ends before ") + what);
        return tokens[at++];
    };
    const Token& type = next("its header");
    if (type.text != "1")
        throw ELandmarkFileError(type.line, "matrix type \"" + scan::Shown(type.text) +
                                                "\" is not 1 (a rectangular matrix)");
    bool rowLabels = false, colLabels = false, unused = false;
    const long long rows = HeaderCount(next("the row count"), rowLabels);
    const Token& colToken = next("the column count");
    const long long cols = HeaderCount(colToken, colLabels);
    const long long flag = HeaderCount(next("the missing-value flag"), unused);
    std::optional<double> missingValue;
    if (flag == 1) {
        const Token& value = next("the missing value");
        missingValue = scan::NumberAt(value.text, value.line, "the missing value");
    }
    long long dim = 3;
    const long long headerLine = type.line;
    // DIM=k closes the header line when it is there.
    while (at < tokens.size() && tokens[at].line == headerLine) {
        const std::string_view t = tokens[at++].text;
        if (scan::StartsWithNoCase(t, "dim=")) {
            double d = 0;
            if (!scan::ParseNumber(t.substr(4), d) || d != std::floor(d) || d < 1 || d > 9)
                throw ELandmarkFileError(headerLine, "\"" + scan::Shown(t) + "\" is no dimension");
            dim = static_cast<long long>(d);
        }
    }
    if (dim != 3)
        throw ELandmarkFileError(
            headerLine, std::to_string(dim) + "-dimensional landmarks: a skull needs three");
    if (cols % 3 != 0)
        throw ELandmarkFileError(
            colToken.line, std::to_string(cols) + " columns are no whole number of x y z points");
    if (rows > static_cast<long long>(scan::kMaxSpecimens))
        throw ELandmarkFileError(headerLine,
                                 "more than " + std::to_string(scan::kMaxSpecimens) + " specimens");
    if (rows * (cols / 3) > static_cast<long long>(scan::kMaxPoints))
        throw ELandmarkFileError(headerLine,
                                 "more than " + std::to_string(scan::kMaxPoints) + " points");
    std::vector<std::string> names;
    if (rowLabels)
        for (long long r = 0; r < rows; ++r) names.emplace_back(next("its row labels").text);
    std::vector<std::string> labels;
    if (colLabels) {
        for (long long c = 0; c < cols; ++c) {
            std::string label(next("its column labels").text);
            // A point's name is its x column's, without the axis letter it ends in.
            if (c % 3 != 0) continue;
            if (label.size() > 1 && (label.back() == 'x' || label.back() == 'X')) {
                label.pop_back();
                while (!label.empty() && (label.back() == '_' || label.back() == '-' ||
                                          label.back() == '.' || label.back() == ' '))
                    label.pop_back();
            }
            labels.push_back(std::move(label));
        }
    }
    std::size_t total = 0;
    for (long long r = 0; r < rows; ++r) {
        Specimen& specimen = file.specimens.emplace_back();
        if (rowLabels) specimen.name = names[static_cast<std::size_t>(r)];
        for (long long p = 0; p < cols / 3; ++p) {
            Point point;
            double* const axes[] = {&point.x, &point.y, &point.z};
            for (int a = 0; a < 3; ++a) {
                const Token& value = next("all its values");
                point.line = value.line;
                *axes[a] = scan::NumberAt(value.text, value.line, "a value");
                if (missingValue && *axes[a] == *missingValue) point.missing = true;
            }
            if (colLabels) point.label = labels[static_cast<std::size_t>(p)];
            scan::AddPoint(specimen, std::move(point), total);
        }
    }
    if (at < tokens.size())
        throw ELandmarkFileError(tokens[at].line, "more values than the header's " +
                                                      std::to_string(rows) + " rows of " +
                                                      std::to_string(cols));
    return file;
}

}  // namespace morvik::landmarks
