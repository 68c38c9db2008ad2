// The window's Calculate on one file after another, without the window: a workspace set up as
// the window stands after start, the load command, Calculate, and what the window then shows,
// read off the workspace.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Cells.h"
#include "IniFile.h"
#include "Session.h"
#include "compute/Evidence.h"
#include "compute/LandmarkNames.h"
#include "compute/Missing.h"
#include "compute/Workspace.h"

namespace morvik::core {

struct BatchSettings {
    // List position of the set (0..3) as chosen in the window's set list; none keeps the set
    // the window starts with.
    std::optional<int> set;
    // The window's check boxes, by column (the first is equation 6).
    std::array<bool, kEquationCount> use{true, true, true, true, true, true, true};
    std::string lang = "en";
    bool allSheets = false;  // one skull per sheet instead of the first sheet only
    // The sheet to compute in every workbook instead of the first: its number from 1 when all
    // digits, else its name (exactly, else without regard to case). Empty: the first sheet.
    std::string sheet;
    bool reports = false;  // keep each skull's report lines
    // Make each skull's case report (SkullResult::pdf), naming this settings file in it.
    bool pdf = false;
    std::string settingsPath;
    // Landmark files: a lab's own label names (none: the built-in table only), and the TPS
    // reading of a negative coordinate as a missing point.
    std::shared_ptr<const LandmarkNameTable> landmarkNames;
    bool tpsNegativeIsMissing = false;
};

// The window's column (1..7) that shows equation `number` (1..7), and back.
int ColumnOfEquation(int number);
int EquationOfColumn(int column);

// Lower case of ASCII and of the accented Latin letters (Latin-1 and Latin Extended-A, which
// hold the Czech ones), in UTF-8, for names compared without regard to case.
std::string FoldCase(std::string_view utf8);

// The list position (0..3) of the set the window's set list names `name` in either language,
// without regard to case; none for a name it does not show.
std::optional<int> FindSetByName(std::string_view name);

// The sheet `wanted` names (see BatchSettings::sheet) in a workbook; throws Error naming the
// sheets it has when there is none such.
int ChooseSheet(const WorkbookCells& cells, const std::string& wanted);

// The workspace as the window stands right after it starts, before the user picks anything.
// The window starts from it, and so does every batch worker (StartWorkspace).
void StartAsTheWindow(Workspace& ws, const IniFile& ini);

// The workspace as the window stands after start, the set chosen, the language switched and
// the check boxes set, before anything is loaded.
// What the user should know about the set's reference model goes to `notices`.
Workspace StartWorkspace(const IniFile& ini, const BatchSettings& settings,
                         std::vector<std::string>* notices = nullptr);

// Refuses coefficients the window could compute no skull with: Calculate on a skull of zeros
// must succeed. Throws Error with the window's message.
void CheckCoefficients(const Workspace& start);

enum class Verdict { Male, Female, Tie, Indeterminate };
std::string_view VerdictName(Verdict verdict);  // "male", "female", "tie", "indeterminate"

struct SkullResult {
    std::string sheet;  // empty for a text file or a workbook that could not be opened
    bool ok = false;
    std::string message;  // the window's message when not ok
    LandmarkSet missing;
    int euRightPoints = 0, euLeftPoints = 0;
    std::array<std::optional<double>, kDimensionCount> dimensions;  // none when not measured
    // By equation number (index 0 is equation 1): none when not in use or casting no vote.
    std::array<std::optional<double>, kEquationCount> scores;
    std::array<char, kEquationCount> votes{};  // 'M', 'F', '?' (below the threshold) or 0
    // With a reference model, by equation number: P(male), the typicality of each sex, and
    // the dimensions a refitted equation did without.
    std::array<std::optional<double>, kEquationCount> posteriorMale, typicalityMale,
        typicalityFemale;
    std::array<std::optional<DimensionSet>, kEquationCount> refitLost;
    std::vector<std::string> warnings;  // atypical measurements, a skull unlike the sample
    Verdict verdict = Verdict::Indeterminate;
    std::vector<std::string> reportLines;    // the window's Export, when asked for
    std::vector<std::string> evidenceLines;  // and its evidence, with a reference model
    std::string pdf;                         // the case report's bytes, when asked for
    // A landmark file's: which label went to which landmark, and the labels that name none.
    std::string mapping;
    bool specimen = false;  // one of several skulls of a landmark file, `sheet` its name
};

// What the window shows after Calculate: votes from the result labels' text exactly as the
// window counts them, scores at full precision, the verdict from the verdict label. The
// dimensions are `computed` when Calculate's values are given, else computed again.
SkullResult ReadResult(const Workspace& ws, const DimensionValues* computed = nullptr);

// One file as the window loads and computes it, on a fresh copy of `start` in the session's
// workspace: one result for the first (or the chosen) sheet, or one per sheet with allSheets. A
// failure gives a result that is not ok, with the message the window would show. A workbook whose
// first sheet holds no landmarks while others do is refused, naming them, unless a sheet is
// chosen or every sheet counts: its first sheet would pass for a skull of missing landmarks.
std::vector<SkullResult> ProcessFile(Session& session, const Workspace& start,
                                     const std::string& path, const BatchSettings& settings);

}  // namespace morvik::core
