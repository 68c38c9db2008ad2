// The reader's exception: a code selecting a fixed English message.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvik::xls {

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
};

class EXLSError : public std::runtime_error {
  public:
    explicit EXLSError(std::uint8_t code);
    // Fills the message's %s with `argument`.
    EXLSError(std::uint8_t code, std::string_view argument);

    std::uint8_t Code() const { return code_; }

  private:
    std::uint8_t code_;
};

}  // namespace morvik::xls
