#include "Export.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "Captions.h"
#include "Messages.h"
#include "SetModel.h"
#include "text/Cp1250.h"
#include "text/Error.h"
#include "text/Platform.h"

namespace morvik::core {
namespace {

// The report keeps the form readers of it rely on: a score as a plain number. What a
// reference model adds to a label (a refit's '*', an indeterminate vote's brackets) is told
// in the evidence file beside it.
std::string PlainScore(std::string text) {
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')')
        text = text.substr(1, text.size() - 2);
    if (!text.empty() && text.back() == '*') text.pop_back();
    return text;
}

}  // namespace

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
                        PlainScore(ws.result[static_cast<std::size_t>(k)].text));
    }
    lines.emplace_back(" ");
    lines.push_back(std::string(words.verdictWord) + " " + ws.Label1.text);
    return lines;
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(platform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    if (!out) throw ESystemError(FileAction::Create, path, errno);
    out << bytes;
    out.close();
    if (!out) throw ESystemError(FileAction::Write, path, errno);
}

void WriteReport(const std::string& path, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += Utf8ToCp1250(line) + "\r\n";
    WriteFileBytes(path, bytes);
}

std::string WithDefaultExtension(const std::string& path, std::string_view extension) {
    const auto slash = path.find_last_of("/\\");
    const std::string_view name =
        std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.empty() || name.find('.') != std::string_view::npos) return path;
    return path + "." + std::string(extension);
}

std::string WithEnding(const std::string& path, std::string_view ending) {
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + std::string(ending);
}

std::string EvidenceFileName(const std::string& reportPath) {
    return WithEnding(reportPath, ".evidence.txt");
}

void ExportReport(const Workspace& ws, int setIndex, std::string_view lang,
                  const std::string& path) {
    WriteReport(path, ReportLines(ws, setIndex, lang));
    WriteEvidence(path, EvidenceReportLines(ws, setIndex, lang));
}

void WriteEvidence(const std::string& reportPath, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    // A new output: UTF-8, so that whatever the model's texts hold is kept.
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    WriteFileBytes(EvidenceFileName(reportPath), bytes);
}

}  // namespace morvik::core
