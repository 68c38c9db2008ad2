// Loading measurement files, the decimal-point pass, paste and clearing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "compute/Workspace.h"

namespace morvik::core {

// Fills columns 2..4 of sgImput from a TAB separated Windows-1250 text file, line n into
// landmark row n; CR LF, lone LF and lone CR end lines and Ctrl+Z ends the file. Rows the
// file does not reach are emptied. Throws Error naming the file when it cannot be read.
void LoadTextFile(Workspace& ws, const std::string& path);

// Replaces the first '.' of every coordinate cell of the three input tables by ','.
void ConvertDecimalPoints(Workspace& ws);

// What the load command does with a file name: ".xls" and ".txt", in any letter case.
enum class FileKind { Workbook, Text, Other };
FileKind KindOfFile(std::string_view path);

using WorkbookImporter = std::function<void(Workspace&, const std::string&)>;

// The load command after the open dialog: `path` is empty when the dialog was cancelled.
// The decimal-point pass runs after every successful branch and after a cancel; a file of
// any other kind ends with a message naming it, after the pass.
void LoadFileCommand(Workspace& ws, const std::optional<std::string>& path,
                     const WorkbookImporter& importWorkbook);

// What a paste could not place: the non-empty fields right of the last column or below
// the last row (an empty field loses nothing).
struct PasteOutcome {
    long long unplaced = 0;
};

// Pastes TAB separated lines at (anchorCol, anchorRow); fields outside the table are
// dropped and counted, every line still moves one row down. CR LF, lone CR and lone LF end
// lines; a last line without a line end is pasted too. With `maxRows` above the table's row
// count the table first grows to hold every line, up to that many rows.
PasteOutcome PasteText(TextTable& table, int anchorCol, int anchorRow, std::string_view text,
                       int maxRows = 0);

// The cells from (left, top) to (right, bottom) as TAB separated lines, each ended by CR LF:
// what PasteText reads back.
std::string CopyText(const TextTable& table, int left, int top, int right, int bottom);

// Empties every cell right of the fixed columns and below the fixed rows.
void ClearTable(TextTable& table, int fixedCols, int fixedRows);

}  // namespace morvik::core
