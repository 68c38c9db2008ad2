// The case report: one skull's result as a PDF a case file can keep — where the measurements
// came from (paths, sizes, SHA-256), the settings and set used, the landmarks with a picture
// of the skull in three views, the dimensions with their units, each equation's score, vote
// and evidence, the verdict, the warnings, and the coefficients as used, so that the
// computation can be checked by hand from the report alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compute/Compute.h"
#include "compute/Workspace.h"

namespace morvik::core {

// Where the data of the current result came from.
struct CaseSource {
    std::vector<std::string> files;  // full paths, as loaded
    std::string sheet;               // the workbook sheet computed, when known
    bool pasted = false;             // values pasted from the clipboard since (or instead)
    bool typed = false;              // values typed by hand since (or instead)
};

struct CaseReportInput {
    int setIndex = 0;  // list position of the set, as the export takes it
    std::string lang = "en";
    // The calculation's gaps; gaps.fromMeasurements: the dimensions were typed, so there
    // are no landmarks and no picture.
    CalculationGaps gaps;
    CaseSource source;
    std::string settingsPath;
    std::int64_t time = 0;  // seconds since 1970 (UTC): the computation, and the PDF's date
};

// Now, or SOURCE_DATE_EPOCH when it holds a number (the reproducible-builds convention): the
// same skull then gives the same bytes.
std::int64_t ReportTime();

// The PDF of the current result of `ws`. Throws EUserError: NoCurrentResult when the result
// does not belong to the tables as they stand, ReportFont… when the fonts are missing or
// cannot be used, ReportUnavailable where this build makes no PDF.
std::string CaseReportPdf(const Workspace& ws, const CaseReportInput& input);

// Throws the EUserError CaseReportPdf would for every report when the fonts are missing or
// cannot be used, or this build makes no PDF: for a batch to say so once, before it starts.
void RequireCaseReportFonts();

// The report written to `path` (replacing it in one step); a failure names the file.
void WriteCaseReport(const Workspace& ws, const CaseReportInput& input, const std::string& path);

// The command's name on a menu: "Protokol (PDF)…" for "cz", else "Report (PDF)…".
std::string_view CaseReportCommandName(std::string_view lang);

// "skull.pdf" for "skull.txt" or "skull": the report's name beside a text report's.
std::string CaseReportFileName(const std::string& reportPath);

}  // namespace morvik::core
