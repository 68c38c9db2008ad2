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

// Paste into one of the workspace's tables at (col, row). A euryon cloud grows to hold the
// pasted lines; anything that cannot be placed is written nowhere and reported afterwards by
// EUserError (what fits stays pasted). Clears the result.
void PasteCommand(Workspace& ws, TextTable& table, int col, int row, std::string_view text);

// Empties a table below its fixed rows and right of its fixed columns; clears the result.
void ClearCommand(Workspace& ws, TextTable& table, int fixedCols, int fixedRows);

// Throws EUserError when the result labels do not belong to the tables as they stand.
void RequireCurrentResult(const Workspace& ws);

// The export command: refuses when the labels do not belong to the tables as they stand
// (nothing is written), and tells a write failure with the file's name.
void ExportCommand(const Workspace& ws, int setIndex, const std::string& path);

// What the user should know about the settings file: that it is missing, that it is UTF-8
// (said only at start), or that it holds no coefficients for the set at list position
// `setIndex`. Texts in the workspace's language.
std::vector<std::string> SettingsNotices(const IniFile& ini, int setIndex, bool atStart,
                                         std::string_view lang);

}  // namespace morvik::core
