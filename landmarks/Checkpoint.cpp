// Checkpoint's landmark export (.ckpt): "[Section]" lines; the [Landmarks] section holds
// "Key: value" lines (NumberOfPoints, Units) and one row a point, "i: ... N|M ... x y z ...
// "name" ...", where N marks a point placed and M one missing.
#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

bool IsIndexed(std::string_view line) {
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    return digits > 0 && digits < line.size() && line[digits] == ':';
}

}  // namespace

LandmarkFile ReadCheckpoint(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Checkpoint;
    Specimen& specimen = file.specimens.emplace_back();
    std::size_t total = 0;
    bool inLandmarks = false, anySection = false, unitSeen = false;
    long long stated = -1, statedLine = 0;
    scan::Lines lines(text);
    std::string_view raw;
    while (lines.Next(raw)) {
        const std::string_view line = scan::Trim(raw);
        const long long number = lines.Number();
        if (line.empty()) continue;
        if (line.front() == '[') {
            anySection = true;
            inLandmarks = scan::EqualsNoCase(line, "[Landmarks]");
            continue;
        }
        if (!inLandmarks) continue;
        if (!IsIndexed(line)) {
            const auto colon = line.find(':');
            if (colon == std::string_view::npos) continue;
            const std::string_view key = scan::Trim(line.substr(0, colon));
            const std::string_view value = scan::Trim(line.substr(colon + 1));
            if (scan::EqualsNoCase(key, "Units")) {
                if (!UnitToMillimetres(value))
                    throw ELandmarkFileError(number, "unknown unit \"" + scan::Shown(value) + "\"");
                if (unitSeen && UnitToMillimetres(file.unit) != UnitToMillimetres(value))
                    throw ELandmarkFileError(number, "landmarks in different units");
                file.unit = std::string(value);
                unitSeen = true;
            } else if (scan::EqualsNoCase(key, "NumberOfPoints")) {
                double n = 0;
                if (!scan::ParseNumber(value, n) || n < 0 || n > 1e9 ||
                    n != static_cast<long long>(n))
                    throw ELandmarkFileError(
                        number, "NumberOfPoints \"" + scan::Shown(value) + "\" is no count");
                stated = (stated < 0 ? 0 : stated) + static_cast<long long>(n);
                statedLine = number;
            }
            continue;
        }
        // The label in quotes may hold blanks and digits: it is taken out before the fields.
        Point point;
        point.line = number;
        std::string rest(line.substr(line.find(':') + 1));
        const auto open = rest.find('"');
        if (open != std::string::npos) {
            const auto close = rest.find('"', open + 1);
            if (close == std::string::npos)
                throw ELandmarkFileError(number, "a quoted name is not closed");
            point.label = rest.substr(open + 1, close - open - 1);
            rest.replace(open, close - open + 1, " ");
        }
        const std::vector<std::string_view> tokens = scan::Tokens(rest);
        std::size_t status = 0;
        while (status < tokens.size() && tokens[status] != "N" && tokens[status] != "M") ++status;
        if (status == tokens.size())
            throw ELandmarkFileError(number,
                                     "the point is marked neither N (placed) nor M (missing)");
        point.missing = tokens[status] == "M";
        if (!point.missing) {
            if (tokens.size() - status < 4)
                throw ELandmarkFileError(number, "the point has fewer than three coordinates");
            scan::ReadCoordinates(tokens, status + 1, number, point);
        }
        scan::AddPoint(specimen, std::move(point), total);
    }
    if (!anySection) throw ELandmarkFileError(0, "no [Landmarks] section: not a Checkpoint file");
    if (stated >= 0 && static_cast<std::size_t>(stated) != total)
        throw ELandmarkFileError(statedLine, "NumberOfPoints says " + std::to_string(stated) +
                                                 ", the section holds " + std::to_string(total));
    return file;
}

}  // namespace morvik::landmarks
