#include "Batch.h"

#include <filesystem>
#include <memory>

#include "Captions.h"
#include "CaseReport.h"
#include "Commands.h"
#include "DataExchange.h"
#include "EquationSets.h"
#include "Export.h"
#include "LandmarkFileLoader.h"
#include "Loaders.h"
#include "SetModel.h"
#include "WorkbookImport.h"
#include "compute/Compute.h"
#include "text/Cp1250.h"
#include "text/Error.h"

namespace morvik::core {
namespace {

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

char32_t FoldLetter(char32_t c) {
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    // Latin Extended-A pairs capital and small letter, the capital first; U+0130/U+0131 (the
    // dotted and dotless i) have no such partner.
    const bool capitalEven =
        (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool capitalOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if ((capitalEven && c % 2 == 0) || (capitalOdd && c % 2 == 1)) return c + 1;
    if (c == 0x178) return 0xFF;
    return c;
}

std::string QuotedList(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += i + 1 == names.size() ? " and " : ", ";
        out += "\"" + names[i] + "\"";
    }
    return out;
}

std::vector<std::string> SheetNames(const WorkbookCells& cells, const std::vector<int>& sheets) {
    std::vector<std::string> names;
    for (int sheet : sheets) names.push_back(cells.SheetName(sheet));
    return names;
}

// Why the first sheet of a workbook is no skull when another sheet holds landmarks; empty
// when it is one, or when no sheet is.
std::string FirstSheetWithoutLandmarks(const WorkbookCells& cells) {
    if (cells.SheetCount() == 0 || SheetHoldsLandmarks(cells, 0)) return {};
    const std::vector<int> withData = SheetsWithLandmarks(cells);
    if (withData.empty() || withData.front() == 0) return {};
    const bool one = withData.size() == 1;
    return "The first sheet \"" + cells.SheetName(0) + "\" holds no landmarks; " +
           (one ? "sheet " : "sheets ") + QuotedList(SheetNames(cells, withData)) +
           (one ? " does: choose it with --sheet." : " do: choose one with --sheet.");
}

// A case file needs the full path, whatever the command line gave.
std::string FullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

// One skull loaded into `ws`: computed, with its case report and text reports when asked for.
// `source`: the file's full path (FullPath).
SkullResult Computed(Workspace& ws, std::string sheet, const BatchSettings& settings,
                     const std::string& source) {
    const CalculationGaps gaps = Calculate(ws);
    SkullResult result = ReadResult(ws, &gaps.values);
    result.sheet = std::move(sheet);
    if (settings.pdf) {
        CaseReportInput input;
        input.setIndex = settings.set.value_or(kUniversalSet);
        input.lang = settings.lang;
        input.gaps = gaps;
        input.source.files = {source};
        input.source.sheet = result.sheet;
        input.settingsPath = settings.settingsPath;
        input.time = ReportTime();
        result.pdf = CaseReportPdf(ws, input);
    }
    if (settings.reports) {
        result.reportLines = ReportLines(ws, settings.set.value_or(kUniversalSet), settings.lang);
        result.evidenceLines =
            EvidenceReportLines(ws, settings.set.value_or(kUniversalSet), settings.lang);
    }
    return result;
}

// A result for each specimen of a landmark file, with its mapping and notes; a file of several
// skulls names each row by its specimen, as a workbook by its sheet.
std::vector<SkullResult> LandmarkFileSkulls(Session& session, const Workspace& start,
                                            const std::string& path,
                                            const BatchSettings& settings) {
    std::vector<SkullResult> results;
    std::optional<LandmarkFileContents> contents;
    try {
        contents = LandmarkFileContents::Open(
            path, {settings.landmarkNames.get(), settings.tpsNegativeIsMissing});
    } catch (...) {
        results.push_back(Failed({}, std::current_exception()));
        return results;
    }
    const std::string source = settings.pdf ? FullPath(path) : path;
    const std::vector<std::string> names = contents->SpecimenNames();
    const int count = contents->SpecimenCount();
    for (int i = 0; i < count; ++i) {
        std::string sheet;
        if (count > 1)
            sheet = names[static_cast<std::size_t>(i)].empty() ? std::to_string(i + 1)
                                                               : names[static_cast<std::size_t>(i)];
        Workspace& ws = session.ws;
        ws = start;
        try {
            const LandmarkLoadReport report = contents->Load(ws, i);
            ConvertDecimalPoints(ws);
            SkullResult result = Computed(ws, sheet, settings, source);
            result.message = LandmarkLoadNotes(report, "en");
            result.mapping = LandmarkMappingText(report, "en");
            results.push_back(std::move(result));
        } catch (...) {
            results.push_back(Failed(sheet, std::current_exception()));
        }
        results.back().specimen = count > 1;
    }
    return results;
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte >= 'A' && byte <= 'Z') {
            out += static_cast<char>(byte - 'A' + 'a');
            continue;
        }
        // Two-byte sequences only: every letter folded lies below U+0800. Anything else,
        // malformed bytes included, is kept as it is.
        if ((byte & 0xE0) == 0xC0 && i + 1 < utf8.size() &&
            (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            const char32_t c = static_cast<char32_t>(
                ((byte & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            if (c >= 0x80) {
                AppendUtf8(out, FoldLetter(c));
                ++i;
                continue;
            }
        }
        out += utf8[i];
    }
    return out;
}

std::optional<int> FindSetByName(std::string_view name) {
    const std::string folded = FoldCase(name);
    for (const CaptionSet* captions : {&kEnglishCaptions, &kCzechCaptions}) {
        for (std::size_t i = 0; i < captions->setNames.size(); ++i)
            if (FoldCase(captions->setNames[i]) == folded) return static_cast<int>(i);
    }
    return std::nullopt;
}

int ChooseSheet(const WorkbookCells& cells, const std::string& wanted) {
    const int count = cells.SheetCount();
    const bool number =
        !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
    if (number) {
        // Past any sheet count: a long run of digits must not overflow.
        const int n = wanted.size() > 6 ? 0 : std::stoi(wanted);
        if (n >= 1 && n <= count) return n - 1;
    } else {
        for (int sheet = 0; sheet < count; ++sheet)
            if (cells.SheetName(sheet) == wanted) return sheet;
        const std::string folded = FoldCase(wanted);
        for (int sheet = 0; sheet < count; ++sheet)
            if (FoldCase(cells.SheetName(sheet)) == folded) return sheet;
    }
    std::vector<int> all(static_cast<std::size_t>(count));
    for (int sheet = 0; sheet < count; ++sheet) all[static_cast<std::size_t>(sheet)] = sheet;
    throw Error("The workbook has no sheet " + (number ? wanted : "\"" + wanted + "\"") +
                "; its sheets: " + QuotedList(SheetNames(cells, all)) + ".");
}

int ColumnOfEquation(int number) {
    for (int k = 1; k <= kEquationCount; ++k)
        if (EquationOfColumn(k) == number) return k;
    throw Error("There is no equation " + std::to_string(number) + ".");
}

int EquationOfColumn(int column) {
    const std::string_view text = kEquationNumbers.at(static_cast<std::size_t>(column - 1));
    return text.front() - '0';
}

void StartAsTheWindow(Workspace& ws, const IniFile& ini) {
    // Czech until the settings name a language, the startup set, the cloud headers, the
    // verdict's start text, the captions of the stored language.
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
}

Workspace StartWorkspace(const IniFile& ini, const BatchSettings& settings,
                         std::vector<std::string>* notices) {
    Workspace ws;
    StartAsTheWindow(ws, ini);

    // Then what the user picks: the set from the list, the language, the check boxes.
    if (settings.set) LoadEquationSet(ws, ini, *settings.set);
    const CaptionSet* language = FindCaptionSet(settings.lang);
    if (language == nullptr) throw Error("Unknown language \"" + settings.lang + "\".");
    ws.lang = std::string(language->code);
    ApplyCaptionCells(ws, *language);
    ws.cb = settings.use;
    // The set's reference model, when it has a usable one, as the window uses it.
    for (Notice& notice : UseSetModel(ws, ini, settings.set.value_or(kUniversalSet))) {
        if (notices) notices->push_back(std::move(notice.text));
    }
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

SkullResult ReadResult(const Workspace& ws, const DimensionValues* computed) {
    SkullResult result;
    result.ok = true;
    result.missing = MissingLandmarks(ws);
    result.euRightPoints = CloudPointCount(ws.sgImput2);
    result.euLeftPoints = CloudPointCount(ws.sgImput3);

    const DimensionSet unmeasured = MissingDimensions(ws);
    for (int r = 1; r <= kDimensionCount; ++r) {
        const auto d = static_cast<std::size_t>(r - 1);
        if (!unmeasured.test(d))
            result.dimensions[d] = computed ? (*computed)[d] : DimensionValue(ws, r);
    }

    // The votes as the window shows them; the score behind a label is what it rounds, a
    // refitted one's the refit's.
    for (int k = 1; k <= kEquationCount; ++k) {
        const auto column = static_cast<std::size_t>(k - 1);
        const char vote = VoteOfLabel(ws.result[column].text);
        if (vote == 0) continue;
        const auto e = static_cast<std::size_t>(EquationOfColumn(k) - 1);
        const EquationEvidence* evidence = ws.evidence ? &ws.evidence->equations[column] : nullptr;
        result.scores[e] = evidence && evidence->refit ? evidence->score : EquationScore(ws, k);
        result.votes[e] = vote;
        if (evidence && evidence->scored && evidence->problem.code == ModelProblem::None) {
            result.posteriorMale[e] = evidence->posteriorMale;
            result.typicalityMale[e] = evidence->typicalityMale;
            result.typicalityFemale[e] = evidence->typicalityFemale;
            if (evidence->refit) result.refitLost[e] = evidence->lost;
        }
    }
    result.warnings = EvidenceWarnings(ws, "en");

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
    // A landmark file may hold several skulls: a result each.
    if (IsLandmarkFile(path)) {
        return LandmarkFileSkulls(session, start, path, settings);
    }
    const std::string source = settings.pdf ? FullPath(path) : path;
    std::vector<SkullResult> results;
    Workspace& ws = session.ws;
    ws = start;

    // The window's load command, with the workbook kept open for its sheet names and for
    // the other sheets.
    std::unique_ptr<WorkbookCells> cells;
    std::string firstSheet;
    try {
        // A sheet that cannot be chosen is told as it is, not as a file the load could not
        // read: it is found inside the load and thrown after it.
        std::string refused;
        LoadMeasurementFile(ws, path, [&](Workspace& target, const std::string& file) {
            cells = FindLoader(file)->openWorkbook(file, session.reader);
            int sheet = 0;
            if (!settings.sheet.empty()) {
                try {
                    sheet = ChooseSheet(*cells, settings.sheet);
                } catch (const Error& e) {
                    refused = e.what();
                    return;
                }
            } else if (!settings.allSheets) {
                refused = FirstSheetWithoutLandmarks(*cells);
            }
            if (cells->SheetCount() > 0) firstSheet = cells->SheetName(sheet);
            if (refused.empty()) ImportWorkbookCells(target, *cells, sheet);
        });
        if (!refused.empty()) throw Error(refused);
        results.push_back(Computed(ws, firstSheet, settings, source));
    } catch (...) {
        results.push_back(Failed(firstSheet, std::current_exception()));
    }
    if (!settings.allSheets || !settings.sheet.empty() || cells == nullptr) return results;

    for (int sheet = 1; sheet < cells->SheetCount(); ++sheet) {
        std::string name;
        try {
            name = cells->SheetName(sheet);
            ws = start;
            ImportWorkbookCells(ws, *cells, sheet);
            ConvertDecimalPoints(ws);
            results.push_back(Computed(ws, name, settings, source));
        } catch (...) {
            results.push_back(Failed(name, std::current_exception()));
        }
    }
    return results;
}

}  // namespace morvik::core
