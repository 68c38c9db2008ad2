// The Office Open XML workbook reader (.xlsx, .xlsm, transitional or strict): sheets in the
// workbook's order, cell values with their number formats, into the workbook model the Excel
// 97 reader fills.
#pragma once

#include <cstdint>
#include <span>

#include "text/Error.h"

namespace morvik::xls {
class TWorkbook;
}

namespace morvik::xlsx {

class EXlsxError : public Error {
  public:
    using Error::Error;
};

// Whether `bytes` are a zip package with a spreadsheet workbook part (by content, not name).
bool LooksLikeXlsx(std::span<const std::uint8_t> bytes);

// Clears `workbook` and fills it from the package in `bytes`. Damaged or unsupported input
// raises EXlsxError (or the zip layer's and the XML reader's errors, which derive from the same
// base); the workbook then holds what was read before.
//
// What is kept: sheet names in order (worksheets with their cells, other sheets empty); numbers,
// texts (shared, inline and formula results), booleans; a number whose cell format shows dates
// becomes a date, by the workbook's 1900 or 1904 system. Error values and cells past the model's
// 65536 rows or 256 columns are left out.
//
// Worksheets of `threadedFrom` bytes of XML and more are parsed on two threads ahead of the
// model; the result is the same either way (tests and fuzzing compare the two).
inline constexpr std::uint64_t kThreadedFrom = 1u << 20;
void ReadXlsx(std::span<const std::uint8_t> bytes, xls::TWorkbook& workbook,
              std::uint64_t threadedFrom = kThreadedFrom);

}  // namespace morvik::xlsx
