// Morphologika (.txt): "[individuals]", "[landmarks]", "[dimensions]", "[names]" and
// "[rawpoints]" sections in any order; lines beginning with "'" are comments. The raw points
// run specimen after specimen, a point a line.
#include <array>
#include <cmath>

#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

// The common code for a point not placed.
constexpr double kMissingCode = 9999;

long long CountOf(const std::vector<std::pair<std::string_view, long long>>& lines,
                  std::string_view section, long long sectionLine) {
    if (lines.empty()) throw ELandmarkFileError(sectionLine, std::string(section) + " is empty");
    double n = 0;
    if (!scan::ParseNumber(lines.front().first, n) || n < 0 || n != std::floor(n) || n > 1e9)
        throw ELandmarkFileError(
            lines.front().second,
            std::string(section) + " \"" + scan::Shown(lines.front().first) + "\" is no count");
    return static_cast<long long>(n);
}

}  // namespace

bool IsMorphologika(std::string_view bytes) {
    scan::Lines lines(bytes);
    std::string_view line;
    while (lines.Next(line)) {
        line = scan::Trim(line);
        if (line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        if (line.empty() || line.front() == '\'') continue;
        return scan::EqualsNoCase(line, "[individuals]");
    }
    return false;
}

LandmarkFile ReadMorphologika(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Morphologika;
    // The lines of each section of interest, with their numbers.
    using SectionLines = std::vector<std::pair<std::string_view, long long>>;
    SectionLines individuals, landmarks, dimensions, names, rawpoints;
    long long rawLine = 0;
    std::array<long long, 4> sectionLines{};
    SectionLines* into = nullptr;
    scan::Lines lines(text);
    std::string_view raw;
    while (lines.Next(raw)) {
        const std::string_view line = scan::Trim(raw);
        if (line.empty() || line.front() == '\'') continue;
        if (line.front() == '[') {
            const auto is = [&](std::string_view name) { return scan::EqualsNoCase(line, name); };
            into = is("[individuals]")  ? &individuals
                   : is("[landmarks]")  ? &landmarks
                   : is("[dimensions]") ? &dimensions
                   : is("[names]")      ? &names
                   : is("[rawpoints]")  ? &rawpoints
                                        : nullptr;
            if (into == &rawpoints) rawLine = lines.Number();
            if (into == &individuals) sectionLines[0] = lines.Number();
            if (into == &landmarks) sectionLines[1] = lines.Number();
            if (into == &dimensions) sectionLines[2] = lines.Number();
            continue;
        }
        if (into != nullptr) into->emplace_back(line, lines.Number());
    }
    if (sectionLines[0] == 0 || sectionLines[1] == 0 || rawLine == 0)
        throw ELandmarkFileError(0,
                                 "a Morphologika file needs [individuals], [landmarks] and "
                                 "[rawpoints]");
    const long long count = CountOf(individuals, "[individuals]", sectionLines[0]);
    const long long perSpecimen = CountOf(landmarks, "[landmarks]", sectionLines[1]);
    const long long dim =
        dimensions.empty() ? 3 : CountOf(dimensions, "[dimensions]", sectionLines[2]);
    if (dim != 3)
        throw ELandmarkFileError(
            sectionLines[2], std::to_string(dim) + "-dimensional landmarks: a skull needs three");
    if (count > static_cast<long long>(scan::kMaxSpecimens))
        throw ELandmarkFileError(
            sectionLines[0], "more than " + std::to_string(scan::kMaxSpecimens) + " individuals");
    // The points the header promises are exactly the lines there are, so no count of the
    // header reaches an allocation before the lines are there.
    if (count * perSpecimen != static_cast<long long>(rawpoints.size()))
        throw ELandmarkFileError(rawLine, std::to_string(count) + " individuals of " +
                                              std::to_string(perSpecimen) + " landmarks need " +
                                              "that many point lines; [rawpoints] holds " +
                                              std::to_string(rawpoints.size()));
    std::size_t total = 0, next = 0;
    for (long long s = 0; s < count; ++s) {
        Specimen& specimen = file.specimens.emplace_back();
        if (static_cast<std::size_t>(s) < names.size())
            specimen.name = std::string(names[static_cast<std::size_t>(s)].first);
        for (long long p = 0; p < perSpecimen; ++p) {
            const auto& [line, number] = rawpoints[next++];
            const std::vector<std::string_view> tokens = scan::Tokens(line);
            if (tokens.size() != 3)
                throw ELandmarkFileError(number, "a point line is not \"x y z\"");
            Point point;
            point.line = number;
            scan::ReadCoordinates(tokens, 0, number, point);
            point.missing = std::fabs(point.x) == kMissingCode &&
                            std::fabs(point.y) == kMissingCode &&
                            std::fabs(point.z) == kMissingCode;
            scan::AddPoint(specimen, std::move(point), total);
        }
    }
    return file;
}

}  // namespace morvik::landmarks
