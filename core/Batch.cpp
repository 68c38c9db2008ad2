#include "Batch.h"

#include <memory>

#include "Captions.h"
#include "Commands.h"
#include "DataExchange.h"
#include "EquationSets.h"
#include "Export.h"
#include "Loaders.h"
#include "WorkbookImport.h"
#include "compute/Compute.h"
#include "text/Error.h"

namespace morvik::core {
namespace {

constexpr int kCloudYCol = 1;

int CloudPoints(const TextTable& cloud) {
    int n = 0;
    while (!cloud.IsEmpty(kCloudYCol, n + 1)) ++n;
    return n;
}

std::string MessageOf(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";  // what the window shows for a failure without a message
    }
}

SkullResult Failed(std::string sheet, std::exception_ptr failure) {
    SkullResult result;
    result.sheet = std::move(sheet);
    result.message = MessageOf(failure);
    return result;
}

SkullResult Computed(Workspace& ws, std::string sheet, const BatchSettings& settings) {
    Calculate(ws);
    SkullResult result = ReadResult(ws);
    result.sheet = std::move(sheet);
    if (settings.reports)
        result.reportLines = ReportLines(ws, settings.set.value_or(kUniversalSet), settings.lang);
    return result;
}

}  // namespace

int ColumnOfEquation(int number) {
    for (int k = 1; k <= kEquationCount; ++k)
        if (EquationOfColumn(k) == number) return k;
    throw Error("There is no equation " + std::to_string(number) + ".");
}

int EquationOfColumn(int column) {
    const std::string_view text = kEquationNumbers.at(static_cast<std::size_t>(column - 1));
    return text.front() - '0';
}

Workspace StartWorkspace(const IniFile& ini, const BatchSettings& settings) {
    Workspace ws;
    // The window's start: Czech until the settings name a language, the startup set, the
    // cloud headers, the captions of the stored language.
    ws.lang = "cz";
    WriteEquationHeader(ws);
    ws.lang = ReadLanguage(ini, ws.lang);
    LoadStartupSet(ws, ini);
    for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3}) {
        cloud->SetCell(0, 0, "X");
        cloud->SetCell(1, 0, "Y");
        cloud->SetCell(2, 0, "Z");
    }
    ws.Label1.text = "Muž / Žena";
    if (const CaptionSet* set = FindCaptionSet(ws.lang)) ApplyCaptionCells(ws, *set);

    // Then what the user picks: the set from the list, the language, the check boxes.
    if (settings.set) LoadEquationSet(ws, ini, *settings.set);
    const CaptionSet* language = FindCaptionSet(settings.lang);
    if (language == nullptr) throw Error("Unknown language \"" + settings.lang + "\".");
    ws.lang = std::string(language->code);
    ApplyCaptionCells(ws, *language);
    ws.cb = settings.use;
    return ws;
}

void CheckCoefficients(const Workspace& start) {
    Workspace ws = start;
    for (int r = 1; r <= kLandmarkCount; ++r)
        for (int c = 2; c <= 4; ++c) ws.sgImput.SetCell(c, r, "0");
    for (TextTable* cloud : {&ws.sgImput2, &ws.sgImput3})
        for (int c = 0; c < 3; ++c) cloud->SetCell(c, 1, "0");
    Calculate(ws);
}

std::string_view VerdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::Male:
            return "male";
        case Verdict::Female:
            return "female";
        case Verdict::Tie:
            return "tie";
        case Verdict::Indeterminate:
            break;
    }
    return "indeterminate";
}

SkullResult ReadResult(const Workspace& ws) {
    SkullResult result;
    result.ok = true;
    result.missing = MissingLandmarks(ws);
    result.euRightPoints = CloudPoints(ws.sgImput2);
    result.euLeftPoints = CloudPoints(ws.sgImput3);

    const DimensionSet unmeasured = MissingDimensions(ws);
    for (int r = 1; r <= kDimensionCount; ++r) {
        const auto d = static_cast<std::size_t>(r - 1);
        if (!unmeasured.test(d)) result.dimensions[d] = DimensionValue(ws, r);
    }

    // The window counts a label as a vote unless it is empty or starts with '.', and as a
    // female vote when it starts with '-'; the score behind it is what it rounds.
    for (int k = 1; k <= kEquationCount; ++k) {
        const std::string& text = ws.result[static_cast<std::size_t>(k - 1)].text;
        if (text.empty() || text.front() == '.') continue;
        const auto e = static_cast<std::size_t>(EquationOfColumn(k) - 1);
        result.scores[e] = EquationScore(ws, k);
        result.votes[e] = text.front() == '-' ? 'F' : 'M';
    }

    // The verdict is read from the label the window shows, so it always agrees with it.
    const VerdictWords words = VerdictWordsFor(ws.lang);
    const std::string& verdict = ws.Label1.text;
    if (verdict == words.male) {
        result.verdict = Verdict::Male;
    } else if (verdict == words.female) {
        result.verdict = Verdict::Female;
    } else if (verdict == std::string(words.male) + "/" + std::string(words.female)) {
        result.verdict = Verdict::Tie;
    } else if (verdict == words.indeterminate) {
        result.verdict = Verdict::Indeterminate;
    } else {
        throw Error("The verdict \"" + verdict + "\" is not one the table knows.");
    }
    return result;
}

std::vector<SkullResult> ProcessFile(Session& session, const Workspace& start,
                                     const std::string& path, const BatchSettings& settings) {
    std::vector<SkullResult> results;
    Workspace& ws = session.ws;
    ws = start;

    // The window's load command, with the workbook kept open for its sheet names and for
    // the other sheets.
    std::unique_ptr<WorkbookCells> cells;
    std::string firstSheet;
    try {
        LoadMeasurementFile(ws, path, [&](Workspace& target, const std::string& file) {
            cells = FindLoader(file)->openWorkbook(file, session.reader);
            if (cells->SheetCount() > 0) firstSheet = cells->SheetName(0);
            ImportWorkbookCells(target, *cells, 0);
        });
        results.push_back(Computed(ws, firstSheet, settings));
    } catch (...) {
        results.push_back(Failed(firstSheet, std::current_exception()));
    }
    if (!settings.allSheets || cells == nullptr) return results;

    for (int sheet = 1; sheet < cells->SheetCount(); ++sheet) {
        std::string name;
        try {
            name = cells->SheetName(sheet);
            ws = start;
            ImportWorkbookCells(ws, *cells, sheet);
            ConvertDecimalPoints(ws);
            results.push_back(Computed(ws, name, settings));
        } catch (...) {
            results.push_back(Failed(name, std::current_exception()));
        }
    }
    return results;
}

}  // namespace morvik::core
