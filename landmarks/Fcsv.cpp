// 3D Slicer's older fiducial list (.fcsv): '#' header lines, then one comma-separated row a
// point. The "# columns =" line names the columns; rows may carry more fields than it names.
#include "LandmarkFile.h"
#include "TextScan.h"
#include "text/Cp1250.h"

namespace morvik::landmarks {
namespace {

// One row's fields; a field in quotes may hold commas and doubled quotes.
std::vector<std::string> SplitRow(std::string_view line, long long number) {
    std::vector<std::string> fields(1);
    bool quoted = false, started = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                fields.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && !started) {
            quoted = started = true;
        } else if (c == ',') {
            fields.emplace_back();
            started = false;
        } else {
            fields.back() += c;
            started = true;
        }
    }
    if (quoted) throw ELandmarkFileError(number, "a quoted field is not closed");
    return fields;
}

std::string_view AfterEquals(std::string_view line) {
    const auto eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : scan::Trim(line.substr(eq + 1));
}

}  // namespace

LandmarkFile ReadFcsv(std::string_view bytes) {
    const std::string text = TextAsUtf8(bytes);
    LandmarkFile file;
    file.format = Format::Fcsv;
    file.coordinateSystem = "RAS";  // what a file without the line was written in
    Specimen& specimen = file.specimens.emplace_back();
    // Slicer's own columns when the header names none.
    std::size_t xCol = 1, yCol = 2, zCol = 3, labelCol = 11;
    std::size_t statusCol = std::string::npos;
    std::size_t total = 0;
    scan::Lines lines(text);
    std::string_view raw;
    while (lines.Next(raw)) {
        const std::string_view line = scan::Trim(raw);
        const long long number = lines.Number();
        if (line.empty()) continue;
        if (line.front() == '#') {
            const std::string_view body = scan::Trim(line.substr(1));
            if (scan::StartsWithNoCase(body, "CoordinateSystem")) {
                const std::string_view value = AfterEquals(body);
                if (value == "0" || scan::EqualsNoCase(value, "RAS")) {
                    file.coordinateSystem = "RAS";
                } else if (value == "1" || scan::EqualsNoCase(value, "LPS")) {
                    file.coordinateSystem = "LPS";
                } else {
                    throw ELandmarkFileError(
                        number, "unknown coordinate system \"" + scan::Shown(value) + "\"");
                }
            } else if (scan::StartsWithNoCase(body, "columns")) {
                const std::vector<std::string> names = SplitRow(AfterEquals(body), number);
                xCol = yCol = zCol = labelCol = std::string::npos;
                for (std::size_t i = 0; i < names.size(); ++i) {
                    const std::string_view name = scan::Trim(names[i]);
                    if (name == "x")
                        xCol = i;
                    else if (name == "y")
                        yCol = i;
                    else if (name == "z")
                        zCol = i;
                    else if (name == "label")
                        labelCol = i;
                    else if (name == "positionStatus")
                        statusCol = i;
                }
                if (xCol == std::string::npos || yCol == std::string::npos ||
                    zCol == std::string::npos)
                    throw ELandmarkFileError(number, "the column line names no x, y and z");
            }
            continue;
        }
        const std::vector<std::string> fields = SplitRow(line, number);
        Point point;
        point.line = number;
        if (labelCol < fields.size()) point.label = fields[labelCol];
        const auto field = [&](std::size_t col) {
            return col < fields.size() ? scan::Trim(fields[col]) : std::string_view();
        };
        if (statusCol < fields.size()) {
            const std::string_view status = field(statusCol);
            // Slicer's numbers: 0 undefined, 1 preview, 2 defined, 3 missing.
            point.missing = status == "0" || status == "1" || status == "3" ||
                            status == "undefined" || status == "preview" || status == "missing";
        }
        // A point never placed is written without coordinates (or as "nan").
        const std::string_view x = field(xCol), y = field(yCol), z = field(zCol);
        const auto unset = [](std::string_view v) {
            return v.empty() || scan::EqualsNoCase(v, "nan");
        };
        if (unset(x) && unset(y) && unset(z)) point.missing = true;
        if (!point.missing) {
            point.x = scan::NumberAt(x, number, "x");
            point.y = scan::NumberAt(y, number, "y");
            point.z = scan::NumberAt(z, number, "z");
        }
        scan::AddPoint(specimen, std::move(point), total);
    }
    return file;
}

}  // namespace morvik::landmarks
