#include "Loaders.h"

#include <array>

#include "DataExchange.h"
#include "LandmarkFileLoader.h"
#include "OdsLoader.h"
#include "XlsLoader.h"
#include "XlsxLoader.h"

namespace morvik::core {
namespace {

constexpr std::array kLoaders{
    Loader{".xls", "Excel 97-2003 workbook", &OpenXlsWorkbook, nullptr},
    Loader{".xlsx", "Excel workbook", &OpenXlsxWorkbook, nullptr},
    Loader{".xlsm", "Excel macro-enabled workbook", &OpenXlsxWorkbook, nullptr},
    Loader{".ods", "OpenDocument spreadsheet", &OpenOdsWorkbook, nullptr},
    Loader{".txt", "Tab-separated text or Morphologika", nullptr, &LoadTxtFile},
    Loader{".csv", "Comma-separated text", nullptr, &LoadCsvFile},
    Loader{".mrk.json", "3D Slicer markups", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".fcsv", "3D Slicer fiducial list", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".pp", "MeshLab picked points", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".ckpt", "Checkpoint landmarks", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".pts", "Landmark Editor points", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".dta", "Landmark Editor NTSYS matrix", nullptr, &LoadFirstLandmarkSpecimen},
    Loader{".tps", "TPS landmarks", nullptr, &LoadFirstLandmarkSpecimen},
};

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

std::span<const Loader> Loaders() { return kLoaders; }

const Loader* FindLoader(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // By the longest extension the name ends in: ".mrk.json" has two points.
    const std::string lower = LowerAscii(name);
    const Loader* found = nullptr;
    for (const Loader& loader : kLoaders) {
        if (lower.size() >= loader.extension.size() && lower.ends_with(loader.extension) &&
            (found == nullptr || loader.extension.size() > found->extension.size()))
            found = &loader;
    }
    return found;
}

std::string LoadableExtensionsText() {
    std::string text;
    for (std::size_t i = 0; i < kLoaders.size(); ++i) {
        if (i > 0) text += i + 1 == kLoaders.size() ? " and " : ", ";
        text += kLoaders[i].extension;
    }
    return text;
}

}  // namespace morvik::core
