// The OpenDocument spreadsheet reader (.ods): the tables of content.xml as sheets, cell values
// by their value type, into the workbook model the Excel 97 reader fills.
#pragma once

#include <cstdint>
#include <span>

#include "text/Error.h"

namespace morvik::xls {
class TWorkbook;
}

namespace morvik::ods {

class EOdsError : public Error {
  public:
    using Error::Error;
};

// Whether `bytes` are a zip package holding an OpenDocument spreadsheet (by content).
bool LooksLikeOds(std::span<const std::uint8_t> bytes);

// Clears `workbook` and fills it from the package in `bytes`. Damaged or unsupported input
// raises EOdsError (or the zip layer's and the XML reader's errors, from the same base).
//
// Numbers (float, percentage, currency) as numbers, dates and times as dates, booleans, texts
// (paragraphs joined by line ends, with their spaces, tabs and line breaks); repeated rows and
// cells are expanded only where they hold a value, so a sheet padded to the last row costs
// nothing. Error values and cells past the model's 65536 rows or 256 columns are left out.
//
// A content part of `threadedFrom` bytes and more is inflated, parsed and put into the model on
// three threads; the result is the same either way (tests and fuzzing compare the two).
inline constexpr std::uint64_t kThreadedFrom = 1u << 20;
void ReadOds(std::span<const std::uint8_t> bytes, xls::TWorkbook& workbook,
             std::uint64_t threadedFrom = kThreadedFrom);

}  // namespace morvik::ods
