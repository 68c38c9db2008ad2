#include "Export.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "Captions.h"
#include "Messages.h"
#include "text/Cp1250.h"
#include "text/Error.h"
#include "text/Platform.h"

namespace morvik::core {

std::vector<std::string> ReportLines(const Workspace& ws, int setIndex, std::string_view lang) {
    const CaptionSet* set = FindCaptionSet(lang);
    // An unknown language code still gets a report, with the Czech words.
    const CaptionSet& words = set ? *set : kCzechCaptions;

    std::vector<std::string> lines;
    lines.reserve(29);
    const bool knownSet = set && setIndex >= 0 && setIndex < static_cast<int>(set->setNames.size());
    lines.emplace_back(knownSet ? set->setNames[static_cast<std::size_t>(setIndex)] : "");
    lines.emplace_back(" ");
    for (int r = 1; r <= kDimensionCount; ++r) {
        lines.push_back(ws.sgRozmery.Cell(0, r) + " = " + ws.sgRozmery.Cell(1, r) + " mm");
    }
    lines.emplace_back(" ");
    for (int k = 0; k < kEquationCount; ++k) {
        lines.push_back(std::string(words.equationWord) + " " +
                        std::string(kEquationNumbers[static_cast<std::size_t>(k)]) + " = " +
                        ws.result[static_cast<std::size_t>(k)].text);
    }
    lines.emplace_back(" ");
    lines.push_back(std::string(words.verdictWord) + " " + ws.Label1.text);
    return lines;
}

void WriteReport(const std::string& path, const std::vector<std::string>& lines) {
    std::ofstream out(platform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        throw ESystemError(FileAction::Create, path, errno);
    }
    for (const std::string& line : lines) out << Utf8ToCp1250(line) << "\r\n";
    out.close();
    if (!out) {
        throw ESystemError(FileAction::Write, path, errno);
    }
}

std::string WithDefaultExtension(const std::string& path, std::string_view extension) {
    const auto slash = path.find_last_of("/\\");
    const std::string_view name =
        std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || name.find('.') != std::string_view::npos) return path;
    return path + "." + std::string(extension);
}

void ExportReport(const Workspace& ws, int setIndex, std::string_view lang,
                  const std::string& path) {
    WriteReport(path, ReportLines(ws, setIndex, lang));
}

}  // namespace morvik::core
