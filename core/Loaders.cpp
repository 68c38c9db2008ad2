#include "Loaders.h"

#include <array>

#include "DataExchange.h"
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
    Loader{".txt", "Tab-separated text", nullptr, &LoadTextFile},
    Loader{".csv", "Comma-separated text", nullptr, &LoadCsvFile},
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
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return nullptr;
    const std::string extension = LowerAscii(name.substr(dot));
    for (const Loader& loader : kLoaders) {
        if (loader.extension == extension) return &loader;
    }
    return nullptr;
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
