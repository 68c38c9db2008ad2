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
};

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
    std::string Text(std::string_view lang) const { return MessageText(id_, lang, args_, detail_); }

  private:
    Msg id_;
    std::vector<std::string> args_;
    std::string detail_;
};

// The text a user is shown for a failure, in a language code.
std::string Explain(const std::exception& e, std::string_view lang);
std::string Explain(std::exception_ptr e, std::string_view lang);

// The last part of a path, after '/' or '\'.
std::string FileNameOf(std::string_view path);

// The sentences naming the missing landmarks (or, from measurements, the missing dimensions
// the equations needed) and the equations left out; none when nothing was missing.
std::vector<std::string> GapsSentences(const CalculationGaps& gaps, std::string_view lang);
// The same sentences as one line.
std::string GapsLine(const CalculationGaps& gaps, std::string_view lang);

}  // namespace morvik::core
