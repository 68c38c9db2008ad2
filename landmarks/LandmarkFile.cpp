#include "LandmarkFile.h"

#include <array>

#include "TextScan.h"

namespace morvik::landmarks {

std::optional<double> UnitToMillimetres(std::string_view unit) {
    unit = scan::Trim(unit);
    struct Unit {
        std::string_view name;
        double factor;
    };
    static constexpr std::array<Unit, 14> kUnits{{
        {"", 1},
        {"mm", 1},
        {"millimeter", 1},
        {"millimeters", 1},
        {"millimetre", 1},
        {"millimetres", 1},
        {"um", 0.001},
        {"\xC2\xB5m", 0.001},  // micro sign
        {"\xCE\xBCm", 0.001},  // Greek mu
        {"micron", 0.001},
        {"microns", 0.001},
        {"micrometer", 0.001},
        {"cm", 10},
        {"m", 1000},
    }};
    for (const Unit& u : kUnits)
        if (scan::EqualsNoCase(unit, u.name)) return u.factor;
    if (scan::EqualsNoCase(unit, "micrometers") || scan::EqualsNoCase(unit, "micrometres") ||
        scan::EqualsNoCase(unit, "micrometre"))
        return 0.001;
    return std::nullopt;
}

std::string_view FormatName(Format format) {
    switch (format) {
        case Format::MarkupsJson:
            return "3D Slicer markups";
        case Format::Fcsv:
            return "3D Slicer fiducial list";
        case Format::PickedPoints:
            return "MeshLab picked points";
        case Format::Checkpoint:
            return "Checkpoint landmarks";
        case Format::Pts:
            return "Landmark Editor points";
        case Format::Dta:
            return "Landmark Editor NTSYS matrix";
        case Format::Tps:
            return "TPS landmarks";
        case Format::Morphologika:
            return "Morphologika";
    }
    return "landmark file";
}

std::optional<Format> FormatOfFileName(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    const auto endsWith = [&](std::string_view suffix) {
        return path.size() > suffix.size() &&
               scan::EqualsNoCase(path.substr(path.size() - suffix.size()), suffix);
    };
    if (endsWith(".mrk.json")) return Format::MarkupsJson;
    if (endsWith(".fcsv")) return Format::Fcsv;
    if (endsWith(".pp")) return Format::PickedPoints;
    if (endsWith(".ckpt")) return Format::Checkpoint;
    if (endsWith(".pts")) return Format::Pts;
    if (endsWith(".dta")) return Format::Dta;
    if (endsWith(".tps")) return Format::Tps;
    return std::nullopt;
}

LandmarkFile ReadLandmarkFile(Format format, std::string_view bytes, const ReadOptions& options) {
    switch (format) {
        case Format::MarkupsJson:
            return ReadMarkupsJson(bytes);
        case Format::Fcsv:
            return ReadFcsv(bytes);
        case Format::PickedPoints:
            return ReadPickedPoints(bytes);
        case Format::Checkpoint:
            return ReadCheckpoint(bytes);
        case Format::Pts:
            return ReadPts(bytes);
        case Format::Dta:
            return ReadDta(bytes);
        case Format::Tps:
            return ReadTps(bytes, options);
        case Format::Morphologika:
            return ReadMorphologika(bytes);
    }
    throw ELandmarkFileError(0, "unknown format");
}

}  // namespace morvik::landmarks
