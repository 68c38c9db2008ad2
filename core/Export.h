// The text report of what the window shows after a computation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compute/Workspace.h"

namespace morvik::core {

// The 29 report lines (UTF-8, without line ends) for the set at list position `setIndex`
// and the language code `lang`.
std::vector<std::string> ReportLines(const Workspace& ws, int setIndex, std::string_view lang);

// The bytes as the file's whole content, replacing any file of that name; no flush to disk (a
// batch writes thousands). ESystemError naming the file when it cannot be created or written.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// Writes the lines in Windows-1250, each ended by CR LF, replacing any file of that name.
// Throws std::runtime_error naming the file when it cannot be created or written.
void WriteReport(const std::string& path, const std::vector<std::string>& lines);

// A file name typed without an extension gets `extension` (without its point).
std::string WithDefaultExtension(const std::string& path, std::string_view extension);

// The path with its extension (if its file name has one) replaced by `ending`: "skull.pdf" for
// "skull.txt" and ".pdf", "skull.pdf" for "skull".
std::string WithEnding(const std::string& path, std::string_view ending);

// "skull.evidence.txt" for "skull.txt": where the export writes the evidence of a reference
// model, beside the report.
std::string EvidenceFileName(const std::string& reportPath);

// The Export command after the save dialog. With a reference model the evidence (posteriors,
// typicalities, refits, warnings) goes to EvidenceFileName(path), in UTF-8.
void ExportReport(const Workspace& ws, int setIndex, std::string_view lang,
                  const std::string& path);

// The evidence lines (none: nothing is written) beside the report at `reportPath`.
void WriteEvidence(const std::string& reportPath, const std::vector<std::string>& lines);

}  // namespace morvik::core
