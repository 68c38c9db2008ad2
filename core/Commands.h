// The commands as a user meets them, the same for the window and the batch: what each
// changes, the result it makes stale, and the sentence its failure says (Messages.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DataExchange.h"
#include "IniFile.h"
#include "compute/Workspace.h"

namespace morvik::core {

// A grown euryon grid holds at most as many rows as a workbook sheet.
inline constexpr int kMaxCloudRows = 65536;

// The load command: LoadFileCommand with its failures told as EUserError naming the file (a
// missing file says so before any reader runs). Any load of an existing file of a loadable
// kind clears the result, whether or not it succeeds: the tables may have changed.
void LoadMeasurementFile(Workspace& ws, const std::optional<std::string>& path,
                         const WorkbookImporter& importWorkbook);

// The label cells of a workspace table: its first `cols` columns (landmark names and
// abbreviations, dimension names) and first `rows` rows (headers) are never data. The window
// fixes the same cells; a table not of `ws` has none.
struct TableLabels {
    int cols = 0;
    int rows = 0;
};
TableLabels LabelsOf(const Workspace& ws, const TextTable& table);

// Paste into one of the workspace's tables at (col, row). An anchor on a label cell moves to
// the first data cell of its row, or of the first data row: no label is ever written. A euryon
// cloud grows to hold the pasted lines; anything that cannot be placed is written nowhere and
// reported afterwards by EUserError (what fits stays pasted). Clears the result.
void PasteCommand(Workspace& ws, TextTable& table, int col, int row, std::string_view text);

// Empties a table below its fixed rows and right of its fixed columns, and never its labels
// (LabelsOf); clears the result.
void ClearCommand(Workspace& ws, TextTable& table, int fixedCols, int fixedRows);
void ClearCommand(Workspace& ws, TextTable& table);

// Throws EUserError when the result labels do not belong to the tables as they stand.
void RequireCurrentResult(const Workspace& ws);

// The export command: refuses when the labels do not belong to the tables as they stand
// (nothing is written), and tells a write failure with the file's name.
void ExportCommand(const Workspace& ws, int setIndex, const std::string& path);

// One thing to tell the user about the settings file. Information (a UTF-8 file read as
// such) is not a failure: the window shows it with the information icon.
struct Notice {
    std::string text;
    bool information = false;
    friend bool operator==(const Notice&, const Notice&) = default;
};

// What the user should know about the settings file: that it is missing, that it is UTF-8
// (said only at start, as information), or that it holds no coefficients for the set at list
// position `setIndex`. Texts in the workspace's language.
std::vector<Notice> SettingsNotices(const IniFile& ini, int setIndex, bool atStart,
                                    std::string_view lang);

}  // namespace morvik::core
