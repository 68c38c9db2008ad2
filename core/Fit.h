// A set fitted to a lab's own collection: every skull computed as the window's Calculate
// does, the sex from a truth table, the set's seven equations and its reference model fitted
// to them (compute/Fit.h), leave-one-out figures beside those of the set as it stands, and a
// copy of the settings file with the fitted set.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "IniFile.h"
#include "compute/Fit.h"

namespace morvik::core {

struct FitCommand {
    std::string settingsPath;  // empty: the window's (DefaultSettingsPath)
    std::string outPath;       // the settings written; never the one read
    std::string truthPath;
    std::string summaryPath;  // JSON; empty: none
    BatchSettings batch;      // the set, the language, the sheets
    // The model's population in words; the set keeps its place (and so its name) in the list.
    std::optional<std::string> name;
    // By equation column (1..7 at 0..6): dimensions replacing those the set has
    // coefficients on (--equation).
    std::array<std::optional<DimensionSet>, kEquationCount> dimensions;
    std::optional<double> threshold;
    double priorMale = 0.5, priorFemale = 0.5;
    int jobs = 1;
    std::vector<std::string> paths;
};

// A skull of known sex the fit used.
struct FitSkull {
    std::string name;  // "path" or "path [sheet]"
    FitSample sample;
    std::array<char, kEquationCount> votes{};  // as the set stands, by equation number
    Verdict verdict = Verdict::Indeterminate;
};

struct FitReport {
    int set = 0;
    std::string paths;                      // as given, joined by ", "
    int computed = 0;                       // skulls computed, of known sex or not
    std::vector<std::string> failed;        // "name: message"
    std::vector<std::string> withoutTruth;  // computed, sex not known
    std::vector<std::string> unmatchedTruth;
    // A skull whose 17 dimensions equal an earlier one's is the same skull twice: counted
    // once. "later = earlier"; with different sexes both are left out ("conflicting").
    std::vector<std::string> duplicates, conflicting;
    std::vector<FitSkull> skulls;
    FitResult fit;
    // The set as it stands on the same skulls, by equation column, and its verdict.
    std::array<ClassifierFigures, kEquationCount> current;
    ClassifierFigures currentVerdict;
};

// The dimensions each equation column of the set has a coefficient on.
std::array<DimensionSet, kEquationCount> SetDimensions(const Workspace& ws);

// Computes and fits; throws Error for a truth table or settings that cannot be read. The
// fit's own refusals are in the report (FitResult::Ok).
FitReport FitCollection(const FitCommand& command, const IniFile& ini);

// Why the fit was refused, one line per part, in the language; empty when it was not.
std::vector<std::string> FitProblems(const FitReport& report, std::string_view lang);

std::string FitText(const FitReport& report, std::string_view lang);
std::string FitJson(const FitReport& report);

// The settings with the set's fitted equations (coefficient cells with a decimal comma, as
// the window writes them; empty where an equation has none) and its model, in memory.
void PutFit(IniFile& ini, const FitReport& report, const FitCommand& command,
            std::string_view date);

// The whole --fit run: the table for standard output, refusals and what was written for the
// log; the JSON summary when asked for. Returns the exit status: 0 written, 1 written while
// some skulls could not be computed, 2 refused (nothing written). Throws Error for settings,
// a truth table or an output that cannot be used.
int RunFit(const FitCommand& command, std::string* table, std::string* log);

}  // namespace morvik::core
