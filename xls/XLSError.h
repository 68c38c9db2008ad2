// The reader's exceptions. Every one derives from morvik::Error; the message is the fixed
// English text users see.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "text/Error.h"

namespace morvik::xls {

// EXLSError codes, one name each; callers tell failures apart by them.
enum TXLSErrorCode : std::uint8_t {
    kErrBufferTooSmall = 1,
    kErrStreamNotFound = 2,
    kErrInvalidCellValue = 3,
    kErrInvalidCellProperty = 4,
    kErrInvalidRowOrColumn = 5,
    kErrInvalidSheetName = 6,
    kErrSheetNameLength = 7,
    kErrInvalidFormula = 8,
    kErrInvalidFunction = 9,
    kErrFormulaStringLength = 10,
    kErrInvalidRangeName = 11,
    kErrNoSheets = 12,
    kErrFormulaNotRecognized = 13,
    kErrPasswordProtected = 14,
    kErrRecordUnreadable = 15,
    // The compound file under the workbook failed; the message is that layer's own and the
    // ECFileError is the cause.
    kErrCompoundFile = 16,
    kErrSheetDataMissing = 17,
    kErrTooMuchText = 18,
};

inline constexpr std::string_view kXLSErrorMessages[] = {
    "",
    "Buffer size is too small",
    "Stream not found: %s. File format is not Excel 97 or higher.",
    "Invalid cell value or type",
    "Invalid cell property value",
    "Invalid row or column number",
    "Invalid or duplicated sheet name",
    "Sheet name must have a length 1..255",
    "Invalid formula",
    "Invalid function in formula: %s",
    "String constants in formula must have a length 0..255",
    "Invalid range name: %s",
    "There are no sheets in the workbook",
    "Formula not recognized",
    "Reading of password-protected workbooks not supported",
    "Error: BIFF record can not be processed",
    "%s",
    "Sheet %s: no data where the workbook says it starts",
    "The workbook repeats its texts more than can be loaded",
};

class EXLSError : public morvik::Error {
  public:
    explicit EXLSError(std::uint8_t code);
    // Fills the message's %s with `argument`; `cause` is the lower layer's error, if any.
    EXLSError(std::uint8_t code, std::string_view argument, std::exception_ptr cause = nullptr);
};

// A position outside a list: "List index (<i>) out of bounds", plus a suffix some lists add.
class EListIndexError : public morvik::Error {
  public:
    explicit EListIndexError(long long index, std::string_view suffix = "");
};

// Raises EListIndexError; kept out of line so that bounds checks stay small where inlined.
[[noreturn]] void RaiseListIndexError(long long index, const char* suffix = "");

// A size beyond what the model can hold (more than 2^31 items, a 512 MB attribute), or a call
// the model does not allow: our own limits and misuse, not the file's fault.
class EModelLimitError : public morvik::Error {
  public:
    using morvik::Error::Error;
};

}  // namespace morvik::xls
