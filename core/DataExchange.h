// Loading measurement files, the decimal-point pass, paste and clearing.
#pragma once

#include <array>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compute/Workspace.h"

namespace morvik::core {

// The file opened for reading in binary; ESystemError (Messages.h) "Cannot open file "<path>".
// <reason>" for a folder or a file that cannot be opened.
std::ifstream OpenInputFile(const std::string& path);

// Both text loaders read one skull, a landmark a line, into columns 2..4 of sgImput rows 1..22
// (rows the file does not reach are emptied) and empty both euryon clouds below their header
// row, back to their first size. A first line whose fields are all words is a header and is
// skipped. Only the first three fields of a line count; blanks around a field are dropped; an
// empty field is a missing coordinate. The file is refused with an EUserError naming it, and
// the workspace left as it was, when a field is not a finite number (the line, landmark, axis
// and text are named), when lines past the 22nd are not empty, or when it holds no value at
// all; ESystemError when it cannot be read.

// A TAB separated Windows-1250 text file: CR LF, lone LF and lone CR end lines, NUL separates
// like TAB and Ctrl+Z ends the file.
void LoadTextFile(Workspace& ws, const std::string& path);

// A comma-separated file, record n into landmark row n. The separator is ';' when one stands
// outside quotes in the first 22 lines, else ','; so a decimal comma is kept where ';'
// separates. Quotes as RFC 4180 has them (a quoted field may hold separators, line ends and
// doubled quotes; a message counts lines as an editor does). UTF-8, with or without its byte
// order mark, else Windows-1250. What lies past the first 4 MiB is not read.
void LoadCsvFile(Workspace& ws, const std::string& path);

// The first `maxRecords` records of comma-separated bytes, each as its first three fields in
// UTF-8 (missing fields empty), split by the rules of LoadCsvFile (the separator decided from
// the first `maxRecords` lines).
std::vector<std::array<std::string, 3>> ParseCsvRecords(std::string_view bytes,
                                                        std::size_t maxRecords);

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
