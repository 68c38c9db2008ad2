// What the program tells its user, in the interface language: one table of sentences, the
// error that carries one, and the line a calculation's gaps make. A failure of a lower layer
// keeps its own text and code; our sentence before it names the file or cell and says what
// happened.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "compute/Compute.h"
#include "text/Error.h"

namespace morvik::core {

enum class Msg {
    FileMissing,             // {0} file name
    FileNotLoadable,         // {0} file name, {1} extensions
    NotXlsWorkbook,          // {0} file name
    ProtectedWorkbook,       // {0} file name
    DamagedWorkbook,         // {0} file name
    CannotReadFile,          // {0} file name
    CannotWriteReport,       // {0} file name
    NoCurrentResult,         //
    SettingsNotSaved,        //
    SettingsMissing,         // {0} file name
    SettingsUtf8,            // {0} file name
    SetWithoutCoefficients,  // {0} set name, {1} file name
    PasteNotPlaced,          // {0} how many values
    AskSaveCoefficients,     // {0} set name
    MissingLandmarks,        // {0} list
    MissingDimensions,       // {0} list
    EquationsLeftOut,        // {0} list
    BadNumber,               //
    CommandFailed,           //
    TextNotNumber,           // {0} file, {1} line, {2} abbreviation, {3} Czech name, {4} axis,
                             // {5} the text found, {6} English name
    TextNoLandmarks,         // {0} file name
    TextTooManyLines,        // {0} file name, {1} line
    CellNotFinite,           // {0} cell name (A1 style)
    SettingsCreated,         // {0} settings file, {1} the file it was copied from
    SettingsNotCreated,      // {0} settings file, {1} the system's reason
    WorkbookTooLarge,        // {0} file name
    ModelUnusable,           // {0} set name, {1} what is wrong
    EquationInconsistent,    // {0} set name, {1} equation number, {2} what does not match
    AtypicalDimension,       // {0} dimension, {1} value, {2} SDs, {3} "above the male mean"
                             // or the like, {4} landmarks to check
    UnlikeReference,         // {0} the typicalities
    LandmarkFileLine,        // {0} file name, {1} line, {2} the reader's reason (English)
    LandmarkFileFault,       // {0} file name, {1} the reader's reason (English)
    LandmarkTooLarge,        // {0} file name
    LandmarkDuplicate,       // {0} file name, {1} abbreviation, {2} first label, {3} second label
    LandmarkNoneMatched,     // {0} file name, {1} labels
    LandmarkNoSpecimen,      // {0} file name, {1} number asked for, {2} specimens there are
    LandmarkUnitAssumed,     //
    LandmarkUnitConverted,   // {0} unit as written
    LandmarkSystem,          // {0} format, {1} coordinate system
    LandmarkNoSystem,        // {0} format
    LandmarkOrderAssumed,    //
    LandmarkUnitSuspect,     // {0} G–OP in mm
    TpsNegativeMissing,      //
    LandmarkUnmatched,       // {0} labels
    LandmarkPointMissing,    //
    LandmarkNamesBad,        // {0} file name, {1} line, {2} the abbreviation found
    LandmarkSpecimen,        // {0} its name, {1} its number, {2} how many the file holds
    CsvFieldCount,           // {0} file name, {1} line, {2} its fields, {3} the line before's
    ReportFontMissing,       // {0} the font's name
    ReportFontUnusable,      // {0} the font file, detail: why (English)
    ReportNotMade,           // detail: what failed (English)
    ReportUnavailable,       //
};

// The pattern with {0}, {1}... replaced by `args` (a place without an argument stays empty).
std::string FillPlaceholders(std::string_view pattern, const std::vector<std::string>& args);

// The sentence of `id` in a language code ("cz" Czech, anything else English), with {0}, {1}
// replaced by `args`; a non-empty `detail` (the lower layer's own text) follows in brackets.
std::string MessageText(Msg id, std::string_view lang, const std::vector<std::string>& args = {},
                        std::string_view detail = {});

// A failure told by one of our sentences; what() is its English text.
class EUserError : public Error {
  public:
    EUserError(Msg id, std::vector<std::string> args, std::string detail = {}, int code = 0,
               std::exception_ptr cause = nullptr);

    Msg Id() const { return id_; }
    const std::vector<std::string>& Args() const { return args_; }
    const std::string& Detail() const { return detail_; }
    // A detail that is the text of the cause is told in `lang` too when the cause has words
    // of its own in both languages (a system error, a number, another of our sentences).
    std::string Text(std::string_view lang) const;

  private:
    Msg id_;
    std::vector<std::string> args_;
    std::string detail_;
};

// The system's reason for errno `code` in a language code: Czech under "cz" for the errors a
// user meets with files (no access, no such file or folder, a full or read-only disk...),
// otherwise the system's own text.
std::string SystemReason(int code, std::string_view lang);

// What was being done to a file when the system refused.
enum class FileAction { Open, Read, Create, Write };

// A file operation the system refused, with its errno kept (Code()) so that the reason can be
// told in either language. what() is "Cannot open file "<path>". <reason>" in English.
class ESystemError : public Error {
  public:
    ESystemError(FileAction action, std::string path, int code);

    FileAction Action() const { return action_; }
    const std::string& Path() const { return path_; }
    std::string Text(std::string_view lang) const;

  private:
    FileAction action_;
    std::string path_;
};

// The text a user is shown for a failure, in a language code.
std::string Explain(const std::exception& e, std::string_view lang);
std::string Explain(std::exception_ptr e, std::string_view lang);

// The last part of a path, after '/' or '\'.
std::string FileNameOf(std::string_view path);

// What the verdict rests on after a current calculation: "5 ze 7: muž 4, žena 1" ("cz") or
// "5 of 7: male 4, female 1" (other codes, by ws.lang): the equations that voted out of those
// in use, then the votes by sex. Empty when the result is not current.
std::string VoteSummary(const Workspace& ws);

// The sentences naming the missing landmarks (or, from measurements, the missing dimensions
// the equations needed) and the equations left out; none when nothing was missing.
std::vector<std::string> GapsSentences(const CalculationGaps& gaps, std::string_view lang);
// The same sentences as one line.
std::string GapsLine(const CalculationGaps& gaps, std::string_view lang);

}  // namespace morvik::core
